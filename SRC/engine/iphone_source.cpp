// An iPhone as the source: personal records from the databases the phone
// gives out through its file relay (phones before iOS 8), or else from a
// backup of the phone taken now into the user's backup folder and read as
// the backup source reads any backup; photos, videos and music streamed file
// by file over the phone's file service.
#include "sources.h"

#include "backup_unlock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "dbsifter.h"
#include "fruitlink.h"
#include "jukelink.h"
#include "misc.h"

namespace kestrova {

namespace {

// Why the iPhone library's last call failed, by its category: a phone that
// refuses the relay (every iPhone since iOS 8) is told apart from one that
// is gone and from one that waits for its user.
Reason libraryFailure() {
    switch (IphoneTSF_GetLastErrorCategory()) {
    case IPHONE_ERROR_NO_DEVICE:
        return Reason::SourceGone;
    case IPHONE_ERROR_PASSCODE_LOCKED:
    case IPHONE_ERROR_TRUST_PENDING:
    case IPHONE_ERROR_USER_DENIED:
    case IPHONE_ERROR_NOT_PAIRED:
        return Reason::NotTrusted;
    case IPHONE_ERROR_SERVICE_REFUSED:
        return Reason::RelayRefused;
    case IPHONE_ERROR_ABORTED:
        return Reason::Cancelled;
    case IPHONE_ERROR_BACKUP_ENCRYPTED:
        return Reason::BackupEncryptionOn;
    case IPHONE_ERROR_BUSY:
        return Reason::PhoneBusy;
    case IPHONE_ERROR_NO_SPACE:
        return Reason::NoSpace;
    default:
        return Reason::ReadFailed;
    }
}

// The major iOS version of the phone at index, 0 when it does not say.
int iosMajor(int index) {
    DeviceNode* node = IphoneTSF_AcquireDeviceNode(index);
    const int major = node && node->info && node->info->productVersion
                          ? std::atoi(node->info->productVersion)
                          : 0;
    IphoneTSF_ReleaseDeviceNode(node);
    return major;
}

// The backup reader's index of the backup in folder, -1 when it lists none.
int readerIndexOf(const QString& folder) {
    const QString wanted = QFileInfo(folder).canonicalFilePath();
    const int n = iTunesTSF_BackupCount();
    for (int i = 0; i < n; ++i) {
        BackupDeviceNode* node = nullptr;
        if (iTunesTSF_GetBackupDeviceByIndex(i, &node) == 0 && node &&
            QFileInfo(QString::fromUtf8(node->path,
                                        static_cast<int>(strnlen(node->path, sizeof node->path))))
                    .canonicalFilePath() == wanted)
            return i;
    }
    return -1;
}

// One file on the phone, read piece by piece and closed when let go.
class PhoneFile final : public SourceFile {
  public:
    PhoneFile(int handle, int index) : m_handle(handle), m_index(index) {}
    ~PhoneFile() override { IphoneTSF_Close(m_handle, m_index); }
    int read(char* buffer, int capacity) override {
        return IphoneTSF_Read(m_handle, buffer, capacity, m_index);
    }

  private:
    int m_handle;
    int m_index;
};

} // namespace

class IphoneSource final : public ParsedSource {
  public:
    IphoneSource(int index, std::string password, bool declined)
        : m_password(std::move(password)), m_declined(declined), m_index(index) {}
    ~IphoneSource() override { wipeSecret(&m_password); }

    bool prepare(const JobContext& context, const KindSet& kinds) override {
        const std::string id = identity();
        m_udid = id.empty() ? std::string() : id.substr(std::strlen("iphone-"));
        m_extractFolder = context.workFolder + QStringLiteral("/tmp");
        removeDirWithContent(m_extractFolder);
        QDir(context.workFolder).mkdir(QStringLiteral("tmp"));
        QByteArray folder = m_extractFolder.toUtf8();
        const bool personal = kinds[Kind::Contacts] || kinds[Kind::Sms] || kinds[Kind::CallLogs] ||
                              kinds[Kind::Calendar];
        const bool media = kinds[Kind::Photos] || kinds[Kind::Videos] || kinds[Kind::Music];
        if (personal) {
            if (context.stopped())
                return false;
            // Every phone since iOS 8 refuses the relay: do not ask those.
            const bool modern = iosMajor(m_index) >= 8;
            if (!modern && IphoneTSF_GetDeviceSqliteDB(folder.data(), m_index) != 0)
                m_failure = libraryFailure();
            if (modern || m_failure == Reason::RelayRefused) {
                m_failure = Reason::None;
                if (!readThroughBackup(context, kinds))
                    return false;
            }
        }
        if (media) {
            if (context.stopped())
                return false;
            if (IphoneTSF_FlushMedia(m_index) != 0)
                m_mediaFailure = libraryFailure();
        }
        return true;
    }

    std::string identity() const override {
        DeviceNode* node = IphoneTSF_AcquireDeviceNode(m_index);
        std::string udid = node && node->info && node->info->udid ? node->info->udid : "";
        IphoneTSF_ReleaseDeviceNode(node);
        return udid.empty() ? std::string() : "iphone-" + udid;
    }

    Reason unavailable(Kind kind) const override {
        if (!isPersonal(kind) && kind != Kind::Apps)
            return m_mediaFailure;
        if (m_backup && m_failure == Reason::None)
            return m_backup->unavailable(kind);
        return m_failure;
    }

    bool incomplete() const override { return m_backup && m_backup->incomplete(); }

    // Asked after a read failed: usbmuxd is asked directly, since the
    // device list learns of an unplug only when its event arrives.
    bool alive() override { return m_udid.empty() || IphoneTSF_IsAttached(m_udid.c_str()) == 1; }
    PreparationInfo preparation() const override { return m_preparation; }

