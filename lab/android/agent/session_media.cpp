#include "apps.h"
#include "session.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lab {

namespace {

struct MediaNames {
    MediaKind kind;
    const char *flush, *count, *info, *remove, *clear, *exists, *open, *write, *close, *add, *abort,
        *path, *data;
};

const MediaNames kMediaNames[] = {
    {MediaKind::Photo, "flushphotolist", "getdcimcount", "getdcimindexinfo", "deletephoto",
     "ClearPhotos", "checkFileisExist", "open_photofile", "write_photofile", "close_photofile",
     "addphototodevice", "addphototodevice_abort", "getfilepathForid", "getdcimdata"},
    {MediaKind::Music, "flushmusiclist", "getmusiccount", "getmusicindexinfo", "deletemusic",
     "ClearMusic", "checkMusicFileisExist", "open_Musicfile", "write_musicfile", "close_Musicfile",
     "addmusictodevice", "addmusictodevice_abort", "GetMusicPathById",
     "exportfilefromdevice_music"},
    {MediaKind::Video, "flushvideolist", "getvideocount", "getvideoindexinfo",
     "deletevideofromdevice", "ClearVideos", "checkVideoFileisExist", "open_videofile",
     "write_videofile", "close_videofile", "addvideotodevice", "addvideotodevice_abort",
     "GetVideoPathById", "exportfilefromdevice_video"},
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string readRange(const std::string& path, long long offset, long long count) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || offset >= st.st_size) {
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    // Never allocate more than the file still holds.
    count = std::min<long long>(count, st.st_size - offset);
    std::string out(static_cast<std::size_t>(count), '\0');
    std::size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::pread(fd, out.data() + got, out.size() - got,
                            static_cast<off_t>(offset + static_cast<long long>(got)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    out.resize(got);
    return out;
}

} // namespace

void Session::addMediaHandlers() {
    for (const MediaNames& n : kMediaNames) {
        MediaKind k = n.kind;
        handlers_[n.flush] = [this, k](std::string_view) {
            media_.rescan(k);
            return intReply(static_cast<int32_t>(media_.count(k)));
        };
        handlers_[n.count] = [this, k](std::string_view) {
            return intReply(static_cast<int32_t>(media_.count(k)));
        };
        handlers_[n.info] = [this, k](std::string_view a) { return mediaInfo(k, a); };
        handlers_[n.remove] = [this, k](std::string_view a) { return deleteMedia(k, a); };
        handlers_[n.clear] = [this, k](std::string_view) {
            return intReply(faults_.diskFull ? -1 : media_.clear(k) ? 1 : -1);
        };
        handlers_[n.exists] = [this, k](std::string_view a) { return exists(k, a); };
        handlers_[n.open] = [this, k](std::string_view a) { return openUpload(k, a); };
        handlers_[n.write] = [this, k](std::string_view a) { return writeUpload(k, a); };
        handlers_[n.close] = [this, k](std::string_view) { return closeUpload(k); };
        handlers_[n.add] = [this, k](std::string_view a) { return addMedia(k, a); };
        handlers_[n.abort] = [this, k](std::string_view a) { return abortUpload(k, a); };
        handlers_[n.path] = [this, k](std::string_view a) { return pathOf(k, a); };
        handlers_[n.data] = [this, k](std::string_view a) { return exportChunk(k, a); };
    }
    handlers_["getdcimthumb"] = [this](std::string_view a) {
        return thumbnail(MediaKind::Photo, a);
    };
    // The song's id comes first; the second number (its album) is not needed.
    handlers_["getmusicthumb"] = [this](std::string_view a) {
        return thumbnail(MediaKind::Music, a.substr(0, a.find(':')));
    };
    handlers_["getExternalStoragePath"] = [](std::string_view) {
        return std::string(kExternalStorage);
    };
}

std::string Session::mediaInfo(MediaKind kind, std::string_view args) {
    auto index = parseInteger(args);
    auto item = index ? media_.at(kind, *index) : std::nullopt;
    if (!item)
        return {};
    RecordWriter out;
    out.item("ID", item->id);
    if (kind == MediaKind::Music)
        out.item("ALBUMID", item->albumId);
    out.item("TILTE", item->title);
    if (kind == MediaKind::Music) {
        out.item("ALBUM", item->album);
        out.item("ARTIST", item->artist);
    }
    if (kind == MediaKind::Video)
        out.item("DISPLAYNAME", std::filesystem::path(item->path).filename().string());
    out.item("PATH", phonePath(item->path));
    if (kind != MediaKind::Photo)
        out.item("DURATION", item->duration);
    out.item("SIZE", item->size);
    out.item("MODIFTIME", item->mtime);
    out.item("CREATETIME", item->ctime);
    out.endRecord();
    return out.text();
}

std::string Session::thumbnail(MediaKind kind, std::string_view args) {
    auto id = parseInteger(args);
    auto item = id ? media_.byId(kind, *id) : std::nullopt;
    return item ? thumbnailFor(media_.fullPath(*item)) : std::string();
}

std::string Session::deleteMedia(MediaKind kind, std::string_view args) {
    auto id = parseInteger(args);
    if (!id || faults_.diskFull)
        return intReply(-1);
    return intReply(media_.remove(kind, *id) ? 1 : 0);
}

std::string Session::exists(MediaKind kind, std::string_view args) {
    // The name comes as it is, not hex-encoded.
    std::string name(args);
    if (!isPlainFileName(name))
        return intReply(-1);
    std::string path = sdcardDir(config_.dir) + "/" + incomingFolder(kind) + "/" + name;
    struct stat st {};
    return intReply(::lstat(path.c_str(), &st) == 0 ? 1 : 0);
}

std::string Session::openUpload(MediaKind kind, std::string_view args) {
    auto name = hexDecode(args);
    if (!name || !isPlainFileName(*name) || faults_.diskFull)
        return intReply(-1);
    Upload& upload = uploads_[kind];
    discard(upload); // a new open replaces an unfinished one
    std::string folder = sdcardDir(config_.dir) + "/" + incomingFolder(kind);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // The bytes land in a hidden file that becomes the real one only when the
    // copy is added, so an aborted or broken copy never leaves a file behind.
    std::string temp = folder + "/.partial-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return intReply(-1);
    upload = Upload{*name, temp, fd, false};
    return intReply(0);
}

std::optional<std::string> Session::writeUpload(MediaKind kind, std::string_view args) {
    auto count = parseInteger(args);
    if (!count || *count < 0 || *count > static_cast<long long>(kMaxPayloadBytes))
        return std::nullopt; // the attached bytes cannot be skipped safely
    std::string bytes;
    if (!reader_.readExact(static_cast<std::size_t>(*count), bytes))
        return std::nullopt;
    auto it = uploads_.find(kind);
    if (it == uploads_.end() || it->second.fd < 0 || it->second.failed)
        return intReply(-1);
    if (faults_.diskFull || !writeAll(it->second.fd, bytes)) {
        it->second.failed = true;
        return intReply(-1);
    }
    return intReply(static_cast<int32_t>(*count));
}

std::string Session::closeUpload(MediaKind kind) {
    auto it = uploads_.find(kind);
    if (it == uploads_.end() || it->second.fd < 0)
        return intReply(-1);
    bool ok = ::close(it->second.fd) == 0;
    it->second.fd = -1;
    it->second.failed = it->second.failed || !ok;
    return intReply(ok ? 0 : -1);
}

int32_t Session::enterFile(const std::string& relativePath) {
    struct stat st {};
    std::string full = sdcardDir(config_.dir) + "/" + relativePath;
    if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    // A file of no media type stays on the phone without joining the index.
    if (!mediaKindOfName(relativePath))
        return 1;
    return media_.indexFile(relativePath) > 0 ? 1 : -1;
}

void Session::discard(Upload& upload) {
    if (upload.fd >= 0)
        ::close(upload.fd);
    if (!upload.tempPath.empty())
        ::unlink(upload.tempPath.c_str());
    upload = Upload{};
}

std::string Session::finishUpload(MediaKind kind, Upload& upload) {
    if (upload.fd >= 0) {
        upload.failed = ::close(upload.fd) != 0 || upload.failed;
        upload.fd = -1;
    }
    if (upload.failed || faults_.diskFull) {
        discard(upload);
        return intReply(-1);
    }
    // Never replace a file already on the phone: take the first free name.
    std::string folder = std::string(incomingFolder(kind)) + "/";
    std::string root = sdcardDir(config_.dir) + "/";
    for (int n = 0; n < 100000; ++n) {
        std::string name = n == 0 ? upload.name : numberedName(upload.name, n);
        if (::link(upload.tempPath.c_str(), (root + folder + name).c_str()) == 0) {
            discard(upload);
            return intReply(enterFile(folder + name));
        }
        if (errno != EEXIST)
            break;
    }
    discard(upload);
    return intReply(-1);
}

std::string Session::addMedia(MediaKind kind, std::string_view args) {
    auto name = hexDecode(args);
    if (!name || !isPlainFileName(*name))
        return intReply(-1);
    auto it = uploads_.find(kind);
    if (it != uploads_.end() && !it->second.tempPath.empty() && it->second.name == *name)
        return finishUpload(kind, it->second);
    // A file pushed with adb into the incoming folder joins the media library.
    return intReply(enterFile(std::string(incomingFolder(kind)) + "/" + *name));
}

std::string Session::abortUpload(MediaKind kind, std::string_view args) {
    auto it = uploads_.find(kind);
    if (it == uploads_.end() || it->second.tempPath.empty())
        return intReply(0);
    discard(it->second);
    return intReply(1);
}

std::string Session::pathOf(MediaKind kind, std::string_view args) {
    auto id = parseInteger(args);
    auto item = id ? media_.byId(kind, *id) : std::nullopt;
    return item ? phonePath(item->path) : std::string();
}

std::string Session::exportChunk(MediaKind kind, std::string_view args) {
    auto parts = splitOn(args, ':');
    if (parts.size() != 3)
        return {};
    auto id = parseInteger(parts[0]), offset = parseInteger(parts[1]),
         count = parseInteger(parts[2]);
    if (!id || !offset || !count || *offset < 0 || *count <= 0)
        return {};
    auto item = media_.byId(kind, *id);
    if (!item)
        return {};
    long long capped = std::min<long long>(*count, static_cast<long long>(kMaxPayloadBytes));
    return readRange(media_.fullPath(*item), *offset, capped);
}

void Session::addAppHandlers() {
    auto count = [this](std::string_view) {
        int32_t n = 0;
        for (const auto& app : listApps(config_.dir))
            n += app.info.package != kAgentPackage;
        return intReply(n);
    };
    handlers_["flushapplist"] = count;
    handlers_["getappcount"] = count;
    handlers_["getappindexinfo"] = [this](std::string_view a) { return appInfo(a); };
}

std::string Session::appInfo(std::string_view args) {
    auto index = parseInteger(args);
    std::vector<InstalledApp> apps;
    for (auto& app : listApps(config_.dir))
        if (app.info.package != kAgentPackage)
            apps.push_back(std::move(app));
    if (!index || *index < 0 || *index >= static_cast<long long>(apps.size()))
        return {};
    const InstalledApp& app = apps[static_cast<std::size_t>(*index)];
    RecordWriter out;
    out.item("PKG", app.info.package);
    out.item("CLS", app.info.className);
    out.item("APPNAME", app.info.label);
    out.item("VERSION", app.info.versionName);
    out.item("VERSIONCODE", app.info.versionCode);
    out.item("SYSTEMAPP", app.system ? 1 : 0);
    out.item("SDCARDAPP", app.sdcard ? 1 : 0);
    out.item("CACHSEZE", 0LL);
    out.item("DATASIZE", 0LL);
    out.item("CODESIZE", app.size);
    out.item("TOTALSIZE", app.size);
    out.item("INSTALLTIME", app.installTime);
    out.item("LASTUPDATETIME", app.installTime);
    out.item("PERMISSIONS", app.info.permissions);
    out.endRecord();
    return out.text();
}

} // namespace lab
