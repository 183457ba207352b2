#include "media_lists.h"

#include <cstdlib>
#include <cstring>

namespace fruitlink {

namespace {
int mystrcasecmp(const std::string& a, const char* b) {
    std::string folded = a;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return std::strcmp(folded.c_str(), b);
}

void freeList(MediaList& l) {
    while (l.head) {
        MediaFileNode* next = l.head->next;
        std::free(l.head);
        l.head = next;
    }
    l = MediaList{};
}
} // namespace

MediaKind classifyMediaPath(const std::string& path) {
    auto dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return MediaKind::None;
    std::string suffix = path.substr(dot);
    static const struct {
        const char* suffix;
        MediaKind kind;
    } kTable[] = {
        {".heic", MediaKind::Photo}, {".heif", MediaKind::Photo}, {".jpg", MediaKind::Photo},
        {".jpeg", MediaKind::Photo}, {".png", MediaKind::Photo},  {".gif", MediaKind::Photo},
        {".dng", MediaKind::Photo},  {".mov", MediaKind::Video},  {".mp4", MediaKind::Video},
        {".m4v", MediaKind::Video},  {".mp3", MediaKind::Music},  {".m4a", MediaKind::Music},
    };
    for (const auto& e : kTable)
        if (mystrcasecmp(suffix, e.suffix) == 0)
            return e.kind;
    return MediaKind::None;
}

MediaLists& mediaLists() {
    static MediaLists lists;
    return lists;
}

void clearallMedia() {
    freeList(mediaLists().photos);
    freeList(mediaLists().music);
    freeList(mediaLists().videos);
    mediaLists().failed = false;
}

bool AddtoList(const std::string& path, int64_t size) {
    MediaList* list = nullptr;
    switch (classifyMediaPath(path)) {
    case MediaKind::Photo:
        list = &mediaLists().photos;
        break;
    case MediaKind::Music:
        list = &mediaLists().music;
        break;
    case MediaKind::Video:
        list = &mediaLists().videos;
        break;
    case MediaKind::None:
        return false;
    }
    if (path.size() >= MEDIA_FILE_PATH_MAX)
        return false;
    auto* node = static_cast<MediaFileNode*>(std::calloc(1, sizeof(MediaFileNode)));
    if (!node)
        return false;
    std::memcpy(node->path, path.c_str(), path.size() + 1);
    node->size = size;
    node->next = list->head;
    list->head = node;
    list->count++;
    list->totalBytes += static_cast<uint64_t>(size > 0 ? size : 0);
    return true;
}

} // namespace fruitlink
