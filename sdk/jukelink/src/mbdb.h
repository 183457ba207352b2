// Parser of Manifest.mbdb, the file list of backups made before iOS 10.
//
// Layout (all numbers big-endian): the six bytes "mbdb" 05 00, then one record
// per file: five strings (domain, path, link target, data hash, encryption
// key), mode u16, inode u64, user u32, group u32, three times u32, size u64,
// protection class u8, property count u8, then that many pairs of strings. A
// string is a u16 length and its bytes; length 0xFFFF means no value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace jukelink {

struct MbdbRecord {
    std::string domain;
    std::string path;
    std::string linkTarget;
    // Encrypted backups: a 4-byte protection class, then the file's wrapped key.
    std::string encryptionKey;
    uint16_t mode = 0;
    uint64_t size = 0;
    uint8_t protectionClass = 0;

    bool isRegularFile() const { return (mode & 0xF000) == 0x8000; }
    bool isDirectory() const { return (mode & 0xF000) == 0x4000; }
    bool isSymlink() const { return (mode & 0xF000) == 0xA000; }
};

struct MbdbResult {
    bool ok = false;
    std::string error;      // why parsing stopped, when !ok
    size_t errorOffset = 0; // byte offset of the record that could not be read
    // Records read before any error, so a cut file still gives its head.
    std::vector<MbdbRecord> records;
};

// A real manifest holds some hundred thousand records; far more means a
// damaged or hostile file.
constexpr size_t kMaxMbdbRecords = 4'000'000;
// Some hundred bytes a record: a real manifest stays far below this, and the
// whole file is held in memory while it is parsed.
constexpr size_t kMaxMbdbBytes = 256u << 20;

MbdbResult parseMbdb(const uint8_t* data, size_t size, size_t maxRecords = kMaxMbdbRecords);

} // namespace jukelink
