#include "backup_reader.h"

#include <algorithm>

#include "backup_file.h"
#include "backup_finder.h"
#include "fsutil.h"
#include "log.h"
#include "plist_reader.h"
#include "safe_file.h"

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

std::string BackupReader::tempBase() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_tempPath;
}

int BackupReader::isComplete(int index) {
    BackupDeviceNode* n = node(index);
    if (n == nullptr) {
        reportFailure("IsBackupComplete",
                      {Category::InvalidArgument, "no backup at index " + std::to_string(index)});
        return -1;
    }
    if (n->isComplete == 0) {
        reportFailure("IsBackupComplete",
                      {Category::Incomplete,
                       std::string("backup ") + n->path + " was not finished (Status.plist)"});
        return 0;
    }
    reportSuccess();
    return 1;
}

void BackupReader::clearCurrent() {
    m_haveCurrent = false;
    m_currentUsable = false;
    m_currentError = Error();
    m_current = BackupInfo();
    m_manifest = Manifest();
    m_photos.clear();
    m_videos.clear();
    m_music.clear();
    m_byName.clear();
}

MediaList& BackupReader::media(MediaKind kind) {
    if (kind == MediaKind::Video)
        return m_videos;
    if (kind == MediaKind::Music)
        return m_music;
    return m_photos;
}

MediaList* BackupReader::usableMedia(MediaKind kind) {
    if (!m_currentUsable) {
        Error e = m_haveCurrent ? m_currentError
                                : Error{Category::InvalidArgument, "no backup was scanned"};
        reportFailure("media list", e);
        return nullptr;
    }
    reportSuccess();
    return &media(kind);
}

int BackupReader::failScan(const Error& e) {
    m_currentError = e;
    reportFailure("ScanBackupDeviceByIndex", e);
    return -1;
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
    if (picked == nullptr)
        return failScan({Category::InvalidArgument, "no backup at index " + std::to_string(index)});
    std::string folder = picked->path;
    m_temp.setBase(tempBase());
    m_haveCurrent = true;
    m_current = readBackupInfo(folder);
    if (m_current.problem != Category::None)
        return failScan({m_current.problem, m_current.problemText});
    bool unlocked = false;
    std::string manifestKey;
    {
        std::lock_guard<std::mutex> g(m_keyLock);
        unlocked = m_current.encrypted && m_unlockedFolder == folder && !m_keys.empty();
        manifestKey = m_manifestKey;
    }
    if (m_current.encrypted && !unlocked)
        return failScan(
            {Category::Encrypted, "backup " + folder + " is encrypted (password needed)"});
    if (!m_current.complete)
        logLine("backup %s was not finished; reading what it holds", folder.c_str());
    auto wanted = [](const std::string& domain, const std::string& path) {
        return isDatabaseFile(domain, path) || classifyMedia(domain, path) != MediaKind::None;
    };
    // Only a manifest with a -wal needs the temp folder; the error comes then.
    std::string scratch;
    Error noScratch;
    m_temp.folder(&scratch, &noScratch);
    Error err;
    if (unlocked) {
        // The keys stay put until forgetKeys, which a transfer calls only
        // when it has ended; an unlock on another thread waits meanwhile.
        std::unique_lock<std::mutex> g(m_keyLock);
        if (!m_temp.folder(&scratch, &err) ||
            !readEncryptedManifest(folder, scratch, wanted, m_keys, manifestKey, &m_manifest,
                                   &err)) {
            g.unlock();
            return failScan(err);
        }
    } else if (!readManifest(folder, scratch, wanted, &m_manifest, &err)) {
        return failScan(err);
    }
    m_currentUsable = true;
    size_t missing = 0;
    for (size_t i = 0; i < m_manifest.files.size(); ++i) {
        const ManifestEntry& e = m_manifest.files[i];
        MediaKind kind = classifyMedia(e.domain, e.relativePath);
        if (kind == MediaKind::None)
            continue;
        // A file the manifest lists stays in the list even when the folder
        // lacks it: the caller counts it as missing instead of never hearing
        // of it. A name that is not a file ID is replaced by the one the
        // file would have.
        bool present = false;
        std::string name = locateBackupFile(folder, m_manifest.format, e.fileID, &present);
        if (name.empty())
            name = locateBackupFile(folder, m_manifest.format,
                                    sha1Hex(e.domain + "-" + e.relativePath), &present);
        int64_t size = e.size;
        if (!name.empty())
            m_byName[name] = i;
        if (!present)
            ++missing;
        else if (size < 0 && m_manifest.keys == nullptr)
            entryInside(folder, name, &size);
        media(kind).add(devicePath(e.relativePath), name, std::max<int64_t>(size, 0));
    }
    if (missing > 0)
        logLine("backup %s: %zu media files listed in the manifest are missing", folder.c_str(),
                missing);
    reportSuccess();
    return 0;
}

