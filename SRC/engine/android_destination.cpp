#include "android_destination.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "greenlink.h"
#include "misc.h"
#include "source.h"

namespace kestrova {

namespace {

constexpr int kAgentGreetings = 10;
constexpr int kStreamChunk = 10240;
constexpr int kStreamFloor = 2048;

// The library takes mutable C texts; these copies live for one call.
std::vector<char> cText(const std::string& text) {
    std::vector<char> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    return bytes;
}

struct StreamCalls {
    int (*open)(char*, int);
    int (*write)(char*, int, int);
    int (*close)(int, char*, int);
};

StreamCalls streamCallsFor(Kind kind) {
    switch (kind) {
    case Kind::Photos:
        return {AndroidTSF_PhotoOpen, AndroidTSF_PhotoWrite, AndroidTSF_PhotoClose};
    case Kind::Videos:
        return {AndroidTSF_VideoOpen, AndroidTSF_VideoWrite, AndroidTSF_VideoClose};
    default:
        return {AndroidTSF_MusicOpen, AndroidTSF_MusicWrite, AndroidTSF_MusicClose};
    }
}

// The folders below the phone's storage where the agent puts a kind's files:
// the incoming folder for pushed files and, from Android 10, the standard
// folder of the media store for streamed ones.
bool inDestinationFolder(Kind kind, const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return false;
    const size_t before = path.rfind('/', slash - 1);
    const std::string folder = path.substr(before == std::string::npos ? 0 : before + 1,
                                           slash - (before == std::string::npos ? 0 : before + 1));
    switch (kind) {
    case Kind::Photos:
        return folder == "Images" || folder == "Pictures";
    case Kind::Videos:
        return folder == "Videos" || folder == "Movies";
    case Kind::Music:
        return folder == "Music";
    default:
        return false;
    }
}

template <typename Info> StoredFile storedFrom(const Info& info) {
    StoredFile file;
    file.location.assign(info.path, strnlen(info.path, sizeof info.path));
    file.name = fileNameOf(file.location);
    file.size = info.size;
    file.id = info.id;
    return file;
}

// Every item of a media kind the phone lists; false when one could not be
// described (a list with a hole would let a copy in twice).
template <typename Info>
bool listMedia(Kind kind, int index, int (*flush)(int), int (*count)(int),
               int (*describe)(Info*, int, int), std::vector<StoredFile>* files) {
    flush(index);
    const int total = count(index);
    if (total < 0)
        return false;
    for (int i = 0; i < total; ++i) {
        Info info = {};
        if (describe(&info, i, index) != 0)
            return false;
        StoredFile file = storedFrom(info);
        if (inDestinationFolder(kind, file.location))
            files->push_back(std::move(file));
    }
    return true;
}

template <typename Record, typename Load, typename Head>
RecordRef loadPage(Load load, Head head, int index, int start, bool* failed, int* loaded) {
    Record* record = nullptr;
    const int n = load(index, start, kAndroidPageRecords);
    if (failed)
        *failed = n < 0;
    if (loaded)
        *loaded = std::max(n, 0);
    if (n <= 0)
        return {};
    head(&record);
    if (!record) {
        if (loaded)
            *loaded = 0;
        return {};
    }
    return record;
}

} // namespace

RecordRef androidRecordPage(Kind kind, int index, int start, bool* failed, int* loaded) {
    switch (kind) {
    case Kind::Contacts:
        return loadPage<ABPerson>(AndroidTSF_FlushPersonRange, AndroidTSF_GetPerson, index, start,
                                  failed, loaded);
    case Kind::Sms:
        return loadPage<SMessage>(AndroidTSF_FlushSMSRange, AndroidTSF_GetSMS, index, start, failed,
                                  loaded);
    case Kind::CallLogs:
        return loadPage<CallHistory>(AndroidTSF_FlushCallHistoryRange, AndroidTSF_GetCallHistory,
                                     index, start, failed, loaded);
    case Kind::Calendar:
        return loadPage<Calendar>(AndroidTSF_FlushCalenderRange, AndroidTSF_GetCalender, index,
                                  start, failed, loaded);
    default:
        return {};
    }
}

std::string androidSerial(int index) {
    AndroidDeviceInfo info = {};
    if (AndroidTSF_GetAndroidDevicesInfo(&info, index) != 0)
        return {};
    return std::string(info.serial, strnlen(info.serial, sizeof info.serial));
}

std::string AndroidDestination::identity() const { return androidSerial(m_index); }

void AndroidDestination::prepare() {
    // A phone's agent may need a few greetings before its channel settles.
    for (int i = 0; i < kAgentGreetings; ++i)
        AndroidTSF_CheckDevicesIsConnect(m_index);
}

// The agent answers a stored record with a positive value (its new row) and
// anything else when it stored nothing; no reply at all reads as -1.
bool AndroidDestination::addRecord(const RecordRef& record) {
    return std::visit(
        [this](const auto& r) {
            using T = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<T, ABPerson*>) {
                const int made = AndroidTSF_AddPerson2(r, m_index);
                if (made == -2)
                    ++m_incompleteContacts;
                return made == 0;
            } else if constexpr (std::is_same_v<T, SMessage*>)
                return AndroidTSF_SendSMS(r, m_index) > 0;
            else if constexpr (std::is_same_v<T, CallHistory*>)
                return AndroidTSF_AddCallHistory(r, m_index) > 0;
            else if constexpr (std::is_same_v<T, Calendar*>)
                return AndroidTSF_AddCalender(r, m_index) > 0;
            else
                return false;
        },
        record);
}