    Count count(Kind kind) override {
        if (kind == Kind::Apps)
            return {0, Reason::NotSupported}; // the window never ticks these
        if (m_backup && isPersonal(kind))
            return m_backup->count(kind);
        Count c = ParsedSource::count(kind);
        if (kind == Kind::Contacts && c.why == Reason::None && c.items <= 0) {
            IphoneTSF_FlushContact();
            c.items = std::max(0, parsedCount(kind));
        }
        return c;
    }

    RecordPage page(Kind kind, int64_t start) override {
        if (m_backup && isPersonal(kind))
            return m_backup->page(kind, start);
        return ParsedSource::page(kind, start);
    }

    Count listFiles(Kind kind, std::vector<FileEntry>* files) override {
        MediaFileNode* node = nullptr;
        int count = 0;
        switch (kind) {
        case Kind::Photos:
            count = IphoneTSF_GetDICMImage(&node);
            break;
        case Kind::Videos:
            count = IphoneTSF_GetVideos(&node);
            break;
        case Kind::Music:
            count = IphoneTSF_GetMusics(&node);
            break;
        default:
            return {0, Reason::NotSupported};
        }
        // A list that could not be read is no empty phone.
        if (count < 0)
            return {0, libraryFailure()};
        for (; node; node = node->next) {
            FileEntry entry;
            entry.location.assign(node->path, strnlen(node->path, sizeof node->path));
            entry.name = fileNameOf(entry.location);
            entry.size = node->size;
            files->push_back(std::move(entry));
        }
        return {count};
    }

    OpenedFile open(Kind, const FileEntry& entry) override {
        const long long handle = IphoneTSF_Open(entry.location.c_str(), m_index);
        if (handle <= 0)
            return {nullptr, Reason::FileMissing};
        return {std::make_unique<PhoneFile>(static_cast<int>(handle), m_index), Reason::None};
    }

    void abort() override { IphoneTSF_FlushAbort(); }
    void finish() override {
        // The user's databases leave this computer's disk with the job (the
        // backup stays: it is the user's, in the user's backup folder).
        if (m_backup)
            m_backup->finish();
        IphoneTSF_RemoveDeviceSqliteDB();
        if (!m_extractFolder.isEmpty())
            removeDirWithContent(m_extractFolder);
    }

  protected:
    int load(Kind kind) override {
        switch (kind) {
        case Kind::Contacts:
            return IphoneTSF_FlushContact();
        case Kind::Sms:
            return IphoneTSF_FlushSMS();
        case Kind::CallLogs:
            return IphoneTSF_FlushCallLog();
        case Kind::Calendar:
            return IphoneTSF_FlushCalender();
        default:
            return -1;
        }
    }

  private:
    // Takes a backup of the phone (incremental when one is there already)
    // and opens it with the backup source for the personal kinds. False only
    // when the user cancelled; a failure ends the personal kinds.
    bool readThroughBackup(const JobContext& context, const KindSet& kinds) {
        // A phone that encrypts its backups is backed up only when its
        // password is at hand: without it the backup could not be read.
        const int encrypts = IphoneTSF_GetBackupWillEncrypt(m_index);
        if (encrypts < 0 || (encrypts == 1 && m_password.empty())) {
            m_failure = encrypts < 0 ? libraryFailure()
                        : m_declined ? Reason::NoPassword
                                     : Reason::BackupEncryptionOn;
            return true;
        }
        if (context.stopped())
            return false;
        context.preparing(0);
        QElapsedTimer timer;
        timer.start();
        std::atomic<bool> done{false};
        std::thread watch([&] {
            while (!done.load()) {
                context.preparing(IphoneTSF_GetBackupProgress());
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
        const int taken =
            IphoneTSF_TakeBackupWith(m_index, encrypts == 1 ? IPHONE_BACKUP_ACCEPT_ENCRYPTED : 0);
        const Reason why = taken == 0 ? Reason::None : libraryFailure();
        done = true;
        watch.join();
        m_preparation.backupMs = timer.elapsed();
        m_preparation.backupBytes = IphoneTSF_GetBackupBytesReceived();
        char folder[1024] = "";
        IphoneTSF_GetBackupFolder(folder, sizeof folder);
        m_preparation.backupFolder = folder;
        if (why != Reason::None) {
            m_failure = why;
            return why != Reason::Cancelled && !context.stopped();
        }
        context.preparing(1000);
        const int found = readerIndexOf(QString::fromUtf8(folder));
        if (found < 0) {
            m_failure = Reason::SourceUnavailable;
            return true;
        }
        KindSet personalOnly = kinds;
        for (Kind k : kAllKinds)
            if (!isPersonal(k))
                personalOnly[k] = false;
        // The backup source takes the password (and wipes its copy).
        m_backup = makeBackupSource(found, encrypts == 1 ? m_password : std::string());
        wipeSecret(&m_password);
        return m_backup->prepare(context, personalOnly);
    }

    std::string m_udid;     // taken while the phone is there, for alive()
    std::string m_password; // the phone's backup password, wiped once handed on
    bool m_declined;
    std::unique_ptr<Source> m_backup; // the backup the personal kinds are read from
    PreparationInfo m_preparation;
    int m_index;
    QString m_extractFolder;
    Reason m_failure = Reason::None;      // the databases did not come: ends the personal kinds
    Reason m_mediaFailure = Reason::None; // the media could not be listed
};

bool iphoneBackupNeedsPassword(int index) {
    return iosMajor(index) >= 8 && IphoneTSF_GetBackupWillEncrypt(index) == 1;
}

std::unique_ptr<Source> makeIphoneSource(int index, std::string password, bool declined) {
    return std::make_unique<IphoneSource>(index, std::move(password), declined);
}

} // namespace kestrova
