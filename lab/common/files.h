#pragma once
// File helpers for the lab's state files.
#include <optional>
#include <string>

namespace lab {

std::optional<std::string> readFile(const std::string& path, size_t maxLen = 1 << 20);
// Writes through a temporary name and renames, so readers never see half a file.
bool writeFileAtomic(const std::string& path, const std::string& content);
bool makeDirs(const std::string& path, int mode = 0755);
// Folder of the running executable, with a trailing '/'.
std::string exeFolder();

} // namespace lab
