// Listing an iPhone's media over AFC and reading one file at a time.
#include "afc_access.h"
#include "device_list.h"
#include "media_lists.h"
#include "trace.h"

#include <algorithm>
#include <cstring>
#include <fruitlink.h>
#include <optional>
#include <vector>

namespace {

using fruitlink::AFCFileReference;
using fruitlink::AFCMediaDirectory;

// The AFC media connection of the last Open, kept for the next file of the
// same device: a transfer opens thousands of photos one after the other, and
// each new connection costs a lockdownd session and a service start.
struct AfcConnection {
    std::shared_ptr<fruitlink::AMDevice> device;
    std::unique_ptr<AFCMediaDirectory> st_afcAccess;
};
AfcConnection g_conn;

// The one open media file. Reads go to AFC in large pieces and the caller's
// smaller reads are served from the buffer; the expected size tells a whole
// file from one cut short by an unplug.
struct OpenFile {
    std::unique_ptr<AFCFileReference> st_afc;
    std::vector<char> buffer;
    size_t pos = 0, len = 0;
    uint64_t expected = 0, delivered = 0;
    bool failed = false;
};

constexpr size_t kReadAhead = 1u << 20;
std::unique_ptr<OpenFile> g_open;

void deviceFlushMedia(const std::shared_ptr<fruitlink::AMDevice>& dev, const char* folder) {
    auto afc = AFCMediaDirectory::create(dev);
    if (!afc) {
        fruitlink::WriteLog1(3, "no AFC connection for %s: %s\n", folder, dev->lasterror().c_str());
        return;
    }
    auto entries = afc->recursiveDirectoryContents(folder);
    if (!entries) {
        fruitlink::WriteLog1(2, "%s not listed: %s\n", folder, afc->lasterror().c_str());
        return;
    }
    for (const auto& path : *entries) {
        if (path.empty() || path.back() == '/' ||
            fruitlink::classifyMediaPath(path) == fruitlink::MediaKind::None)
            continue;
        auto info = afc->getFileInfo(path);
        if (!info)
            continue;
        // A link is the phone's own pointer to a file listed elsewhere.
        if ((*info)["st_ifmt"] == "S_IFLNK")
            continue;
        int64_t size = std::strtoll((*info)["st_size"].c_str(), nullptr, 10);
        if (!fruitlink::AddtoList(path, size))
            fruitlink::WriteLog1(2, "not listed (path too long): %s\n", path.c_str());
    }
}

int listOut(const fruitlink::MediaList& l, MediaFileNode** out) {
    if (out)
        *out = l.head;
    return l.count;
}

} // namespace

int IphoneTSF_FlushMedia(int index) {
    fruitlink::WriteLog1(1, "Call Function: %s\n", __func__);
    fruitlink::clearallMedia();
    auto dev = fruitlink::deviceAtIndex(index);
    if (!dev) {
        fruitlink::fail("IphoneTSF_FlushMedia: no device at index %d", index);
        return -1;
    }
    for (const char* folder : {"/DCIM", "/Recordings", "/iTunes_Control"})
        deviceFlushMedia(dev, folder);
    return 0;
}

int IphoneTSF_GetDICMImage(MediaFileNode** out) {
    return listOut(fruitlink::mediaLists().photos, out);
}
int IphoneTSF_GetMusics(MediaFileNode** out) { return listOut(fruitlink::mediaLists().music, out); }
int IphoneTSF_GetVideos(MediaFileNode** out) {
    return listOut(fruitlink::mediaLists().videos, out);
}

int IphoneTSF_GetDICMImage_TotalSize(void) {
    return static_cast<int>(static_cast<uint32_t>(fruitlink::mediaLists().photos.totalBytes));
}
int IphoneTSF_GetMusics_TotalSize(void) {
    return static_cast<int>(static_cast<uint32_t>(fruitlink::mediaLists().music.totalBytes));
}
int IphoneTSF_GetVideos_TotalSize(void) {
    return static_cast<int>(static_cast<uint32_t>(fruitlink::mediaLists().videos.totalBytes));
}
int64_t IphoneTSF_GetDICMImage_TotalSize64(void) {
    return static_cast<int64_t>(fruitlink::mediaLists().photos.totalBytes);
}
int64_t IphoneTSF_GetMusics_TotalSize64(void) {
    return static_cast<int64_t>(fruitlink::mediaLists().music.totalBytes);
}
int64_t IphoneTSF_GetVideos_TotalSize64(void) {
    return static_cast<int64_t>(fruitlink::mediaLists().videos.totalBytes);
}

