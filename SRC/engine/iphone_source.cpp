// An iPhone as the source: personal records from the databases the phone
// gives out, read by the database parser; photos, videos and music streamed
// file by file over the phone's file service.
#include "sources.h"

#include <QDir>

#include <cstring>

#include "dbsifter.h"
#include "fruitlink.h"
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
    default:
        return Reason::ReadFailed;
    }
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
    explicit IphoneSource(int index) : m_index(index) {}

    bool prepare(const JobContext& context, const KindSet& kinds) override {
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
            if (IphoneTSF_GetDeviceSqliteDB(folder.data(), m_index) != 0)
                m_failure = libraryFailure();
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
        return m_failure;
    }

    Count count(Kind kind) override {
        if (kind == Kind::CallLogs || kind == Kind::Apps)
            return {0, Reason::NotSupported}; // the window never ticks these
        Count c = ParsedSource::count(kind);
        if (kind == Kind::Contacts && c.why == Reason::None && c.items <= 0) {
            IphoneTSF_FlushContact();
            c.items = std::max(0, parsedCount(kind));
        }
        return c;
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
        // The user's databases leave this computer's disk with the job.
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
        case Kind::Calendar:
            return IphoneTSF_FlushCalender();
        default:
            return -1;
        }
    }

  private:
    int m_index;
    QString m_extractFolder;
    Reason m_failure = Reason::None;      // the databases did not come: ends the personal kinds
    Reason m_mediaFailure = Reason::None; // the media could not be listed
};

std::unique_ptr<Source> makeIphoneSource(int index) {
    return std::make_unique<IphoneSource>(index);
}

} // namespace kestrova