int BackupReader::flush(DbKind kind, const DbLoader& load) {
    std::string copy;
    std::string dir;
    Error err;
    bool copied = false;
    if (!m_haveCurrent)
        err.fail(Category::InvalidArgument, "no backup was scanned");
    else if (!m_currentUsable)
        err = m_currentError;
    else if (m_temp.folder(&dir, &err)) {
        std::lock_guard<std::mutex> g(m_keyLock);
        copied = copyDatabase(m_current.folder, m_manifest, kind, dir, &copy, &err);
    }
    if (!copied) {
        reportFailure((std::string("loading ") + dbKindName(kind)).c_str(), err);
        // The parser still holds the list of an earlier load (perhaps another
        // phone's): hand it a file that is not there, so its list is emptied.
        if (!dir.empty())
            removeDatabaseCopies(dir, kind);
        copy = joinPath(dir.empty() ? "/nonexistent" : dir, dbPlaces(kind).front().fileName);
        std::vector<char> path(copy.begin(), copy.end());
        path.push_back('\0');
        load(path.data(), 0);
        return -1;
    }
    std::vector<char> path(copy.begin(), copy.end());
    path.push_back('\0');
    int rc = load(path.data(), 0);
    if (rc != 0) {
        reportFailure((std::string("loading ") + dbKindName(kind)).c_str(),
                      {Category::Corrupt,
                       "the parser could not read " + copy + " (" + std::to_string(rc) + ")"});
        return -1;
    }
    reportSuccess();
    return 0;
}

int BackupReader::openFile(int index, const char* relativeName, int64_t* size) {
    BackupDeviceNode* n = node(index);
    Error err;
    int fd = -1;
    if (n == nullptr)
        err.fail(Category::InvalidArgument, "no backup at index " + std::to_string(index));
    else if (relativeName == nullptr)
        err.fail(Category::InvalidArgument, "no file name");
    else if (m_currentUsable && m_manifest.keys != nullptr && m_current.folder == n->path)
        fd = openEncrypted(n->path, relativeName, size, &err);
    else
        fd = openInside(n->path, relativeName, size, &err);
    if (fd < 0) {
        reportFailure("OpenBackupFile", err);
        return -1;
    }
    reportSuccess();
    return fd;
}

int BackupReader::openEncrypted(const std::string& folder, const char* relativeName, int64_t* size,
                                Error* err) {
    const ManifestEntry* e = entryByName(relativeName);
    if (e == nullptr) {
        err->fail(Category::NotFound, std::string("the manifest lists no file at ") + relativeName);
        return -1;
    }
    std::string dir;
    if (!m_temp.folder(&dir, err))
        return -1;
    std::lock_guard<std::mutex> g(m_keyLock);
    if (m_unlockedFolder != folder || m_keys.empty()) {
        err->fail(Category::Encrypted, "backup " + folder + " is locked again");
        return -1;
    }
    return openDecrypted(folder, relativeName, *e, m_keys, dir, size, err);
}

const ManifestEntry* BackupReader::entryByName(const std::string& relativeName) const {
    auto it = m_byName.find(relativeName);
    return it == m_byName.end() ? nullptr : &m_manifest.files[it->second];
}

int BackupReader::unlock(int index, const char* password) {
    BackupDeviceNode* n = node(index);
    Error err;
    if (n == nullptr)
        err.fail(Category::InvalidArgument, "no backup at index " + std::to_string(index));
    else if (password == nullptr)
        err.fail(Category::InvalidArgument, "no password");
    else if (!n->isEncrypted)
        err.fail(Category::InvalidArgument, std::string("backup ") + n->path + " is not encrypted");
    if (err.failed()) {
        reportFailure("UnlockBackup", err);
        return -1;
    }
    std::string folder = n->path;
    std::string keybagBytes;
    std::string manifestKey;
    if (!readBackupKeys(folder, &keybagBytes, &manifestKey, &err)) {
        reportFailure("UnlockBackup", err);
        return -1;
    }
    Keybag bag;
    SecretBytes passwordKey;
    ClassKeys keys;
    std::string pw = password;
    bool ok = parseKeybag(reinterpret_cast<const uint8_t*>(keybagBytes.data()), keybagBytes.size(),
                          &bag, &err) &&
              derivePasswordKey(pw, bag, &passwordKey, &err) && keys.unlock(bag, passwordKey, &err);
    wipeText(&pw);
    passwordKey.wipe();
    if (!ok) {
        reportFailure("UnlockBackup", err);
        return -1;
    }
    {
        std::lock_guard<std::mutex> g(m_keyLock);
        m_unlockedFolder = folder;
        m_keys = std::move(keys);
        m_manifestKey = manifestKey;
    }
    reportSuccess();
    return 0;
}

int BackupReader::isUnlocked(int index) {
    BackupDeviceNode* n = node(index);
    if (n == nullptr) {
        reportFailure("IsBackupUnlocked",
                      {Category::InvalidArgument, "no backup at index " + std::to_string(index)});
        return -1;
    }
    reportSuccess();
    std::lock_guard<std::mutex> g(m_keyLock);
    return m_unlockedFolder == n->path && !m_keys.empty() ? 1 : 0;
}

void BackupReader::forgetKeys() {
    std::lock_guard<std::mutex> g(m_keyLock);
    m_keys.wipe();
    m_unlockedFolder.clear();
    m_manifestKey.clear();
    // The current manifest points at the keys: nothing encrypted is read
    // after this without a new unlock and scan.
    if (m_manifest.keys != nullptr) {
        m_currentUsable = false;
        m_currentError = {Category::Encrypted, "the backup was locked again"};
    }
}

int BackupReader::cleanTemp() {
    Error err;
    if (!m_temp.clean(&err)) {
        reportFailure("CleanTemp", err);
        return -1;
    }
    reportSuccess();
    return 0;
}

} // namespace jukelink
