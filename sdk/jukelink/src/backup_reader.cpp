#include "backup_reader.h"

#include <algorithm>

#include "backup_finder.h"
#include "fsutil.h"
#include "log.h"

namespace jukelink {

namespace {
constexpr size_t kMaxPathBytes = 1023;
}

std::vector<std::string> BackupReader::standardRoots() { return standardBackupRoots(); }

BackupReader::BackupReader(RootsFn roots) : m_roots(std::move(roots)) {}

int BackupReader::list() {
    std::string userFolder;
    {
        std::lock_guard<std::mutex> g(m_lock);
        userFolder = m_userFolder;
    }
    std::vector<BackupInfo> found;
    for (const std::string& dir : findBackupFolders(m_roots(), userFolder))
        found.push_back(readBackupInfo(dir));
    std::stable_sort(found.begin(), found.end(), [](const BackupInfo& a, const BackupInfo& b) {
        return a.dateUnix > b.dateUnix;
    });
    std::vector<std::unique_ptr<BackupDeviceNode>> nodes;
    for (const BackupInfo& info : found) {
        auto n = std::make_unique<BackupDeviceNode>();
        if (!fillBackupNode(info, n.get())) {
            logLine("backup folder path too long, skipped: %s", info.folder.c_str());
            continue;
        }
        nodes.push_back(std::move(n));
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_listed = true;
    for (auto& old : m_nodes)
        m_retired.push_back(std::move(old));
    m_nodes = std::move(nodes);
    return static_cast<int>(m_nodes.size());
}

BackupDeviceNode* BackupReader::node(int index) {
    std::lock_guard<std::mutex> g(m_lock);
    if (index < 0 || static_cast<size_t>(index) >= m_nodes.size())
        return nullptr;
    return m_nodes[static_cast<size_t>(index)].get();
}

int BackupReader::setUserFolder(const char* folder) {
    std::string f = folder ? folder : "";
    if (f.size() > kMaxPathBytes) {
        logLine("SetOtherBackupPath: folder longer than %zu bytes refused", kMaxPathBytes);
        return -1;
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_userFolder = f;
    return 0;
}

int BackupReader::setTempPath(const char* folder) {
    std::string f = folder ? folder : "";
    if (f.empty() || f.size() > kMaxPathBytes) {
        logLine("SetTempPath: empty or longer than %zu bytes, refused", kMaxPathBytes);
        return -1;
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_tempPath = f;
    return 0;
}

void BackupReader::clearCurrent() {
    m_haveCurrent = false;
    m_currentUsable = false;
    m_currentError.clear();
    m_current = BackupInfo();
    m_manifest = Manifest();
    m_photos.clear();
    m_videos.clear();
    m_music.clear();
}

MediaList& BackupReader::media(MediaKind kind) {
    if (kind == MediaKind::Video)
        return m_videos;
    if (kind == MediaKind::Music)
        return m_music;
    return m_photos;
}

int BackupReader::scan(int index) {
    clearCurrent();
    bool listed;
    {
        std::lock_guard<std::mutex> g(m_lock);
        listed = m_listed;
    }
    // A transfer started without a listing (the program always lists first).
    if (!listed)
        list();
    // Taken once: a listing on another thread may shorten the list meanwhile,
    // and a node handed out stays readable.
    BackupDeviceNode* picked = node(index);
    if (picked == nullptr) {
        m_currentError = "no backup at index " + std::to_string(index);
        logLine("ScanBackupDeviceByIndex: %s", m_currentError.c_str());
        return -1;
    }
    std::string folder = picked->path;
    std::string tempPath;
    {
        std::lock_guard<std::mutex> g(m_lock);
        tempPath = m_tempPath;
    }
    m_haveCurrent = true;
    m_current = readBackupInfo(folder);
    if (m_current.encrypted) {
        m_currentError = "backup " + folder + " is encrypted; encrypted backups cannot be read";
        logLine("ScanBackupDeviceByIndex: %s", m_currentError.c_str());
        return -1;
    }
    if (!m_current.complete)
        logLine("backup %s was not finished; reading what it holds", folder.c_str());
    auto wanted = [](const std::string& domain, const std::string& path) {
        return isDatabaseFile(domain, path) || classifyMedia(domain, path) != MediaKind::None;
    };
    std::string err;
    if (!readManifest(folder, tempPath, wanted, &m_manifest, &err)) {
        m_currentError = err;
        logLine("ScanBackupDeviceByIndex: %s", err.c_str());
        return -1;
    }
    m_currentUsable = true;
    size_t missing = 0;
    for (const ManifestEntry& e : m_manifest.files) {
        MediaKind kind = classifyMedia(e.domain, e.relativePath);
        if (kind == MediaKind::None)
            continue;
        std::string name = locateBackupFile(folder, m_manifest.format, e.fileID);
        if (name.empty()) {
            ++missing;
            continue;
        }
        int64_t size = e.size >= 0 ? e.size : fileSize(joinPath(folder, name));
        media(kind).add(devicePath(e.relativePath), name, std::max<int64_t>(size, 0));
    }
    if (missing > 0)
        logLine("backup %s: %zu media files listed in the manifest are missing", folder.c_str(),
                missing);
    return 0;
}

int BackupReader::flush(DbKind kind, const DbLoader& load) {
    std::string tempPath;
    {
        std::lock_guard<std::mutex> g(m_lock);
        tempPath = m_tempPath;
    }
    std::string copy;
    std::string err;
    bool copied = false;
    if (!m_haveCurrent)
        err = "no backup was scanned";
    else if (!m_currentUsable)
        err = m_currentError;
    else
        copied = copyDatabase(m_current.folder, m_manifest, kind, tempPath, &copy, &err);
    if (!copied) {
        logLine("loading %s: %s", dbKindName(kind), err.c_str());
        // The parser still holds the list of an earlier load (perhaps another
        // phone's): hand it a file that is not there, so its list is emptied.
        if (!tempPath.empty())
            removeDatabaseCopies(tempPath, kind);
        copy =
            joinPath(tempPath.empty() ? "/nonexistent" : tempPath, dbPlaces(kind).front().fileName);
        std::vector<char> path(copy.begin(), copy.end());
        path.push_back('\0');
        load(path.data(), 0);
        return -1;
    }
    std::vector<char> path(copy.begin(), copy.end());
    path.push_back('\0');
    int rc = load(path.data(), 0);
    if (rc != 0) {
        logLine("loading %s: the parser could not read %s (%d)", dbKindName(kind), copy.c_str(),
                rc);
        return -1;
    }
    return 0;
}

} // namespace jukelink
