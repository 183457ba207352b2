// An Android phone as the source: personal records page by page through the
// Android library's record lists; photos, music and apps exported into the
// job's scratch file; videos straight from phone to phone.
#include "sources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <vector>

#include "android_destination.h"
#include "greenlink.h"
#include "misc.h"

namespace kestrova {

namespace {

// A page that failed covers the positions of a page of five, the least the
// Android library reads in one exchange: its records fail and the job goes
// on with the next page.
constexpr int kFailedPageSpan = 5;
constexpr int kAgentGreetings = 10;
// The agent's own package, which the job never copies as the user's app.
constexpr const char* kAgentPackageName = "com.quellfin.kestrova";

std::string pathText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

// A file exported into the job's scratch file; removed when let go.
class ScratchFile final : public SourceFile {
  public:
    ScratchFile(QString path, int64_t modified) : m_path(std::move(path)), m_modified(modified) {}
    ~ScratchFile() override {
        QFile::remove(m_path);
        // An app's split packages, exported beside it.
        QDir(m_path + QStringLiteral(".splits")).removeRecursively();
    }
    std::string localPath() const override { return m_path.toStdString(); }
    int64_t modified() const override { return m_modified; }

  private:
    QString m_path;
    int64_t m_modified;
};

template <typename Info> FileEntry entryFrom(const Info& info, bool described) {
    FileEntry entry;
    entry.location = pathText(info.path, sizeof info.path);
    entry.name = fileNameOf(entry.location);
    entry.size = info.size;
    entry.modified = info.modifyTime; // the media library's date: seconds since 1970
    entry.id = info.id;
    if (!described)
        entry.why = Reason::ReadFailed;
    return entry;
}

} // namespace

class AndroidSource final : public Source {
  public:
    explicit AndroidSource(int index) : m_index(index) {}

    bool prepare(const JobContext& context, const KindSet&) override {
        for (int i = 0; i < kAgentGreetings; ++i)
            AndroidTSF_CheckDevicesIsConnect(m_index);
        m_scratch = context.workFolder + QStringLiteral("/123");
        m_stopped = context.stopped;
        return true;
    }
    Reason unavailable(Kind) const override { return Reason::None; }
    std::string identity() const override { return androidSerial(m_index); }

    Count count(Kind kind) override {
        switch (kind) {
        case Kind::Contacts:
            return {AndroidTSF_FlushContact_Count(m_index)};
        case Kind::Sms:
            return {AndroidTSF_FlushSMS_Count(m_index)};
        case Kind::CallLogs:
            return {AndroidTSF_FlushCallLog_Count(m_index)};
        case Kind::Calendar:
            return {AndroidTSF_FlushCalender_Count(m_index)};
        default:
            return {0, Reason::NotSupported};
        }
    }

    RecordPage page(Kind kind, int64_t start) override {
        RecordPage page;
        bool failed = false;
        int loaded = 0;
        page.head = androidRecordPage(kind, m_index, static_cast<int>(start), &failed, &loaded);
        page.span = failed ? kFailedPageSpan : loaded;
        if (failed)
            page.why = Reason::ReadFailed;
        return page;
    }

    Count listFiles(Kind kind, std::vector<FileEntry>* files) override {
        int total = 0;
        switch (kind) {
        case Kind::Photos:
            // Photos and apps are described one by one as they are copied.
            AndroidTSF_FlushDevicesPhotos(m_index);
            total = AndroidTSF_GetPhotoCount(m_index);
            break;
        case Kind::Videos:
            // Videos and music are described first, so the bar can move by bytes.
            AndroidTSF_FlushDevicesVideo(m_index);
            total = AndroidTSF_GetVideoCount(m_index);
            for (int i = 0; i < total; ++i) {
                if (m_stopped())
                    return {0, Reason::Cancelled};
                ItemVideoInfo info = {};
                const bool ok = AndroidTSF_GetVideoInfo(&info, i, m_index) == 0 &&
                                (info.id != 0 || info.path[0]);
                files->push_back(entryFrom(info, ok));
            }
            break;
        case Kind::Music:
            AndroidTSF_FlushDevicesMusic(m_index);
            total = AndroidTSF_GetMusicCount(m_index);
            for (int i = 0; i < total; ++i) {
                if (m_stopped())
                    return {0, Reason::Cancelled};
                ItemMusicInfo info = {};
                const bool ok = AndroidTSF_GetMusicInfo(&info, i, m_index) == 0 &&
                                (info.id != 0 || info.path[0]);
                files->push_back(entryFrom(info, ok));
            }
            break;
        case Kind::Apps:
            return listApps(files);
        default:
            return {0, Reason::NotSupported};
        }
        if (files->empty())
            for (int i = 0; i < total; ++i)
                files->push_back(FileEntry{});
        for (int i = 0; i < static_cast<int>(files->size()); ++i)
            (*files)[static_cast<size_t>(i)].position = i;
        return {total};
    }

