// Unpacking the file relay's archive (cpio or tar, gzip-compressed or not)
// below a folder, in process. Entries that would land outside the folder are
// refused: absolute paths, "..", links pointing out, device files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fruitlink {

struct UnpackLimits {
    uint64_t maxTotalBytes = 8ull << 30;
    uint64_t maxEntries = 200000;
};

struct UnpackResult {
    bool complete = false; // the archive was read to its end without error
    int filesWritten = 0;
    std::vector<std::string> refused; // "name: reason"
    std::string error;                // why the archive was not complete
};

// The entry name as a path relative to the folder ("./" and empty parts
// dropped), or "" when it must be refused; *why says why.
std::string safeEntryPath(const std::string& name, std::string* why);

// True when a symbolic link at linkPath (folder-relative) with this target
// stays inside the folder.
bool linkStaysInside(const std::string& linkPath, const std::string& target);

UnpackResult unpackArchive(const std::string& archivePath, const std::string& folder,
                           const UnpackLimits& limits = {});
// The same for an archive already in memory (used by the fuzz target).
UnpackResult unpackArchiveMemory(const void* data, size_t size, const std::string& folder,
                                 const UnpackLimits& limits = {});

} // namespace fruitlink
