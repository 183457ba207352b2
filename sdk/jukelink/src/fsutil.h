// Small file and text helpers of the backup reader. None of them writes
// anywhere but the destination it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "log.h"

namespace jukelink {

// Owns a file descriptor.
class Fd {
  public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

  private:
    int m_fd;
};

std::string joinPath(const std::string& dir, const std::string& name);
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);
// Size of a regular file, or -1.
int64_t fileSize(const std::string& path);
// Modification time in seconds since 1970, or 0.
int64_t fileMtime(const std::string& path);

// Reads what is left of an open file, at most maxBytes (TooLarge beyond);
// name is for the reason only.
bool readFdCapped(int fd, size_t maxBytes, const std::string& name, std::string* out, Error* err);

// Copies what is left of an open file to dst. dst is replaced (an old file or
// link of that name is removed first, never followed) and created with mode
// 0600; a failed copy leaves no dst.
bool copyFromFd(int in, const std::string& name, const std::string& dst, Error* err);

// Copies text into a fixed field of cap bytes, NUL-terminated, cut at a UTF-8
// character boundary when it does not fit.
void copyText(char* dst, size_t cap, const std::string& text);

// Lower-case hexadecimal SHA-1 of text.
std::string sha1Hex(const std::string& text);

// A file: URI for SQLite, with the characters that URIs reserve escaped.
std::string sqliteFileUri(const std::string& path);

} // namespace jukelink
