// An iTunes backup as the source: personal records loaded into the database
// parser by the backup reader; photos, videos and music read from the backup
// folder, never through a link and never from anything but a plain file.
#include "sources.h"

#include <QDir>

#include <cstring>
#include <unistd.h>

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

} // namespace

class BackupSource final : public ParsedSource {
  public:
    explicit BackupSource(int index) : m_index(index) {}

    bool prepare(const JobContext& context, const KindSet&) override {
        m_extractFolder = context.workFolder + QStringLiteral("/tmp");
        m_scratch = (context.workFolder + QStringLiteral("/backupfile")).toStdString();
        removeDirWithContent(m_extractFolder);
        QDir(context.workFolder).mkdir(QStringLiteral("tmp"));
        QByteArray folder = m_extractFolder.toUtf8();
        iTunesTSF_SetTempPath(folder.data());
        iTunesTSF_ScanBackupDeviceByIndex(m_index);
        BackupDeviceNode* backup = nullptr;
        iTunesTSF_GetBackupDeviceByIndex(m_index, &backup);
        if (!backup)
            m_failure = Reason::SourceUnavailable;
        else if (backup->isEncrypted)
            m_failure = Reason::BackupEncrypted; // encrypted media is unreadable too
        else
            m_root = fieldText(backup->path, sizeof backup->path);
        return true;
    }

    Reason unavailable(Kind) const override { return m_failure; }

    Count count(Kind kind) override {
        if (kind == Kind::Apps)
            return {0, Reason::NotSupported};
        return ParsedSource::count(kind);
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
        for (; node && node->entry; node = node->next) {
            const DicmImageInfo* info = node->entry;
            FileEntry entry;
            entry.location = fieldText(info->name, sizeof info->name);
            const std::string phonePath = fieldText(info->path, sizeof info->path);
            const size_t slash = phonePath.find_last_of('/');
            entry.name = slash == std::string::npos ? phonePath : phonePath.substr(slash + 1);
            entry.size = info->size;
            files->push_back(std::move(entry));
        }
        return {count};
    }

    OpenedFile open(Kind, const FileEntry& entry) override {
        const SafeFile file = openInside(m_root, entry.location);
        if (file.state == SafeOpen::Missing)
            return {nullptr, Reason::FileMissing};
        if (file.state == SafeOpen::Unsafe)
            return {nullptr, Reason::UnsafeFile};
        const bool copied = copyToPrivateFile(file.fd, m_scratch);
        ::close(file.fd);
        if (!copied)
            return {nullptr, Reason::ReadFailed};
        return {std::make_unique<CopiedFile>(m_scratch), Reason::None};
    }

    void finish() override {
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
    int m_index;
    QString m_extractFolder;
    std::string m_scratch;
    std::string m_root;
    Reason m_failure = Reason::None;
};

std::unique_ptr<Source> makeBackupSource(int index) {
    return std::make_unique<BackupSource>(index);
}

} // namespace kestrova