int64_t AndroidDestination::countRecords(Kind kind) {
    int n = -1;
    switch (kind) {
    case Kind::Contacts:
        n = AndroidTSF_FlushContact_Count(m_index);
        break;
    case Kind::Sms:
        n = AndroidTSF_FlushSMS_Count(m_index);
        break;
    case Kind::CallLogs:
        n = AndroidTSF_FlushCallLog_Count(m_index);
        break;
    case Kind::Calendar:
        n = AndroidTSF_FlushCalender_Count(m_index);
        break;
    default:
        return -1;
    }
    // The library answers "none" and "no answer" alike: ask the phone.
    if (n < 1)
        return alive() ? 0 : -1;
    return n;
}

AddResult AndroidDestination::addFile(Kind kind, SourceFile& file, const std::string& name,
                                      int64_t expectedSize, FileProgress& progress) {
    const std::string local = file.localPath();
    if (local.empty())
        return streamFile(kind, file, name, expectedSize, progress);
    std::vector<char> path = cText(local);
    std::vector<char> phoneName = cText(name);
    int result = -1;
    switch (kind) {
    case Kind::Photos:
        result = AndroidTSF_addPhoto(path.data(), phoneName.data(), m_index);
        break;
    case Kind::Videos:
        result = AndroidTSF_AddVideoToDevice(path.data(), phoneName.data(), m_index);
        break;
    case Kind::Music:
        result = AndroidTSF_AddMusicToDevice(path.data(), phoneName.data(), m_index);
        break;
    case Kind::Apps:
        result = AndroidTSF_InstallAppToMemory(path.data(), 3, m_index);
        break;
    default:
        break;
    }
    return result == 0 ? AddResult::Arrived : AddResult::WriteFailed;
}

AddResult AndroidDestination::streamFile(Kind kind, SourceFile& file, const std::string& name,
                                         int64_t expectedSize, FileProgress& progress) {
    const StreamCalls calls = streamCallsFor(kind);
    std::vector<char> phoneName = cText(name);
    if (calls.open(phoneName.data(), m_index) != 0)
        return AddResult::WriteFailed;
    // The copy buffer: smaller when memory is short, and no copy at all
    // below its floor (the file fails; nothing loops or throws).
    int capacity = kStreamChunk;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(capacity)]);
    while (!buffer && capacity / 2 >= kStreamFloor) {
        capacity /= 2;
        buffer.reset(new (std::nothrow) char[static_cast<size_t>(capacity)]);
    }
    if (!buffer) {
        calls.close(1, phoneName.data(), m_index);
        return AddResult::WriteFailed;
    }
    int64_t done = 0;
    bool aborted = true;
    bool writeFailed = false;
    bool interrupted = false;
    for (;;) {
        const int got = file.read(buffer.get(), capacity);
        if (got <= 0) {
            // A short file means the read broke off (an unplugged iPhone
            // gives part of the file, then nothing).
            aborted = done != expectedSize;
            break;
        }
        if (progress.stopped()) {
            interrupted = true;
            break;
        }
        if (calls.write(buffer.get(), got, m_index) < 1) {
            writeFailed = true;
            break;
        }
        done += got;
        *progress.done += got;
        if (progress.stopped()) {
            interrupted = true;
            break;
        }
    }
    calls.close(aborted ? 1 : 0, phoneName.data(), m_index);
    if (interrupted)
        return AddResult::Interrupted;
    if (!aborted)
        return AddResult::Arrived;
    return writeFailed ? AddResult::WriteFailed : AddResult::ReadFailed;
}

