// Listing an iPhone's media over AFC and reading one file at a time.
#include "afc_access.h"
#include "device_list.h"
#include "media_lists.h"
#include "state.h"
#include "trace.h"

#include <fruitlink.h>

namespace {

using fruitlink::AFCMediaDirectory;

// Lists one top folder into the media lists. A folder the phone does not
// have holds no media; any other failure is reported and ends the scan.
bool deviceFlushMedia(const std::shared_ptr<fruitlink::AMDevice>& dev, AFCMediaDirectory& afc,
                      const char* folder) {
    if (!afc.getFileInfo(folder) && afc.lastCategory() == IPHONE_ERROR_NOT_FOUND) {
        fruitlink::WriteLog1(1, "no %s on %s\n", folder, dev->udid().c_str());
        return true;
    }
    auto entries = afc.recursiveDirectoryContents(folder);
    if (!entries) {
        fruitlink::fail(fruitlink::settle(dev, afc.lastCategory()),
                        "IphoneTSF_FlushMedia: %s cannot be listed: %s", folder,
                        afc.lasterror().c_str());
        return false;
    }
    for (const auto& path : *entries) {
        if (path.empty() || path.back() == '/' ||
            fruitlink::classifyMediaPath(path) == fruitlink::MediaKind::None)
            continue;
        auto info = afc.getFileInfo(path);
        if (!info && afc.lastCategory() == IPHONE_ERROR_NOT_FOUND)
            continue; // deleted on the phone since it was listed
        if (!info) {
            fruitlink::fail(fruitlink::settle(dev, afc.lastCategory()),
                            "IphoneTSF_FlushMedia: no information on %s: %s", path.c_str(),
                            afc.lasterror().c_str());
            return false;
        }
        // A link is the phone's own pointer to a file listed elsewhere.
        if ((*info)["st_ifmt"] == "S_IFLNK")
            continue;
        int64_t size = std::strtoll((*info)["st_size"].c_str(), nullptr, 10);
        if (!fruitlink::AddtoList(path, size))
            fruitlink::WriteLog1(2, "not listed (path too long): %s\n", path.c_str());
    }
    return true;
}

// Count of the list and its head; -1 and no head after a failed scan, so a
// caller can tell "could not be listed" from "none".
int listOut(const fruitlink::MediaList& l, MediaFileNode** out) {
    bool failed = fruitlink::mediaLists().failed;
    if (out)
        *out = failed ? nullptr : l.head;
    return failed ? -1 : l.count;
}

fruitlink::MediaReader& reader() { return fruitlink::LibraryState::instance().mediaReader(); }

} // namespace

int IphoneTSF_FlushMedia(int index) {
    fruitlink::WriteLog1(1, "Call Function: %s\n", __func__);
    fruitlink::clearallMedia();
    auto dev = fruitlink::deviceAtIndex(index);
    if (!dev) {
        fruitlink::fail(IPHONE_ERROR_NO_DEVICE, "IphoneTSF_FlushMedia: no device at index %d",
                        index);
        fruitlink::mediaLists().failed = true;
        return -1;
    }
    // One connection for the whole scan: each costs a session and a service start.
    auto afc = AFCMediaDirectory::create(dev);
    if (!afc) {
        fruitlink::fail(fruitlink::settle(dev, dev->lastCategory()),
                        "IphoneTSF_FlushMedia: no AFC connection to %s: %s", dev->udid().c_str(),
                        dev->lasterror().c_str());
        fruitlink::mediaLists().failed = true;
        return -1;
    }
    for (const char* folder : {"/DCIM", "/Recordings", "/iTunes_Control"}) {
        if (!deviceFlushMedia(dev, *afc, folder)) {
            // Part of the media is not all of it: nothing is offered.
            fruitlink::clearallMedia();
            fruitlink::mediaLists().failed = true;
            return -1;
        }
    }
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
    auto dev = fruitlink::deviceAtIndex(index);
    if (!dev || !path) {
        reader().reset(); // a failed Open still ends the file open before
        if (!dev)
            fruitlink::fail(IPHONE_ERROR_NO_DEVICE, "IphoneTSF_Open: no device at index %d", index);
        else
            fruitlink::fail(IPHONE_ERROR_NOT_FOUND, "IphoneTSF_Open: no path");
        return -1;
    }
    return reader().open(dev, path);
}

int IphoneTSF_Read(int handle, char* buf, int count, int index) {
    (void)handle;
    (void)index;
    return reader().read(buf, count);
}

int IphoneTSF_Close(int handle, int index) {
    (void)handle;
    (void)index;
    return reader().close();
}

int IphoneTSF_Write(void) { return reader().hasOpenFile() ? 0 : -1; }
