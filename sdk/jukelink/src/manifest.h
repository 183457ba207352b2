// The file list of a backup, from Manifest.db (iOS 10 and later) or
// Manifest.mbdb (before), in one form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "log.h"

namespace jukelink {

class ClassKeys;

struct ManifestEntry {
    std::string domain;
    std::string relativePath;
    std::string fileID; // SHA-1 of "domain-relativePath", lower-case hex
    int64_t size = -1;  // from the manifest; -1 when it does not say
    // Encrypted backups: a 4-byte little-endian protection class, then the
    // file's wrapped key. Empty in plain backups.
    std::string encryptionKey;
};

struct Manifest {
    int format = 0; // kFormatDb or kFormatMbdb
    // The unlocked keys of an encrypted backup (owned by the reader), or null:
    // the backup's files are then read as they are.
    const ClassKeys* keys = nullptr;
    // Regular files the caller asked for, in manifest order.
    std::vector<ManifestEntry> files;
};

// Which regular files to keep, by domain and path; the sizes of Manifest.db
// are decoded only for those.
using EntryFilter = std::function<bool(const std::string& domain, const std::string& path)>;

// Reads the manifest of the backup folder dir. A Manifest.db that comes with a
// -wal file is copied into scratchDir first, so nothing is created beside the
// backup's own files. A Manifest.mbdb that is cut short gives the records
// before the cut (logged). False with the reason when no file list can be read
// (NotFound, Corrupt, UnsafeFile for a link or special file, TooLarge, Io).
bool readManifest(const std::string& dir, const std::string& scratchDir, const EntryFilter& wanted,
                  Manifest* out, Error* err);

// The same for an encrypted backup whose class keys are unlocked. A
// Manifest.db is decrypted whole with manifestKey (class and wrapped key, as
// Manifest.plist's ManifestKey holds them) into scratchDir, read there and
// removed; without a ManifestKey (iOS 10.0 and 10.1) it is read as it is.
// Every entry carries its file's wrapped key.
bool readEncryptedManifest(const std::string& dir, const std::string& scratchDir,
                           const EntryFilter& wanted, const ClassKeys& keys,
                           const std::string& manifestKey, Manifest* out, Error* err);

// What a Manifest.db `file` blob (a keyed archive of MBFile) says about a file.
struct FileBlobInfo {
    std::optional<int64_t> size;
    // EncryptionKey: an NSMutableData (inline or by reference) whose bytes
    // are the 4-byte protection class and the wrapped key; empty when none.
    std::string encryptionKey;
    std::optional<uint32_t> protectionClass;
};
// Nullopt when the blob is no keyed archive with a root object.
std::optional<FileBlobInfo> decodeFileBlob(const void* blob, size_t size);

// Size recorded in a Manifest.db `file` blob: a keyed archive (binary property
// list) whose root object holds "Size".
std::optional<int64_t> sizeFromFileBlob(const void* blob, size_t size);

// Where a file of the backup lies, relative to the backup folder: "xx/fileID"
// in Manifest.db backups, "fileID" in older ones. Tools that convert backups
// move files between the two, so the other place is tried when nothing is in
// the first. When neither holds anything, the format's own place, with
// *present false. Empty when fileID is not hexadecimal (it reaches a path).
std::string locateBackupFile(const std::string& dir, int format, const std::string& fileID,
                             bool* present = nullptr);

} // namespace jukelink
