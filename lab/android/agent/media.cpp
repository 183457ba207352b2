#include "media.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lab {

namespace {

std::string lowerExtension(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Stable small number for an album name, as the phone's album ids are.
int64_t albumIdOf(const std::string& album) {
    uint32_t h = 2166136261u;
    for (unsigned char c : album)
        h = (h ^ c) * 16777619u;
    return static_cast<int64_t>(h & 0x7FFFFFF) + 1;
}

MediaItem describe(const std::string& relative, MediaKind kind, const struct stat& st) {
    MediaItem item;
    item.kind = kind;
    item.path = relative;
    item.size = st.st_size;
    item.mtime = st.st_mtime;
    item.ctime = st.st_mtime;
    std::string file = fs::path(relative).filename().string();
    auto dot = file.rfind('.');
    item.title = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    if (kind == MediaKind::Music) {
        // Music/Artist/Album/track.mp3 names its artist and album.
        fs::path p(relative);
        fs::path album = p.parent_path(), artist = album.parent_path();
        bool tagged = !artist.empty() && artist.has_parent_path();
        item.album = tagged ? album.filename().string() : "<unknown>";
        item.artist = tagged ? artist.filename().string() : "<unknown>";
        item.albumId = albumIdOf(item.album);
        item.duration = st.st_size / 16; // about 128 kbit/s, in ms
    } else if (kind == MediaKind::Video) {
        item.duration = st.st_size / 250; // about 2 Mbit/s, in ms
    }
    return item;
}

MediaItem readItem(Statement& s) {
    MediaItem m;
    m.id = s.integer(0);
    m.kind = static_cast<MediaKind>(s.integer(1));
    m.path = s.text(2);
    m.size = s.integer(3);
    m.mtime = s.integer(4);
    m.ctime = s.integer(5);
    m.title = s.text(6);
    m.album = s.text(7);
    m.artist = s.text(8);
    m.albumId = s.integer(9);
    m.duration = s.integer(10);
    return m;
}

const char* const kSelect =
    "SELECT id, kind, path, size, mtime, ctime, title, album, artist, album_id, duration "
    "FROM media ";

bool upsert(Store& store, const MediaItem& m) {
    Statement s(store.db().handle(),
                "INSERT INTO media(kind, path, size, mtime, ctime, title, album, artist, "
                "album_id, duration) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) "
                "ON CONFLICT(path) DO UPDATE SET kind = ?1, size = ?3, mtime = ?4, "
                "title = ?6, album = ?7, artist = ?8, album_id = ?9, duration = ?10");
    s.bind(1, static_cast<int64_t>(m.kind)).bind(2, m.path).bind(3, m.size).bind(4, m.mtime);
    s.bind(5, m.ctime).bind(6, m.title).bind(7, m.album).bind(8, m.artist);
    s.bind(9, m.albumId).bind(10, m.duration);
    return s.run();
}

} // namespace

std::optional<MediaKind> mediaKindOfName(const std::string& name) {
    // A phone's media library takes HEIF and raw (DNG) pictures as images too.
    static const std::map<std::string, MediaKind> kinds = {
        {"jpg", MediaKind::Photo},  {"jpeg", MediaKind::Photo}, {"png", MediaKind::Photo},
        {"gif", MediaKind::Photo},  {"bmp", MediaKind::Photo},  {"webp", MediaKind::Photo},
        {"heic", MediaKind::Photo}, {"heif", MediaKind::Photo}, {"dng", MediaKind::Photo},
        {"mp3", MediaKind::Music},  {"m4a", MediaKind::Music},  {"aac", MediaKind::Music},
        {"ogg", MediaKind::Music},  {"flac", MediaKind::Music}, {"wav", MediaKind::Music},
        {"amr", MediaKind::Music},  {"mp4", MediaKind::Video},  {"3gp", MediaKind::Video},
        {"mkv", MediaKind::Video},  {"mov", MediaKind::Video},  {"avi", MediaKind::Video},
        {"webm", MediaKind::Video}, {"m4v", MediaKind::Video}};
    auto it = kinds.find(lowerExtension(name));
    if (it == kinds.end())
        return std::nullopt;
    return it->second;
}

const char* incomingFolder(MediaKind kind) {
    switch (kind) {
    case MediaKind::Photo:
        return "Images";
    case MediaKind::Music:
        return "Music";
    case MediaKind::Video:
        return "Videos";
    }
    return "Download";
}

std::string sdcardDir(const std::string& phoneDir) { return phoneDir + "/sdcard"; }

std::string phonePath(const std::string& relativePath) {
    return std::string(kExternalStorage) + "/" + relativePath;
}

bool isPlainFileName(const std::string& name) {
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string numberedName(const std::string& name, int n) {
    std::string suffix = "(" + std::to_string(n) + ")";
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

MediaIndex::MediaIndex(Store& store, std::string phoneDir)
    : store_(store), phoneDir_(std::move(phoneDir)) {}

std::string MediaIndex::fullPath(const MediaItem& item) const {
    return sdcardDir(phoneDir_) + "/" + item.path;
}

bool MediaIndex::rescan(MediaKind kind) {
    auto k = static_cast<int>(kind);
    scanned_[k] = true;
    idsValid_[k] = false;
    std::map<std::string, MediaItem> onDisk;
    std::string root = sdcardDir(phoneDir_);
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!name.empty() && name[0] == '.') {
            if (it->is_directory(ec))
                it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (mediaKindOfName(name) != kind)
            continue;
        std::string rel = it->path().lexically_relative(root).string();
        onDisk.emplace(rel, describe(rel, kind, st));
    }
    Transaction tx(store_.db());
    std::vector<int64_t> gone;
    {
        Statement s(store_.db().handle(), std::string(kSelect) + "WHERE kind = ?1");
        s.bind(1, static_cast<int64_t>(kind));
        while (s.step()) {
            MediaItem known = readItem(s);
            auto found = onDisk.find(known.path);
            if (found == onDisk.end())
                gone.push_back(known.id);
            else if (found->second.size == known.size && found->second.mtime == known.mtime)
                onDisk.erase(found);
        }
    }
    for (int64_t id : gone) {
        Statement del(store_.db().handle(), "DELETE FROM media WHERE id = ?1");
        del.bind(1, id);
        if (!del.run())
            return false;
    }
    for (const auto& [path, item] : onDisk)
        if (!upsert(store_, item))
            return false;
    return tx.commit();
}

int64_t MediaIndex::indexFile(const std::string& relativePath) {
    auto kind = mediaKindOfName(relativePath);
    struct stat st {};
    std::string full = sdcardDir(phoneDir_) + "/" + relativePath;
    if (!kind || ::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    idsValid_[static_cast<int>(*kind)] = false;
    if (!upsert(store_, describe(relativePath, *kind, st)))
        return 0;
    Statement s(store_.db().handle(), "SELECT id FROM media WHERE path = ?1");
    s.bind(1, relativePath);
    return s.step() ? s.integer(0) : 0;
}

void MediaIndex::ensureScanned(MediaKind kind) {
    if (!scanned_[static_cast<int>(kind)])
        rescan(kind);
}

std::vector<int64_t>& MediaIndex::ids(MediaKind kind) {
    auto k = static_cast<int>(kind);
    ensureScanned(kind);
    if (!idsValid_[k]) {
        ids_[k].clear();
        Statement s(store_.db().handle(), "SELECT id FROM media WHERE kind = ?1 ORDER BY id");
        s.bind(1, static_cast<int64_t>(kind));
        while (s.step())
            ids_[k].push_back(s.integer(0));
        idsValid_[k] = true;
    }
    return ids_[k];
}

int64_t MediaIndex::count(MediaKind kind) {
    idsValid_[static_cast<int>(kind)] = false;
    return static_cast<int64_t>(ids(kind).size());
}

std::optional<MediaItem> MediaIndex::at(MediaKind kind, int64_t position) {
    const auto& list = ids(kind);
    if (position < 0 || position >= static_cast<int64_t>(list.size()))
        return std::nullopt;
    return byId(kind, list[static_cast<std::size_t>(position)]);
}

std::optional<MediaItem> MediaIndex::byId(MediaKind kind, int64_t id) {
    ensureScanned(kind);
    Statement s(store_.db().handle(), std::string(kSelect) + "WHERE id = ?1 AND kind = ?2");
    s.bind(1, id).bind(2, static_cast<int64_t>(kind));
    if (!s.step())
        return std::nullopt;
    return readItem(s);
}

std::vector<MediaItem> MediaIndex::all(MediaKind kind) {
    ensureScanned(kind);
    std::vector<MediaItem> items;
    Statement s(store_.db().handle(), std::string(kSelect) + "WHERE kind = ?1 ORDER BY id");
    s.bind(1, static_cast<int64_t>(kind));
    while (s.step())
        items.push_back(readItem(s));
    return items;
}

bool MediaIndex::remove(MediaKind kind, int64_t id) {
    auto item = byId(kind, id);
    if (!item)
        return false;
    ::unlink(fullPath(*item).c_str());
    idsValid_[static_cast<int>(kind)] = false;
    Statement del(store_.db().handle(), "DELETE FROM media WHERE id = ?1");
    del.bind(1, id);
    return del.run();
}

bool MediaIndex::clear(MediaKind kind) {
    bool ok = true;
    for (const auto& item : all(kind))
        ok = remove(kind, item.id) && ok;
    return ok;
}

std::string thumbnailFor(const std::string& fullPath) {
    uint32_t h = 2166136261u;
    std::ifstream in(fullPath, std::ios::binary);
    char buf[4096];
    for (int i = 0; i < 16 && in.read(buf, sizeof buf).gcount() > 0; ++i)
        for (std::streamsize j = 0; j < in.gcount(); ++j)
            h = (h ^ static_cast<unsigned char>(buf[j])) * 16777619u;
    const int side = 8, rowBytes = side * 3, pixels = rowBytes * side;
    std::string bmp(54 + pixels, '\0');
    auto put32 = [&bmp](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<uint32_t>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, side);
    put32(22, side);
    bmp[26] = 1;
    bmp[28] = 24;
    put32(34, pixels);
    for (int i = 0; i < pixels; ++i)
        bmp[54 + i] = static_cast<char>((h >> ((i % 3) * 8)) + static_cast<uint32_t>(i / 3));
    return bmp;
}

} // namespace lab
