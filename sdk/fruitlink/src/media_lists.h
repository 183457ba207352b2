// The photo, music and video lists of the last media scan.
#pragma once

#include "iphone_nodes.h"

#include <cstdint>
#include <string>

namespace fruitlink {

enum class MediaKind { Photo, Music, Video, None };

// By the path's suffix (from its last '.'), ASCII case folded: the formats an
// iPhone stores. Photos .heic .heif .jpg .jpeg .png .gif .dng, videos .mov
// .mp4 .m4v, music .mp3 .m4a.
MediaKind classifyMediaPath(const std::string& path);

struct MediaList {
    MediaFileNode* head = nullptr;
    int32_t count = 0;
    uint64_t totalBytes = 0;
};

struct MediaLists {
    MediaList photos, music, videos;
    // The last scan failed: the lists are empty because they could not be
    // had, not because the phone has no media.
    bool failed = false;
};

MediaLists& mediaLists();
void clearallMedia();
// Files a path with its size at the head of its list; false when the path is
// not media or does not fit the node's path field (the file is then not
// listed rather than listed under a cut name).
bool AddtoList(const std::string& path, int64_t size);

} // namespace fruitlink