    void describe(Kind kind, FileEntry& entry) override {
        if (kind == Kind::Photos) {
            ItemPhotoInfo info = {};
            const bool ok = AndroidTSF_GetPhotoInfo(&info, entry.position, m_index) == 0;
            entry = entryFrom(info, ok);
        } else if (kind == Kind::Apps) {
            // Described again as it is copied: the app may have gone meanwhile.
            ItemAppInfo info = {};
            if (AndroidTSF_GetAppInfo(&info, entry.position, m_index) != 0)
                entry.why = Reason::ReadFailed;
            entry.location = pathText(info.packageName, sizeof info.packageName);
            entry.name = entry.location;
        }
    }

    OpenedFile open(Kind kind, const FileEntry& entry) override {
        // adb installs only files whose names end in ".apk".
        const QString scratch = kind == Kind::Apps ? m_scratch + QStringLiteral(".apk") : m_scratch;
        QFile::remove(scratch);
        QByteArray path = scratch.toUtf8();
        std::vector<char> location(entry.location.begin(), entry.location.end());
        location.push_back('\0');
        int result = -1;
        switch (kind) {
        case Kind::Photos:
            result = AndroidTSF_ExportPhotofromDevice(static_cast<int>(entry.id), path.data(),
                                                      entry.size, m_index);
            break;
        case Kind::Music:
            result = AndroidTSF_ExportMusicfromDevice(static_cast<int>(entry.id), path.data(),
                                                      entry.size, m_index);
            break;
        case Kind::Videos:
            result = AndroidTSF_ExportVideofromDevice(static_cast<int>(entry.id), path.data(),
                                                      entry.size, m_index);
            break;
        case Kind::Apps:
            result = AndroidTSF_ExportApp(location.data(), path.data(), m_index);
            break;
        default:
            break;
        }
        auto file = std::make_unique<ScratchFile>(scratch, entry.modified);
        if (result != 0 || !QFileInfo::exists(scratch))
            return {nullptr, Reason::ReadFailed};
        return {std::move(file), Reason::None};
    }

    std::optional<AddResult> copyDirect(Kind kind, const FileEntry& entry,
                                        Destination& destination) override {
        auto* phone = dynamic_cast<AndroidDestination*>(&destination);
        if (kind != Kind::Videos || !phone)
            return std::nullopt;
        // Every video, also two with the same file name in different folders
        // (the library finds the second a free name on the destination).
        std::vector<char> name(entry.name.begin(), entry.name.end());
        name.push_back('\0');
        const int result = AndroidTSF_TransferVideofromDevice(
            static_cast<int>(entry.id), name.data(), entry.size, m_index, phone->index());
        // A cancelled copy also answers 0: only an uncancelled one arrived.
        if (m_stopped && m_stopped())
            return AddResult::Interrupted;
        return result == 0 ? AddResult::Arrived : AddResult::WriteFailed;
    }

    bool alive() override { return AndroidTSF_CheckDevicesIsConnect(m_index) == 0; }
    void abort() override {
        AndroidTSF_PhotoAbort();
        AndroidTSF_MusicAbort();
        AndroidTSF_VideoAbort();
    }
    void interrupt() override { AndroidTSF_InterruptAll(1); }
    void finish() override {
        QFile::remove(m_scratch);
        QFile::remove(m_scratch + QStringLiteral(".apk"));
        QDir(m_scratch + QStringLiteral(".apk.splits")).removeRecursively();
        // The agent's forwarded port closes with the job; the next job
        // forwards and greets afresh.
        AndroidTSF_LetGo(m_index);
    }

  private:
    // The apps the user installed: the phone's own (system) apps cannot be
    // installed on another phone, and this program's agent is not theirs.
    // Positions stay the phone's list positions.
    Count listApps(std::vector<FileEntry>* files) {
        AndroidTSF_FlushDevicesApp(m_index);
        const int total = AndroidTSF_GetAppCount(m_index);
        for (int i = 0; i < total; ++i) {
            if (m_stopped && m_stopped())
                return {0, Reason::Cancelled};
            ItemAppInfo info = {};
            FileEntry entry;
            entry.position = i;
            if (AndroidTSF_GetAppInfo(&info, i, m_index) != 0) {
                entry.why = Reason::ReadFailed;
                files->push_back(entry);
                continue;
            }
            entry.location = pathText(info.packageName, sizeof info.packageName);
            entry.name = entry.location;
            if (info.systemApp != 0 || entry.location == kAgentPackageName ||
                entry.location.empty())
                continue;
            files->push_back(entry);
        }
        return {static_cast<int64_t>(files->size())};
    }
    int m_index;
    QString m_scratch;
    std::function<bool()> m_stopped;
};

std::unique_ptr<Source> makeAndroidSource(int index) {
    return std::make_unique<AndroidSource>(index);
}

} // namespace kestrova