int64_t IphoneTSF_Open(const char* path, int index) {
    g_open.reset(); // a second Open replaces the first
    auto dev = fruitlink::deviceAtIndex(index);
    if (!dev || !path) {
        fruitlink::fail("IphoneTSF_Open: no device at index %d", index);
        return -1;
    }
    auto f = std::make_unique<OpenFile>();
    std::optional<fruitlink::AfcDictionary> info;
    // A kept connection may have died with its phone: one fresh try then.
    for (int attempt = 0; attempt < 2 && !f->st_afc; ++attempt) {
        if (attempt > 0 || g_conn.device != dev || dev->forgotten())
            g_conn = AfcConnection{};
        bool fresh = !g_conn.st_afcAccess;
        if (fresh) {
            g_conn.st_afcAccess = AFCMediaDirectory::create(dev);
            g_conn.device = dev;
        }
        if (!g_conn.st_afcAccess) {
            fruitlink::fail("IphoneTSF_Open %s: no AFC connection: %s", path,
                            dev->lasterror().c_str());
            g_conn = AfcConnection{};
            return -1;
        }
        info = g_conn.st_afcAccess->getFileInfo(path);
        if (info)
            f->st_afc = g_conn.st_afcAccess->openForRead(path);
        if (fresh)
            break; // a new connection's answer is the phone's answer
    }
    if (!info || !f->st_afc) {
        fruitlink::fail("IphoneTSF_Open %s: %s", path, g_conn.st_afcAccess->lasterror().c_str());
        return -1;
    }
    f->expected = std::strtoull((*info)["st_size"].c_str(), nullptr, 10);
    g_open = std::move(f);
    return 1000;
}

namespace {
// Fills the buffer from AFC; false on a read error or a short file.
bool refill(OpenFile& f) {
    if (f.buffer.size() != kReadAhead)
        f.buffer.resize(kReadAhead);
    int64_t n = f.st_afc->readN(f.buffer.data(), kReadAhead);
    if (n < 0) {
        fruitlink::fail("IphoneTSF_Read: %s after %llu of %llu bytes",
                        f.st_afc->lasterror().c_str(), static_cast<unsigned long long>(f.delivered),
                        static_cast<unsigned long long>(f.expected));
        return false;
    }
    f.pos = 0;
    f.len = static_cast<size_t>(n);
    if (n == 0 && f.delivered < f.expected) {
        fruitlink::fail("IphoneTSF_Read: the file ended after %llu of %llu bytes",
                        static_cast<unsigned long long>(f.delivered),
                        static_cast<unsigned long long>(f.expected));
        return false;
    }
    return true;
}
} // namespace

int IphoneTSF_Read(int handle, char* buf, int count, int index) {
    if (!g_open) {
        fruitlink::fail("IphoneTSF_Read: no file is open");
        return -1;
    }
    OpenFile& f = *g_open;
    if (f.failed)
        return -1;
    if (!buf || count <= 0)
        return 0;
    if (f.pos == f.len && !refill(f)) {
        f.failed = true;
        g_open->st_afc.reset();
        g_conn = AfcConnection{}; // the connection is not to be trusted any more
        return -1;
    }
    size_t n = std::min(static_cast<size_t>(count), f.len - f.pos);
    std::memcpy(buf, f.buffer.data() + f.pos, n);
    f.pos += n;
    f.delivered += n;
    return static_cast<int>(n);
}

int IphoneTSF_Close(int handle, int index) {
    if (!g_open) {
        fruitlink::fail("IphoneTSF_Close: no file is open");
        return -1;
    }
    g_open.reset(); // closes the file; the connection stays for the next one
    return 0;
}

int IphoneTSF_Write(void) { return g_open ? 0 : -1; }
