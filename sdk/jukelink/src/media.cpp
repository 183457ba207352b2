#include "media.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "fsutil.h"

namespace jukelink {

namespace {

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, strlen(prefix), prefix) == 0;
}

std::string extension(const std::string& path) {
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot + 1 == path.size())
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return ext;
}

bool oneOf(const std::string& ext, std::initializer_list<const char*> list) {
    for (const char* e : list) {
        if (ext == e)
            return true;
    }
    return false;
}

bool isPhotoExt(const std::string& e) {
    return oneOf(
        e, {"jpg", "jpeg", "png", "heic", "heif", "gif", "tif", "tiff", "dng", "bmp", "webp"});
}
bool isVideoExt(const std::string& e) { return oneOf(e, {"mov", "mp4", "m4v", "3gp", "avi"}); }
bool isAudioExt(const std::string& e) {
    return oneOf(e, {"mp3", "m4a", "m4b", "aac", "wav", "aif", "aiff", "flac"});
}

} // namespace

MediaKind classifyMedia(const std::string& domain, const std::string& relativePath) {
    std::string ext = extension(relativePath);
    if (domain == "CameraRollDomain" && startsWith(relativePath, "Media/DCIM/")) {
        if (isPhotoExt(ext))
            return MediaKind::Photo;
        if (isVideoExt(ext))
            return MediaKind::Video;
        return MediaKind::None;
    }
    if (domain == "MediaDomain" && (startsWith(relativePath, "Media/iTunes_Control/Music/") ||
                                    startsWith(relativePath, "Media/Purchases/") ||
                                    startsWith(relativePath, "Media/Recordings/"))) {
        if (isAudioExt(ext))
            return MediaKind::Music;
        if (isVideoExt(ext))
            return MediaKind::Video;
    }
    return MediaKind::None;
}

std::string devicePath(const std::string& relativePath) { return "/var/mobile/" + relativePath; }

void fitDevicePath(char* dst, size_t cap, const std::string& path) {
    if (path.size() < cap) {
        copyText(dst, cap, path);
        return;
    }
    static const std::string head = "/var/mobile/\xE2\x80\xA6";
    size_t slash = path.rfind('/');
    std::string last = slash == std::string::npos ? path : path.substr(slash);
    if (head.size() + last.size() < cap)
        copyText(dst, cap, head + last);
    else
        copyText(dst, cap, last.substr(1)); // a name too long for any path: keep its start
}

void MediaList::clear() {
    m_nodes.clear();
    m_entries.clear();
    m_total = 0;
}

void MediaList::add(const std::string& path, const std::string& backupName, int64_t size) {
    DicmImageInfo& info = m_entries.emplace_back();
    memset(&info, 0, sizeof info);
    fitDevicePath(info.path, sizeof info.path, path);
    copyText(info.name, sizeof info.name, backupName);
    info.size = size;
    DicmImageList& node = m_nodes.emplace_back();
    node.entry = &info;
    node.next = nullptr;
    if (m_nodes.size() > 1)
        m_nodes[m_nodes.size() - 2].next = &node;
    if (size > 0)
        m_total = size > INT64_MAX - m_total ? INT64_MAX : m_total + size;
}

int MediaList::totalSize32() const {
    return m_total > INT_MAX ? INT_MAX : static_cast<int>(m_total);
}

} // namespace jukelink
