// An iTunes backup as the source: personal records loaded into the database
// parser by the backup reader; photos, videos and music read from the backup
// folder, never through a link and never from anything but a plain file.
#include "sources.h"

#include <QDir>

#include <cstring>
#include <unistd.h>

#include "backup_unlock.h"
#include "jukelink.h"
#include "misc.h"
#include "safe_file.h"

namespace kestrova {

namespace {

// A backup file copied into the job's private scratch file; removed when let go.
class CopiedFile final : public SourceFile {
  public:
    explicit CopiedFile(std::string path) : m_path(std::move(path)) {}
    ~CopiedFile() override { ::unlink(m_path.c_str()); }
    std::string localPath() const override { return m_path; }

  private:
    std::string m_path;
};

std::string fieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

// The reason the job reports for the reader's last failure.
Reason readerFailure() {
    switch (iTunesTSF_GetLastErrorCategory()) {
    case ITUNESTSF_ERR_NOT_FOUND:
        return Reason::FileMissing;
    case ITUNESTSF_ERR_ENCRYPTED:
        return Reason::BackupEncrypted;
    case ITUNESTSF_ERR_UNSAFE_FILE:
        return Reason::UnsafeFile;
    case ITUNESTSF_ERR_CORRUPT:
    case ITUNESTSF_ERR_TOO_LARGE:
        return Reason::SourceUnavailable;
    default:
        return Reason::ReadFailed;
    }
}

} // namespace

class BackupSource final : public ParsedSource {
  public:
    BackupSource(int index, std::string password, bool declined)
        : m_index(index), m_password(std::move(password)), m_declined(declined) {}
    ~BackupSource() override { wipeSecret(&m_password); }

    bool prepare(const JobContext& context, const KindSet&) override {
        m_extractFolder = context.workFolder + QStringLiteral("/tmp");
        m_scratch = (context.workFolder + QStringLiteral("/backupfile")).toStdString();
        removeDirWithContent(m_extractFolder);
        QDir(context.workFolder).mkdir(QStringLiteral("tmp"));
        QByteArray folder = m_extractFolder.toUtf8();
        iTunesTSF_SetTempPath(folder.data());
        BackupDeviceNode* backup = nullptr;
        // A job started without a listing (the program always lists first).
        if (iTunesTSF_GetBackupDeviceByIndex(m_index, &backup) != 0) {
            iTunesTSF_BackupCount();
            iTunesTSF_GetBackupDeviceByIndex(m_index, &backup);
        }
        if (backup && backup->problem == ITUNESTSF_ERR_NONE && backup->isEncrypted)
            m_failure = unlock(context);
        wipeSecret(&m_password);
        if (m_failure != Reason::None)
            return true;
        iTunesTSF_ScanBackupDeviceByIndex(m_index);
        if (!backup || backup->problem != ITUNESTSF_ERR_NONE)
            m_failure = Reason::SourceUnavailable;
        else if (iTunesTSF_IsBackupComplete(m_index) == 0)
            m_incomplete = true;
        return true;
    }

    Reason unavailable(Kind) const override { return m_failure; }
    bool incomplete() const override { return m_incomplete; }

    Count count(Kind kind) override {
        if (kind == Kind::Apps)
            return {0, Reason::NotSupported};
        Count c = ParsedSource::count(kind);
        if (c.why == Reason::SourceUnavailable && readerFailure() == Reason::BackupEncrypted)
            c.why = Reason::BackupEncrypted;
        return c;
    }

    Count listFiles(Kind kind, std::vector<FileEntry>* files) override {
        DicmImageList* node = nullptr;
        int count = 0;
        switch (kind) {
        case Kind::Photos:
            count = iTunesTSF_GetDICMImage(&node);
            break;
        case Kind::Videos:
            count = iTunesTSF_GetVideos(&node);
            break;
        case Kind::Music:
            count = iTunesTSF_GetMusics(&node);
            break;
        default:
            return {0, Reason::NotSupported};
        }
        // An unreadable manifest is no empty backup.
        if (count < 0)
            return {0, readerFailure() == Reason::FileMissing ? Reason::SourceUnavailable
                                                              : readerFailure()};
        for (; node && node->entry; node = node->next) {
            const DicmImageInfo* info = node->entry;
            FileEntry entry;
            entry.location = fieldText(info->name, sizeof info->name);
            entry.name = fileNameOf(fieldText(info->path, sizeof info->path));
            entry.size = info->size;
            files->push_back(std::move(entry));
        }
        return {count};
    }

    OpenedFile open(Kind, const FileEntry& entry) override {
        // The reader opens it without following a link at any step and only
        // as a plain file; the copy then goes by the descriptor, not the name.
        int64_t size = 0;
        const int fd = iTunesTSF_OpenBackupFile(m_index, entry.location.c_str(), &size);
        if (fd < 0)
            return {nullptr, readerFailure()};
        const bool copied = copyToPrivateFile(fd, m_scratch);
        ::close(fd);
        if (!copied)
            return {nullptr, Reason::ReadFailed};
        return {std::make_unique<CopiedFile>(m_scratch), Reason::None};
    }

    void finish() override {
        iTunesTSF_ForgetBackupKeys();
        iTunesTSF_CleanTemp();
        if (!m_extractFolder.isEmpty())
            removeDirWithContent(m_extractFolder);
        ::unlink(m_scratch.c_str());
    }

  protected:
    int load(Kind kind) override {
        switch (kind) {
        case Kind::Contacts:
            return iTunesTSF_FlushPerson();
        case Kind::Sms:
            return iTunesTSF_FlushSMS();
        case Kind::CallLogs:
            return iTunesTSF_FlushCallLog();
        case Kind::Calendar:
            return iTunesTSF_FlushCalender();
        default:
            return -1;
        }
    }

  private:
    // Keys derived once per job: a window that asked for the password has
    // unlocked the backup already; otherwise this is the slow step, shown
    // as such while it runs.
    Reason unlock(const JobContext& context) {
        if (iTunesTSF_IsBackupUnlocked(m_index) == 1)
            return Reason::None;
        if (m_password.empty())
            return m_declined ? Reason::NoPassword : Reason::BackupEncrypted;
        if (context.stage)
            *context.stage = static_cast<int32_t>(Stage::UnlockingBackup);
        const Reason why = unlockBackup(m_index, std::move(m_password));
        m_password.clear();
        if (context.stage)
            *context.stage = static_cast<int32_t>(Stage::None);
        return why;
    }

    int m_index;
    std::string m_password;
    bool m_declined;
    QString m_extractFolder;
    std::string m_scratch;
    Reason m_failure = Reason::None;
    bool m_incomplete = false;
};

std::unique_ptr<Source> makeBackupSource(int index, std::string password, bool declined) {
    return std::make_unique<BackupSource>(index, std::move(password), declined);
}

} // namespace kestrova
