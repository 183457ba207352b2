#include "manifest.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include "backup_info.h"
#include "crypto.h"
#include "fsutil.h"
#include "keybag.h"
#include "log.h"
#include "mbdb.h"
#include "plist_reader.h"
#include "safe_file.h"

namespace jukelink {

namespace {

// Manifest.db flags: 1 regular file, 2 folder, 4 link.
constexpr int kFlagFile = 1;
constexpr size_t kMaxFileBlobBytes = 1u << 20;

plist_t arrayItem(plist_t array, uint64_t index) {
    if (array == nullptr || plist_get_node_type(array) != PLIST_ARRAY)
        return nullptr;
    if (index >= plist_array_get_size(array))
        return nullptr;
    return plist_array_get_item(array, static_cast<uint32_t>(index));
}

class Db {
  public:
    ~Db() {
        if (m_db != nullptr)
            sqlite3_close(m_db);
    }
    // immutable: the user's file, opened so that nothing is written beside it;
    // otherwise a private copy, which SQLite may recover in place.
    bool open(const std::string& path, bool immutable, Error* err) {
        std::string uri = sqliteFileUri(path) + (immutable ? "?immutable=1" : "");
        int flags = SQLITE_OPEN_URI | (immutable ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
        int rc = sqlite3_open_v2(uri.c_str(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK)
            return err->fail(Category::Corrupt, "cannot open " + path + ": " + sqlite3_errstr(rc));
        return true;
    }
    sqlite3* get() const { return m_db; }

  private:
    sqlite3* m_db = nullptr;
};

bool readRows(sqlite3* db, const EntryFilter& wanted, Manifest* out, Error* err) {
    sqlite3_stmt* st = nullptr;
    const char* sql = "SELECT fileID, domain, relativePath, flags, file FROM Files";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        return err->fail(Category::Corrupt,
                         std::string("Manifest.db has no readable Files table: ") +
                             sqlite3_errmsg(db));
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        auto text = [st](int col) {
            const unsigned char* t = sqlite3_column_text(st, col);
            return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
        };
        if (sqlite3_column_int(st, 3) != kFlagFile)
            continue;
        ManifestEntry e;
        e.domain = text(1);
        e.relativePath = text(2);
        if (!wanted(e.domain, e.relativePath))
            continue;
        e.fileID = text(0);
        const void* blob = sqlite3_column_blob(st, 4);
        int blobSize = sqlite3_column_bytes(st, 4);
        std::optional<FileBlobInfo> info;
        if (blob != nullptr && blobSize > 0)
            info = decodeFileBlob(blob, static_cast<size_t>(blobSize));
        if (info) {
            e.size = info->size.value_or(-1);
            e.encryptionKey = std::move(info->encryptionKey);
        }
        if (out->keys != nullptr && e.encryptionKey.empty()) {
            // A file of an encrypted backup without its key cannot be read;
            // listing it would hand out its ciphertext as data.
            logLine("Manifest.db: %s %s has no encryption key, left out", e.domain.c_str(),
                    e.relativePath.c_str());
            continue;
        }
        out->files.push_back(std::move(e));
    }
    bool done = rc == SQLITE_DONE;
    if (!done)
        err->fail(Category::Corrupt, std::string("Manifest.db read failed: ") + sqlite3_errmsg(db));
    sqlite3_finalize(st);
    return done;
}

// The name SQLite is given for a file this reader opened itself: the
// descriptor's entry in /proc, so what SQLite reads is the regular file that
// was checked, not whatever the name points to a moment later.
std::string pinnedPath(int fd, const std::string& path) {
    std::string proc = "/proc/self/fd/" + std::to_string(fd);
    return access(proc.c_str(), F_OK) == 0 ? proc : path;
}

bool readManifestDb(const std::string& dir, const std::string& scratchDir,
                    const EntryFilter& wanted, Manifest* out, Error* err) {
    const char* const sidecars[] = {"-wal", "-journal"};
    bool withSidecar = false;
    for (const char* s : sidecars) {
        EntryKind k = entryInside(dir, std::string("Manifest.db") + s);
        if (k == EntryKind::Other)
            return err->fail(Category::UnsafeFile, "Manifest.db" + std::string(s) + " of " + dir +
                                                       " is not a regular file");
        withSidecar = withSidecar || k == EntryKind::Regular;
    }
    if (!withSidecar) {
        // Nothing changes the backup while it is read: immutable keeps SQLite
        // from creating lock or -shm files beside it.
        Fd fd(openInside(dir, "Manifest.db", nullptr, err));
        if (fd.get() < 0)
            return false;
        Db db;
        return db.open(pinnedPath(fd.get(), joinPath(dir, "Manifest.db")), true, err) &&
               readRows(db.get(), wanted, out, err);
    }
    // A -wal holds rows the main file lacks, and a hot -journal must be rolled
    // back before the file is consistent: both need SQLite's own handling,
    // which writes beside the database, so it works on a copy.
    if (scratchDir.empty() || !isDirectory(scratchDir))
        return err->fail(
            Category::InvalidArgument,
            "Manifest.db comes with a -wal or -journal file and no temp folder is set");
    std::string copy = joinPath(scratchDir, "Manifest.db");
    bool ok = copyInside(dir, "Manifest.db", copy, err);
    for (const char* s : sidecars) {
        unlink((copy + s).c_str());
        std::string name = std::string("Manifest.db") + s;
        if (ok && entryInside(dir, name) == EntryKind::Regular)
            ok = copyInside(dir, name, copy + s, err);
    }
    if (ok) {
        Db db;
        ok = db.open(copy, false, err) && readRows(db.get(), wanted, out, err);
    }
    for (const char* s : {"", "-wal", "-journal", "-shm"})
        unlink((copy + s).c_str());
    return ok;
}

bool readManifestMbdb(const std::string& dir, const EntryFilter& wanted, Manifest* out,
                      Error* err) {
    std::string bytes;
    if (!readInside(dir, "Manifest.mbdb", kMaxMbdbBytes, &bytes, err))
        return false;
    MbdbResult r =
        parseMbdb(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), kMaxMbdbRecords);
    if (!r.ok) {
        if (r.records.empty())
            return err->fail(Category::Corrupt, "Manifest.mbdb of " + dir + ": " + r.error);
        logLine("Manifest.mbdb of %s: %s (offset %zu); using the %zu records before it",
                dir.c_str(), r.error.c_str(), r.errorOffset, r.records.size());
    }
    for (MbdbRecord& rec : r.records) {
        if (!rec.isRegularFile() || !wanted(rec.domain, rec.path))
            continue;
        ManifestEntry e;
        e.fileID = sha1Hex(rec.domain + "-" + rec.path);
        e.domain = std::move(rec.domain);
        e.relativePath = std::move(rec.path);
        e.size = rec.size > static_cast<uint64_t>(INT64_MAX) ? -1 : static_cast<int64_t>(rec.size);
        if (out->keys != nullptr) {
            // The record's own class is the authority; its key follows the
            // 4 bytes that repeat the class.
            if (rec.encryptionKey.size() < 4 + 24) {
                logLine("Manifest.mbdb: %s %s has no encryption key, left out", e.domain.c_str(),
                        e.relativePath.c_str());
                continue;
            }
            uint32_t cls = rec.protectionClass;
            e.encryptionKey = {static_cast<char>(cls), 0, 0, 0};
            e.encryptionKey += rec.encryptionKey.substr(4);
        }
        out->files.push_back(std::move(e));
    }
    return true;
}

} // namespace

namespace {

// An archived object: a reference is followed once into $objects (keyed
// archives never point a reference at a reference).
plist_t resolve(plist_t objects, plist_t node) {
    if (node != nullptr && plist_get_node_type(node) == PLIST_UID) {
        uint64_t index = 0;
        plist_get_uid_val(node, &index);
        return arrayItem(objects, index);
    }
    return node;
}

// The bytes of an archived NSData/NSMutableData: raw data, or a dictionary
// whose NS.data holds them (inline or by reference).
std::string archivedData(plist_t objects, plist_t node) {
    node = resolve(objects, node);
    if (node != nullptr && plist_get_node_type(node) == PLIST_DICT)
        node = resolve(objects, plist_dict_get_item(node, "NS.data"));
    if (node == nullptr || plist_get_node_type(node) != PLIST_DATA)
        return {};
    uint64_t len = 0;
    const char* bytes = plist_get_data_ptr(node, &len);
    return bytes != nullptr ? std::string(bytes, len) : std::string();
}

} // namespace

std::optional<FileBlobInfo> decodeFileBlob(const void* blob, size_t size) {
    // A file's record is a keyed archive of a few dozen objects.
    kestrova::PlistLimits limits;
    limits.maxBytes = kMaxFileBlobBytes;
    limits.maxDepth = 16;
    limits.maxNodes = 10'000;
    PlistPtr root = parsePlist(static_cast<const char*>(blob), size, limits);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    plist_t objects = plist_dict_get_item(root.get(), "$objects");
    plist_t top = plistDict(root.get(), "$top");
    plist_t rootRef = top ? plist_dict_get_item(top, "root") : nullptr;
    uint64_t index = 1; // where archivers put the root object
    if (rootRef != nullptr && plist_get_node_type(rootRef) == PLIST_UID)
        plist_get_uid_val(rootRef, &index);
    plist_t file = arrayItem(objects, index);
    if (file == nullptr || plist_get_node_type(file) != PLIST_DICT)
        return std::nullopt;
    FileBlobInfo info;
    info.size = plistInt(file, "Size");
    if (info.size && *info.size < 0)
        info.size.reset();
    std::optional<int64_t> cls = plistInt(file, "ProtectionClass");
    if (cls && *cls >= 0 && *cls <= UINT32_MAX)
        info.protectionClass = static_cast<uint32_t>(*cls);
    info.encryptionKey = archivedData(objects, plist_dict_get_item(file, "EncryptionKey"));
    return info;
}

std::optional<int64_t> sizeFromFileBlob(const void* blob, size_t size) {
    std::optional<FileBlobInfo> info = decodeFileBlob(blob, size);
    return info ? info->size : std::nullopt;
}

std::string locateBackupFile(const std::string& dir, int format, const std::string& fileID,
                             bool* present) {
    if (present != nullptr)
        *present = false;
    // The name comes from the manifest: only hexadecimal digits may reach a path.
    if (fileID.size() < 3 || fileID.size() > 64 ||
        fileID.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return {};
    std::string nested = fileID.substr(0, 2) + "/" + fileID;
    const std::string& first = format == kFormatMbdb ? fileID : nested;
    const std::string& second = format == kFormatMbdb ? nested : fileID;
    // A link or special file counts as there: opening it is refused, with
    // the reason, rather than the file being called missing.
    const std::string* found = entryInside(dir, first) != EntryKind::Missing    ? &first
                               : entryInside(dir, second) != EntryKind::Missing ? &second
                                                                                : nullptr;
    if (present != nullptr)
        *present = found != nullptr;
    return found != nullptr ? *found : first;
}

bool readEncryptedManifest(const std::string& dir, const std::string& scratchDir,
                           const EntryFilter& wanted, const ClassKeys& keys,
                           const std::string& manifestKey, Manifest* out, Error* err) {
    out->files.clear();
    out->keys = &keys;
    if (entryInside(dir, "Manifest.mbdb") != EntryKind::Missing &&
        entryInside(dir, "Manifest.db") == EntryKind::Missing) {
        out->format = kFormatMbdb;
        return readManifestMbdb(dir, wanted, out, err);
    }
    if (entryInside(dir, "Manifest.db") == EntryKind::Missing) {
        out->format = kFormatUnknown;
        return err->fail(Category::NotFound, "no Manifest.db or Manifest.mbdb in " + dir);
    }
    out->format = kFormatDb;
    if (manifestKey.empty())
        return readManifestDb(dir, scratchDir, wanted, out, err);
    if (scratchDir.empty() || !isDirectory(scratchDir))
        return err->fail(Category::InvalidArgument,
                         "an encrypted Manifest.db needs a temp folder to be decrypted into");
    SecretBytes key;
    if (!keys.fileKey(manifestKey, &key, err))
        return false;
    std::string copy = joinPath(scratchDir, "Manifest.db");
    for (const char* s : {"", "-wal", "-journal", "-shm"})
        unlink((copy + s).c_str());
    bool ok = false;
    {
        Fd in(openInside(dir, "Manifest.db", nullptr, err));
        Fd outFd(in.get() < 0 ? -1
                              : open(copy.c_str(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (in.get() >= 0 && outFd.get() < 0)
            err->fail(Category::Io, "cannot create " + copy + ": " + strerror(errno));
        else if (in.get() >= 0)
            ok = decryptFileFd(in.get(), outFd.get(), key, -1, joinPath(dir, "Manifest.db"), err) &&
                 close(outFd.release()) == 0;
    }
    if (ok) {
        Db db;
        ok = db.open(copy, false, err) && readRows(db.get(), wanted, out, err);
        if (!ok && err->category == Category::Corrupt)
            err->text = "Manifest.db of " + dir + " does not decrypt to a database: " + err->text;
    }
    for (const char* s : {"", "-wal", "-journal", "-shm"})
        unlink((copy + s).c_str());
    return ok;
}

bool readManifest(const std::string& dir, const std::string& scratchDir, const EntryFilter& wanted,
                  Manifest* out, Error* err) {
    out->keys = nullptr;
    out->files.clear();
    if (entryInside(dir, "Manifest.db") != EntryKind::Missing) {
        out->format = kFormatDb;
        return readManifestDb(dir, scratchDir, wanted, out, err);
    }
    if (entryInside(dir, "Manifest.mbdb") != EntryKind::Missing) {
        out->format = kFormatMbdb;
        return readManifestMbdb(dir, wanted, out, err);
    }
    out->format = kFormatUnknown;
    return err->fail(Category::NotFound, "no Manifest.db or Manifest.mbdb in " + dir);
}

} // namespace jukelink
