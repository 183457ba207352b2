// Generator of whole iTunes backups for tests and benchmarks: Info.plist,
// Manifest.plist, Status.plist, a Manifest.db (iOS 10 and later) or a
// Manifest.mbdb (before), the four personal-data databases written by the iOS
// database generators, and camera-roll photos and videos and music with
// distinct bytes. The same options always give the same backup.
#ifndef KESTROVA_BACKUP_FIXTURES_H
#define KESTROVA_BACKUP_FIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "ios_fixtures.h"

namespace backupfix {

enum class Format { Db, Mbdb };

struct Options {
    Format format = Format::Db;
    int iosVersion = 14;
    uint32_t seed = 1;
    int count = 10;      // records of each database
    int mediaCount = -1; // photos, videos and songs, each; -1: min(count, 12)
    // An encrypted backup as phones write it: a keybag unlocked by password,
    // every file encrypted with its own key, and (Manifest.db of iOS 11 and
    // later) the manifest itself encrypted with ManifestKey.
    bool encrypted = false;
    std::string password = "kestrova";
    uint64_t iterations = 1000; // ITER, the SHA-1 step (phones: 10,000)
    // DPIC, the SHA-256 step (phones: 10,000,000); -1: 1000 where the
    // backup's iOS has it (10.2 on, taken as 11 on), none before.
    int64_t dpIterations = -1;
    bool incomplete = false;   // Status.plist SnapshotState other than "finished"
    bool missingFiles = false; // sms.db and every third media file left out
    bool walTail = false;      // databases keep their last records in -wal files
    // The second media file a link to /etc/passwd, the third a FIFO: what a
    // backup folder someone else could write may hold.
    bool unsafeFiles = false;
    // Status.plist of 200,000 nested arrays: the backup cannot be read.
    bool deepPlist = false;
    std::string deviceName; // default "Test iPhone <seed>"
    int64_t dateUnix = 0;   // last backup date; default from the seed
    // When > 0, one more video whose file is sparse and this many bytes long.
    int64_t hugeVideoBytes = 0;
};

// One entry of a manifest. flags: 1 regular file, 2 folder.
struct ManifestFile {
    ManifestFile() = default;
    ManifestFile(std::string d, std::string path, int64_t bytes = 0, int flagBits = 1)
        : domain(std::move(d)), relativePath(std::move(path)), size(bytes), flags(flagBits) {}

    std::string domain;
    std::string relativePath;
    int64_t size = 0;
    int flags = 1;
    int64_t lastModified = 1600000000; // Unix seconds
    // Encrypted backups: class (4 bytes, little-endian) and wrapped key.
    std::string encryptionKey;
    uint32_t protectionClass = 3;
    // Where the archive keeps EncryptionKey's bytes: in the NSMutableData
    // itself, or in an object it refers to (both occur).
    bool keyByReference = true;
};

struct MediaFile {
    int kind = 0; // 4 photo, 5 video, 6 music
    std::string domain, relativePath;
    std::string devicePath; // "/var/mobile/" + relativePath
    std::string backupName; // "xx/fileID" or "fileID"
    int64_t size = 0;
    bool present = true; // false when left out by missingFiles
    bool unsafe = false; // a link or FIFO planted by unsafeFiles
    std::string content; // the file's bytes (plain, also in an encrypted backup)
};

struct Result {
    std::string folder;                 // the backup folder: <parent>/<udid>
    std::string udid, deviceName, date; // date as "YYYY-MM-DDTHH:MM:SSZ"
    std::vector<MediaFile> media;
    std::vector<iosfix::ExpectedMessage> sms;
    std::vector<iosfix::ExpectedContact> contacts;
    std::vector<iosfix::ExpectedCall> calls;
    std::vector<iosfix::ExpectedEvent> events;
    // Every regular file the backup holds, by "domain/relativePath": its
    // plain bytes (the databases as the generators wrote them).
    std::vector<std::pair<std::string, std::string>> files;
};

// Writes a backup into a new folder under parent (created when missing).
bool writeBackup(const std::string& parent, const Options& opt, Result* out = nullptr,
                 std::string* err = nullptr);

// The building blocks, for tests that need a damaged or unusual backup.
std::string fileID(const std::string& domain, const std::string& relativePath);
std::string encodeMbdb(const std::vector<ManifestFile>& files);
std::string encodeFileBlob(const ManifestFile& file); // keyed archive of Manifest.db
// The DPIC a backup of these options gets (0: a keybag without DPSL/DPIC).
uint64_t dpIterationsFor(const Options& opt);
bool writeManifestDb(const std::string& path, const std::vector<ManifestFile>& files,
                     std::string* err = nullptr);
// The same database, as the bytes of its file.
bool manifestDbBytes(const std::vector<ManifestFile>& files, std::string* out,
                     std::string* err = nullptr);

} // namespace backupfix

#endif
