// Small file and text helpers of the backup reader. None of them writes
// anywhere but the destination it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jukelink {

std::string joinPath(const std::string& dir, const std::string& name);
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);
// Size of a regular file, or -1.
int64_t fileSize(const std::string& path);
// Modification time in seconds since 1970, or 0.
int64_t fileMtime(const std::string& path);

// Reads a whole file of at most maxBytes. False (with the reason) when the
// file is missing, unreadable or larger.
bool readFileCapped(const std::string& path, size_t maxBytes, std::string* out, std::string* err);

// Copies src to dst. dst is replaced (an old file or link of that name is
// removed first, never followed) and created with mode 0600.
bool copyFile(const std::string& src, const std::string& dst, std::string* err);

// Copies text into a fixed field of cap bytes, NUL-terminated, cut at a UTF-8
// character boundary when it does not fit.
void copyText(char* dst, size_t cap, const std::string& text);

// Lower-case hexadecimal SHA-1 of text.
std::string sha1Hex(const std::string& text);

// A file: URI for SQLite, with the characters that URIs reserve escaped.
std::string sqliteFileUri(const std::string& path);

} // namespace jukelink
