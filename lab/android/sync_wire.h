#pragma once
// Records of the sync service (adb push, pull, ls), all little-endian.
// Pure encoders, no I/O.
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace lab::sync {

uint32_t le32(const char* p);
void putHeader(char* out, const char* id, uint32_t value); // 8 bytes: id + value

struct FileStat {
    uint32_t error = 0;
    uint64_t dev = 0, ino = 0;
    uint32_t mode = 0, nlink = 0, uid = 0, gid = 0;
    uint64_t size = 0;
    int64_t atime = 0, mtime = 0, ctime = 0;
    static FileStat of(const struct stat& st);
    static FileStat failed(int err);
};

std::string statV1(const FileStat& st);                        // "STAT" mode size mtime
std::string statV2(const std::string& id, const FileStat& st); // STA2/LST2, 72 bytes
std::string dentV1(const FileStat& st, const std::string& name);
std::string dentV2(const FileStat& st, const std::string& name);
// The list's end record has the full size of an entry, all zero.
std::string doneV1();
std::string doneV2();
std::string done(); // end of a RECV: "DONE" and a zero length
std::string okay(); // a SEND that arrived whole
std::string failMessage(const std::string& msg);

constexpr size_t kStatV2Size = 72;
constexpr size_t kDentV2Size = 76;

} // namespace lab::sync
