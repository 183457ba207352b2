// The phone's media: files under DIR/sdcard, and the media index in the
// store that gives each photo, song and video a stable id.
#pragma once

#include "store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lab {

enum class MediaKind { Photo = 1, Music = 2, Video = 3 };

// What the phone reports as its external storage; DIR/sdcard on disk.
constexpr const char* kExternalStorage = "/storage/emulated/0";

std::optional<MediaKind> mediaKindOfName(const std::string& name);
// Folder (below sdcard) where files pushed or streamed in land.
const char* incomingFolder(MediaKind kind);

std::string sdcardDir(const std::string& phoneDir);
std::string phonePath(const std::string& relativePath); // "/storage/emulated/0/" + rel

// A plain file name the phone accepts: not empty, no '/', no NUL, not "."
// or "..", at most 255 bytes.
bool isPlainFileName(const std::string& name);
// "IMG.jpg" -> "IMG(1).jpg", "IMG(2).jpg", ...; a name without extension
// gets the number at its end. n >= 1.
std::string numberedName(const std::string& name, int n);

struct MediaItem {
    int64_t id = 0;
    MediaKind kind = MediaKind::Photo;
    std::string path; // relative to sdcard
    int64_t size = 0, mtime = 0, ctime = 0, duration = 0, albumId = 0;
    std::string title, album, artist;
};

class MediaIndex {
  public:
    MediaIndex(Store& store, std::string phoneDir);

    // Brings the index of one kind in line with the files: new files get new
    // ids, vanished ones are dropped, changed ones updated. False on failure.
    bool rescan(MediaKind kind);
    // Indexes (or refreshes) one file; returns its id, 0 on failure.
    int64_t indexFile(const std::string& relativePath);
    int64_t count(MediaKind kind);
    std::optional<MediaItem> at(MediaKind kind, int64_t position);
    std::optional<MediaItem> byId(MediaKind kind, int64_t id);
    std::vector<MediaItem> all(MediaKind kind);
    bool remove(MediaKind kind, int64_t id); // deletes the file too
    bool clear(MediaKind kind);

    std::string fullPath(const MediaItem& item) const;

  private:
    void ensureScanned(MediaKind kind);
    std::vector<int64_t>& ids(MediaKind kind);

    Store& store_;
    std::string phoneDir_;
    bool scanned_[4] = {};
    std::vector<int64_t> ids_[4];
    bool idsValid_[4] = {};
};

// A small BMP that stands for the item's thumbnail: deterministic, distinct
// per file content.
std::string thumbnailFor(const std::string& fullPath);

} // namespace lab