bool AndroidDestination::beginMessages(SmsPrompt& prompt, bool* changed) {
    *changed = false;
    if (AndroidTSF_CheckAndroidVersionAt44(m_index) == 1) {
        *changed = true;
        if (prompt.stopped())
            return false;
        prompt.show();
        AndroidTSF_SetDefaultMessage(m_index);
        *prompt.countdown = 60;
        while (AndroidTSF_CheckDefaultMessangeOK(m_index) != 0 && !prompt.stopped()) {
            prompt.sleepOneSecond();
            const int before = prompt.countdown->fetch_sub(1);
            if (before <= 0) {
                AndroidTSF_ReSetDefaultMessage(m_index);
                break;
            }
            if (before - 1 == 20)
                AndroidTSF_SetDefaultMessage(m_index); // ask the user a second time
        }
        prompt.hide();
    }
    const int before = prompt.countdown->fetch_sub(1);
    return before > 0;
}

void AndroidDestination::endMessages(bool changed) {
    if (changed)
        AndroidTSF_ReSetDefaultMessage(m_index);
}

bool AndroidDestination::alive() { return AndroidTSF_CheckDevicesIsConnect(m_index) == 0; }

void AndroidDestination::abort() {
    AndroidTSF_PhotoAbort();
    AndroidTSF_MusicAbort();
    AndroidTSF_VideoAbort();
}

void AndroidDestination::interrupt() { AndroidTSF_InterruptAll(1); }

// The agent's forwarded port closes with the job; the next job forwards and
// greets afresh.
void AndroidDestination::finish() { AndroidTSF_LetGo(m_index); }

bool AndroidDestination::readRecords(Kind kind, const std::function<bool(const RecordRef&)>& each) {
    const int64_t total = countRecords(kind);
    if (total < 0)
        return false;
    for (int64_t start = 0; start < total;) {
        int loaded = 0;
        const RecordRef head =
            androidRecordPage(kind, m_index, static_cast<int>(start), nullptr, &loaded);
        if (isEmpty(head))
            return false;
        for (RecordRef record = head; !isEmpty(record); record = nextRecord(record))
            if (!each(record))
                return false;
        start += loaded;
    }
    return true;
}

bool AndroidDestination::listStored(Kind kind, std::vector<StoredFile>* files) {
    switch (kind) {
    case Kind::Photos:
        return listMedia<ItemPhotoInfo>(kind, m_index, AndroidTSF_FlushDevicesPhotos,
                                        AndroidTSF_GetPhotoCount, AndroidTSF_GetPhotoInfo, files);
    case Kind::Videos:
        return listMedia<ItemVideoInfo>(kind, m_index, AndroidTSF_FlushDevicesVideo,
                                        AndroidTSF_GetVideoCount, AndroidTSF_GetVideoInfo, files);
    case Kind::Music:
        return listMedia<ItemMusicInfo>(kind, m_index, AndroidTSF_FlushDevicesMusic,
                                        AndroidTSF_GetMusicCount, AndroidTSF_GetMusicInfo, files);
    case Kind::Apps: {
        AndroidTSF_FlushDevicesApp(m_index);
        const int total = AndroidTSF_GetAppCount(m_index);
        if (total < 0)
            return false;
        for (int i = 0; i < total; ++i) {
            ItemAppInfo info = {};
            if (AndroidTSF_GetAppInfo(&info, i, m_index) != 0)
                return false;
            StoredFile app;
            app.name.assign(info.packageName, strnlen(info.packageName, sizeof info.packageName));
            app.location = app.name;
            files->push_back(std::move(app));
        }
        return true;
    }
    default:
        return false;
    }
}

// The library stores a file under the name its phone takes (the job must
// predict it to find a file stored before): the library says which.
std::string AndroidDestination::storedName(Kind kind, const std::string& name) const {
    if (kind == Kind::Apps)
        return name;
    std::vector<char> out(name.size() + 16);
    const int n = AndroidTSF_StoredFileName(name.c_str(), out.data(), static_cast<int>(out.size()));
    return n < 0 ? name : std::string(out.data(), static_cast<size_t>(n));
}

// National numbers are matched to international ones only in the country
// of the phone's SIM card (identity.h, rule 3).
NumberRules AndroidDestination::numberRules() {
    char country[72] = {};
    if (AndroidTSF_GetSimCountry(country, sizeof country, m_index) < 0)
        return {};
    return NumberRules{trunkZeroCallingCode(country)};
}

bool AndroidDestination::fetchStored(Kind kind, const StoredFile& file,
                                     const std::string& localPath) {
    std::vector<char> path = cText(localPath);
    const int id = static_cast<int>(file.id);
    switch (kind) {
    case Kind::Photos:
        return AndroidTSF_ExportPhotofromDevice(id, path.data(), file.size, m_index) == 0;
    case Kind::Videos:
        return AndroidTSF_ExportVideofromDevice(id, path.data(), file.size, m_index) == 0;
    case Kind::Music:
        return AndroidTSF_ExportMusicfromDevice(id, path.data(), file.size, m_index) == 0;
    default:
        return false;
    }
}

} // namespace kestrova
