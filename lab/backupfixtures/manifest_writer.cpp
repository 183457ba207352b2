// The file lists of a backup: Manifest.db rows with their keyed-archive
// blobs, and Manifest.mbdb records.
#include <openssl/evp.h>
#include <plist/plist.h>
#include <sqlite3.h>
#include <unistd.h>
#include <vector>

#include "backup_fixtures.h"
#include "common/keyed_archive.h"

namespace backupfix {

std::string fileID(const std::string& domain, const std::string& relativePath) {
    std::string text = domain + "-" + relativePath;
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(text.data(), text.size(), md, &len, EVP_sha1(), nullptr);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < len; ++i) {
        hex += digits[md[i] >> 4];
        hex += digits[md[i] & 15];
    }
    return hex;
}

namespace {

void putNumber(std::string* out, uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putString(std::string* out, const std::string& s, bool present = true) {
    if (!present) {
        putNumber(out, 0xFFFF, 2);
        return;
    }
    putNumber(out, s.size(), 2);
    out->append(s);
}

} // namespace

std::string encodeMbdb(const std::vector<ManifestFile>& files) {
    std::string out("mbdb\x05\x00", 6);
    uint64_t inode = 1000;
    for (const ManifestFile& f : files) {
        bool file = f.flags == 1;
        putString(&out, f.domain);
        putString(&out, f.relativePath);
        putString(&out, "", false);                                         // link target
        putString(&out, file ? std::string(20, '\x5a') : "", file);         // data hash
        putString(&out, f.encryptionKey, file && !f.encryptionKey.empty()); // encryption key
        putNumber(&out, file ? 0x81A4 : 0x41ED, 2);
        putNumber(&out, inode++, 8);
        putNumber(&out, 501, 4);
        putNumber(&out, 501, 4);
        for (int t = 0; t < 3; ++t)
            putNumber(&out, 1500000000u + static_cast<uint32_t>(inode), 4);
        putNumber(&out, file ? static_cast<uint64_t>(f.size) : 0, 8);
        putNumber(&out, file ? (f.encryptionKey.empty() ? 4 : f.protectionClass) : 0, 1);
        // Files of the camera roll carry one extended attribute, as on phones.
        bool xattr = file && f.domain == "CameraRollDomain";
        putNumber(&out, xattr ? 1 : 0, 1);
        if (xattr) {
            putString(&out, "com.apple.assetsd.UUID");
            putString(&out, std::string("\x01\x02\x03\x04\xff\xfe", 6));
        }
    }
    return out;
}

std::string encodeFileBlob(const ManifestFile& f) {
    // Objects: the file (UID 1), its path (2), its class (3); with a key, the
    // NSMutableData (4), its class (5) and, by reference, its bytes (6).
    plist_t file = plist_new_dict();
    plist_dict_set_item(file, "$class", plist_new_uid(3));
    plist_dict_set_item(file, "Birth", plist_new_uint(1600000000));
    plist_dict_set_item(file, "Flags", plist_new_uint(0));
    plist_dict_set_item(file, "GroupID", plist_new_uint(501));
    plist_dict_set_item(file, "InodeNumber", plist_new_uint(123456));
    plist_dict_set_item(file, "LastModified",
                        plist_new_uint(static_cast<uint64_t>(f.lastModified)));
    plist_dict_set_item(file, "LastStatusChange", plist_new_uint(1600000000));
    plist_dict_set_item(file, "Mode", plist_new_uint(f.flags == 1 ? 0x81A4 : 0x41ED));
    plist_dict_set_item(file, "ProtectionClass", plist_new_uint(f.protectionClass));
    plist_dict_set_item(file, "RelativePath", plist_new_uid(2));
    plist_dict_set_item(file, "Size", plist_new_uint(static_cast<uint64_t>(f.size)));
    plist_dict_set_item(file, "UserID", plist_new_uint(501));
    std::vector<plist_t> objects{file, plist_new_string(f.relativePath.c_str()),
                                 lab::archiveClass("MBFile", {"MBFile", "NSObject"})};
    if (!f.encryptionKey.empty()) {
        plist_dict_set_item(file, "EncryptionKey", plist_new_uid(4));
        plist_t data = plist_new_dict();
        plist_dict_set_item(data, "$class", plist_new_uid(5));
        plist_t bytes = plist_new_data(f.encryptionKey.data(), f.encryptionKey.size());
        plist_dict_set_item(data, "NS.data", f.keyByReference ? plist_new_uid(6) : bytes);
        objects.push_back(data);
        objects.push_back(
            lab::archiveClass("NSMutableData", {"NSMutableData", "NSData", "NSObject"}));
        if (f.keyByReference)
            objects.push_back(bytes);
    }
    return lab::keyedArchive(objects);
}

namespace {

// Fills the freshly opened db with the manifest's tables and rows.
bool fillManifest(sqlite3* db, const std::vector<ManifestFile>& files, std::string* err) {
    auto fail = [&](const char* what) {
        if (err)
            *err = std::string(what) + ": " + sqlite3_errmsg(db);
        return false;
    };
    // A manifest is written whole into a fresh file: no journal and no
    // syncs (a virtual phone writes one for every backup it sends).
    const char* schema =
        "PRAGMA journal_mode=OFF;"
        "PRAGMA synchronous=OFF;"
        "BEGIN;"
        "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
        "flags INTEGER, file BLOB);"
        "CREATE INDEX FilesDomainIdx ON Files(domain);"
        "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
        "CREATE INDEX FilesFlagsIdx ON Files(flags);"
        "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);";
    if (sqlite3_exec(db, schema, nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail("cannot create the Files table");
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO Files VALUES (?,?,?,?,?)", -1, &st, nullptr) !=
        SQLITE_OK)
        return fail("cannot prepare");
    for (const ManifestFile& f : files) {
        std::string blob = encodeFileBlob(f);
        std::string id = fileID(f.domain, f.relativePath);
        sqlite3_bind_text(st, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, f.domain.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, f.relativePath.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 4, f.flags);
        sqlite3_bind_blob(st, 5, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) != SQLITE_DONE) {
            sqlite3_finalize(st);
            return fail("cannot insert");
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    if (sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail("cannot commit");
    return true;
}

} // namespace

bool writeManifestDb(const std::string& path, const std::vector<ManifestFile>& files,
                     std::string* err) {
    unlink(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        if (err)
            *err = std::string("cannot create Manifest.db: ") +
                   (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return false;
    }
    const bool ok = fillManifest(db, files, err);
    sqlite3_close(db);
    return ok;
}

bool manifestDbBytes(const std::vector<ManifestFile>& files, std::string* out, std::string* err) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(":memory:", &db) == SQLITE_OK && fillManifest(db, files, err);
    if (ok) {
        sqlite3_int64 size = 0;
        unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0);
        ok = bytes != nullptr;
        if (ok)
            out->assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
        else if (err)
            *err = "cannot serialise Manifest.db";
        sqlite3_free(bytes);
    } else if (err && err->empty()) {
        *err = "cannot create Manifest.db in memory";
    }
    sqlite3_close(db);
    return ok;
}

} // namespace backupfix
