// Which files of a backup are photos, videos and music, and the lists handed
// to callers.
//
// Photos and videos are the camera roll: CameraRollDomain, Media/DCIM/, by
// extension (thumbnails and edited versions under Media/PhotoData are not
// taken). Music is audio under MediaDomain's Media/iTunes_Control/Music/
// (songs a backup carries), Media/Purchases/ and Media/Recordings/ (voice
// memos); video files found there go to the videos.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "backup_nodes.h"

namespace jukelink {

enum class MediaKind { None, Photo, Video, Music };

MediaKind classifyMedia(const std::string& domain, const std::string& relativePath);

// The file's path on the iPhone: /var/mobile/ + the relative path (the media
// domains are rooted there).
std::string devicePath(const std::string& relativePath);

// Copies a device path into a fixed field. When it does not fit, the middle
// folders are dropped ("/var/mobile/…/IMG_0001.JPG") so the last component,
// which names the copy, survives whole where it can.
void fitDevicePath(char* dst, size_t cap, const std::string& path);

// A media list whose nodes stay at their addresses until clear().
class MediaList {
  public:
    MediaList() = default;
    MediaList(const MediaList&) = delete;
    MediaList& operator=(const MediaList&) = delete;

    void clear();
    void add(const std::string& devicePath, const std::string& backupName, int64_t size);
    int count() const { return static_cast<int>(m_nodes.size()); }
    DicmImageList* head() { return m_nodes.empty() ? nullptr : &m_nodes.front(); }
    int64_t totalSize() const { return m_total; }
    // The total for callers that take 32 bits: INT32_MAX when it is larger.
    int totalSize32() const;

  private:
    std::deque<DicmImageInfo> m_entries;
    std::deque<DicmImageList> m_nodes;
    int64_t m_total = 0;
};

} // namespace jukelink
