#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <vector>

#include "channel.h"
#include "device_table.h"
#include "greenlink_log.h"
#include "hexcodec.h"
#include "media_family.h"
#include "media_naming.h"
#include "runner.h"

namespace greenlink {
namespace {

std::atomic<int> st_photo_abort{0}, st_music_abort{0}, st_video_abort{0};
std::atomic<int> st_photo_progress{0}, st_music_progress{0}, st_video_progress{0};
std::atomic<int64_t> st_photo_current_size{0}, st_music_current_size{0}, st_video_current_size{0};

std::mutex g_mediaStateMutex;
std::string st_ExternalStoragePath[2];
// The name each position's open file really got, for the matching close.
struct OpenName {
    std::string requested, chosen;
};
std::map<std::pair<const MediaFamily*, int>, OpenName> g_openNames;

// A clash loop that never ends would mean an agent that answers "taken" to
// everything; give up long after any real folder would have a free name.
constexpr int kMaxClashCandidates = 100000;

std::string withNumber(const char* command, long long n) {
    return std::string(command) + ":" + std::to_string(n) + ";";
}

std::string withHexName(const char* command, const std::string& name) {
    return std::string(command) + ":" + DataToHex(name) + ";";
}

int64_t fileSize(const char* path) {
    struct stat st {};
    if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

// adb push and pull may take long for big files: allow a minute plus a second
// per MiB before the child is stopped.
int transferBound(long long size) { return 62 + static_cast<int>(std::max(0LL, size) >> 20); }

int percent(long long done, long long total) {
    if (total <= 0)
        return 0;
    return static_cast<int>(std::min<long long>(99, done * 100 / total));
}

// Sends one write command with its bytes; the reply count, or -1 when the
// channel failed or the agent refused the bytes.
int writeChunk(const MediaFamily& f, const char* data, int count, int dev) {
    std::string command = withNumber(f.writeCommand, count);
    char reply[4] = {};
    int n = SendCommandToAndroidServices(command.c_str(), reply, sizeof reply, data, count, dev);
    int32_t value = 0;
    if (n >= 4)
        std::memcpy(&value, reply, sizeof value);
    return n >= 1 && value >= 0 ? n : -1;
}

// Closes the phone file and either enters it into the media library or has
// the agent discard it. True when the file was entered.
bool finishPhoneFile(const MediaFamily& f, const std::string& name, bool aborted, int dev) {
    sendIntCommand(std::string(f.closeCommand) + ";", dev);
    int32_t r = sendIntCommand(withHexName(aborted ? f.abortCommand : f.addCommand, name), dev);
    return !aborted && r >= 0;
}

} // namespace

MediaFamily photoFamily{"Photo",
                        "flushphotolist;",
                        "getdcimcount;",
                        "getdcimindexinfo",
                        "deletephoto",
                        "ClearPhotos;",
                        "checkFileisExist",
                        4,
                        "/sdcard/Images/",
                        "open_photofile",
                        "write_photofile",
                        "close_photofile",
                        "addphototodevice",
                        "addphototodevice_abort",
                        "getfilepathForid",
                        "getdcimdata",
                        st_photo_abort,
                        st_photo_progress,
                        st_photo_current_size};
MediaFamily musicFamily{"Music",
                        "flushmusiclist;",
                        "getmusiccount;",
                        "getmusicindexinfo",
                        "deletemusic",
                        "ClearMusic;",
                        "checkMusicFileisExist",
                        4,
                        "/sdcard/Music/",
                        "open_Musicfile",
                        "write_musicfile",
                        "close_Musicfile",
                        "addmusictodevice",
                        "addmusictodevice_abort",
                        "GetMusicPathById",
                        "exportfilefromdevice_music",
                        st_music_abort,
                        st_music_progress,
                        st_music_current_size};
MediaFamily videoFamily{"Video",
                        "flushvideolist;",
                        "getvideocount;",
                        "getvideoindexinfo",
                        "deletevideofromdevice",
                        "ClearVideos;",
                        "checkVideoFileisExist",
                        1,
                        "/sdcard/Videos/",
                        "open_videofile",
                        "write_videofile",
                        "close_videofile",
                        "addvideotodevice",
                        "addvideotodevice_abort",
                        "GetVideoPathById",
                        "exportfilefromdevice_video",
                        st_video_abort,
                        st_video_progress,
                        st_video_current_size};

int mediaFlush(const MediaFamily& f, int dev) { return sendIntCommand(f.flushCommand, dev); }
int mediaCount(const MediaFamily& f, int dev) { return sendIntCommand(f.countCommand, dev); }
int mediaDelete(const MediaFamily& f, int id, int dev) {
    return sendIntCommand(withNumber(f.deleteCommand, id), dev);
}
int mediaClear(const MediaFamily& f, int dev) { return sendIntCommand(f.clearCommand, dev); }

std::string mediaFreeName(const MediaFamily& f, const std::string& wanted, int dev) {
    std::string candidate = wanted;
    for (int n = 1; n <= kMaxClashCandidates; ++n) {
        int received = 0;
        int32_t taken =
            sendIntCommand(std::string(f.existCommand) + ":" + candidate + ";", dev, &received);
        if (received < f.existMinReply)
            return {};
        if (taken != 1)
            return candidate;
        candidate = clashCandidate(wanted, n);
    }
    return {};
}

std::string externalStoragePath(int dev) {
    if (dev != 0 && dev != 1)
        return {};
    {
        std::lock_guard lock(g_mediaStateMutex);
        if (!st_ExternalStoragePath[dev].empty())
            return st_ExternalStoragePath[dev];
    }
    std::string path = sendTextCommand("getExternalStoragePath;", dev, 511);
    while (!path.empty() && (path.back() == '/' || path.back() == '\n'))
        path.pop_back();
    std::lock_guard lock(g_mediaStateMutex);
    st_ExternalStoragePath[dev] = path;
    return path;
}

void forgetPhoneMediaState(int dev) {
    std::lock_guard lock(g_mediaStateMutex);
    if (dev == 0 || dev == 1)
        st_ExternalStoragePath[dev].clear();
    for (auto it = g_openNames.begin(); it != g_openNames.end();)
        it = it->first.second == dev ? g_openNames.erase(it) : std::next(it);
}

int mediaPush(const MediaFamily& f, const char* localPath, const char* name, int dev) {
    int64_t size = fileSize(localPath);
    std::string serial = deviceSerial(dev);
    if (size < 0 || !name || serial.empty()) {
        WriteLog("add%s: no file %s or no phone at %d\n", f.kindName, localPath ? localPath : "",
                 dev);
        return -1;
    }
    std::string candidate = mediaFreeName(f, phoneFileName(name), dev);
    if (candidate.empty())
        return -1;
    std::string phonePath = std::string(f.phoneFolder) + candidate;
    std::string out;
    RunResult r = runAdbCapture({"-s", serial, "push", localPath, phonePath}, transferBound(size),
                                true, &out);
    if (!r.succeeded()) {
        WriteLog("add%s: push of %s failed: %s\n", f.kindName, localPath, out.c_str());
        // The name was free before: whatever is there now is our broken copy.
        runAdbCapture({"-s", serial, "shell", "rm", "-f", phonePath}, 11, true, &out);
        return -1;
    }
    if (sendIntCommand(withHexName(f.addCommand, candidate), dev) < 0)
        WriteLog("add%s: the phone did not index %s\n", f.kindName, candidate.c_str());
    return 0;
}

int mediaOpen(const MediaFamily& f, const char* name, int dev) {
    if (!name)
        return -1;
    std::string wanted = phoneFileName(name);
    std::string chosen = mediaFreeName(f, wanted, dev);
    if (chosen.empty())
        chosen = wanted; // the agent still never replaces a file
    {
        std::lock_guard lock(g_mediaStateMutex);
        g_openNames[{&f, dev}] = {name, chosen};
    }
    return sendIntCommand(withHexName(f.openCommand, chosen), dev);
}

int mediaWrite(const MediaFamily& f, const char* data, int count, int dev) {
    if (!data || count <= 0)
        return -1;
    return writeChunk(f, data, count, dev);
}

int mediaRead(const MediaFamily& f, char* buf, int capacity, int id, long long offset, int dev) {
    if (!buf || capacity <= 0)
        return -1;
    std::string command = std::string(f.dataCommand) + ":" + std::to_string(id) + ":" +
                          std::to_string(offset) + ":" + std::to_string(capacity) + ";";
    return SendCommandToAndroidServices(command.c_str(), buf, capacity, nullptr, 0, dev);
}

int mediaClose(const MediaFamily& f, int aborted, const char* name, int dev) {
    std::string chosen = phoneFileName(name ? name : "");
    {
        std::lock_guard lock(g_mediaStateMutex);
        auto it = g_openNames.find({&f, dev});
        if (it != g_openNames.end() && name && it->second.requested == name) {
            chosen = it->second.chosen;
            g_openNames.erase(it);
        }
    }
    finishPhoneFile(f, chosen, aborted != 0, dev);
    return 0;
}

int mediaStreamedAdd(const MediaFamily& f, const char* localPath, const char* name, int dev) {
    f.abortFlag = 0;
    f.progress = 0;
    int64_t size = fileSize(localPath);
    FILE* in = localPath ? std::fopen(localPath, "rb") : nullptr;
    if (!in || !name) {
        if (in)
            std::fclose(in);
        return -1;
    }
    std::string wanted = phoneFileName(name);
    std::string chosen = mediaFreeName(f, wanted, dev);
    if (chosen.empty())
        chosen = wanted;
    bool ok = sendIntCommand(withHexName(f.openCommand, chosen), dev) == 0;
    std::vector<char> buffer(kMediaChunk);
    long long total = 0;
    while (ok) {
        size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        if (n == 0) {
            ok = !std::ferror(in);
            break;
        }
        if (writeChunk(f, buffer.data(), static_cast<int>(n), dev) < 1) {
            ok = false;
            break;
        }
        total += static_cast<long long>(n);
        f.progress = percent(total, size);
        if (f.abortFlag == 1)
            break;
    }
    std::fclose(in);
    bool aborted = !ok || f.abortFlag == 1;
    bool entered = finishPhoneFile(f, chosen, aborted, dev);
    if (entered)
        f.progress = 100;
    return entered || f.abortFlag == 1 ? 0 : -1;
}

int mediaExportByPull(const MediaFamily& f, int id, const char* localPath, long long size,
                      int dev) {
    std::string serial = deviceSerial(dev);
    if (!localPath || !*localPath || serial.empty())
        return -1;
    std::string external = externalStoragePath(dev);
    if (external.empty())
        return -1;
    int received = 0;
    std::string path = sendTextCommand(withNumber(f.pathCommand, id), dev, 1024, &received);
    if (received < 4 || path.empty()) {
        WriteLog("error Export%sfromDevice id=%d,pcfilename=%s,filesize=%lld\n", f.kindName, id,
                 localPath, size);
        return -1;
    }
    WriteLog("Export%sfromDevice id=%d,pcfilename=%s,dev_path=%s\n", f.kindName, id, localPath,
             path.c_str());
    std::string out;
    RunResult r =
        runAdbCapture({"-s", serial, "pull", adbPathForPhonePath(path, external), localPath},
                      transferBound(size), true, &out);
    if (!r.succeeded() || fileSize(localPath) < 0) {
        WriteLog("pull of %s failed: %s\n", path.c_str(), out.c_str());
        std::remove(localPath);
        return -1;
    }
    return 0;
}

int mediaStreamedExport(const MediaFamily& f, int id, const char* localPath, long long size,
                        int dev) {
    f.abortFlag = 0;
    f.progress = 0;
    if (!localPath || !*localPath)
        return -1;
    FILE* out = std::fopen(localPath, "w+b");
    if (!out)
        return -1;
    std::vector<char> buffer(kMediaChunk);
    long long offset = 0;
    bool ok = true;
    for (;;) {
        // With a known size ask for exactly what is left, so every reply is
        // checked against what it must be; without one read until a short chunk.
        int want = size > 0 ? static_cast<int>(std::min<long long>(kMediaChunk, size - offset))
                            : kMediaChunk;
        int n = mediaRead(f, buffer.data(), want, id, offset, dev);
        if (n <= 0) {
            ok = size <= 0 && n == 0 && offset > 0;
            break;
        }
        if (std::fwrite(buffer.data(), 1, static_cast<size_t>(n), out) != static_cast<size_t>(n)) {
            ok = false;
            break;
        }
        offset += n;
        if ((size > 0 && offset >= size) || (size <= 0 && n < want))
            break;
        f.progress = percent(offset, size);
        if (f.abortFlag == 1)
            break;
    }
    ok = std::fclose(out) == 0 && ok && f.abortFlag != 1;
    if (size > 0 && offset != size)
        ok = false;
    if (!ok) {
        std::remove(localPath);
        return f.abortFlag == 1 ? 0 : -1;
    }
    f.progress = 100;
    return 0;
}

int mediaPhoneToPhone(const MediaFamily& f, int id, const char* name, long long size, int src,
                      int dst) {
    f.abortFlag = 0;
    f.currentSize = 0;
    if (!name || !*name)
        return -1;
    std::string wanted = phoneFileName(name);
    std::string chosen = mediaFreeName(f, wanted, dst);
    if (chosen.empty())
        chosen = wanted;
    bool ok = sendIntCommand(withHexName(f.openCommand, chosen), dst) == 0;
    auto wantAt = [size](long long offset) {
        return size > 0 ? static_cast<int>(std::min<long long>(kMediaChunk, size - offset))
                        : kMediaChunk;
    };
    // The next chunk is read from the source while the current one is written
    // to the destination: the two phones have separate channels, so the copy
    // runs at the speed of the slower side instead of the sum of both.
    std::vector<char> buffers[2] = {std::vector<char>(kMediaChunk), std::vector<char>(kMediaChunk)};
    auto readAt = [&f, id, src](std::vector<char>* buffer, long long offset, int want) {
        return mediaRead(f, buffer->data(), want, id, offset, src);
    };
    long long offset = 0;
    int current = 0;
    int want = wantAt(0);
    int n = ok && want > 0 ? readAt(&buffers[0], 0, want) : 0;
    while (ok && want > 0) {
        if (n <= 0 || n > want) {
            ok = size <= 0 && n == 0 && offset > 0;
            break;
        }
        long long next = offset + n;
        int nextWant = (size <= 0 && n < want) ? 0 : wantAt(next);
        std::future<int> ahead;
        if (nextWant > 0 && f.abortFlag != 1)
            ahead = std::async(std::launch::async, readAt, &buffers[1 - current], next, nextWant);
        bool written = writeChunk(f, buffers[current].data(), n, dst) >= 1;
        int nextN = ahead.valid() ? ahead.get() : 0;
        if (!written) {
            ok = false;
            break;
        }
        offset = next;
        f.currentSize = size > 0 ? std::min(offset, size) : offset;
        if (nextWant <= 0 || f.abortFlag == 1)
            break;
        current = 1 - current;
        want = nextWant;
        n = nextN;
    }
    if (size > 0 && offset != size)
        ok = false;
    bool aborted = !ok || f.abortFlag == 1;
    bool entered = finishPhoneFile(f, chosen, aborted, dst);
    return entered || f.abortFlag == 1 ? 0 : -1;
}

} // namespace greenlink
