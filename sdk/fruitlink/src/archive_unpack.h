// Unpacking the file relay's archive (cpio or tar, gzip-compressed or not)
// below a folder, in process. Entries that would land outside the folder are
// refused: absolute paths, "..", links pointing out, device files, and paths
// that run through a link already there. What is unpacked is private to this
// user whatever modes the archive gives: folders 0700, files 0600.
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
    // Folder-relative paths of what was written (files, links) and of the
    // folders used, parents before children: what removeUnpacked removes.
    std::vector<std::string> written;
    std::vector<std::string> folders;
};

// The entry name as a path relative to the folder ("./" and empty parts
// dropped), or "" when it must be refused; *why says why.
std::string safeEntryPath(const std::string& name, std::string* why);

// True when a symbolic link at linkPath (folder-relative) with this target
// stays inside the folder.
bool linkStaysInside(const std::string& linkPath, const std::string& target);

// Removes what an unpack wrote below folder: the files and links it wrote, then
// the folders it used that are empty by then. Links are removed, never
// followed. False when something could not be removed; *error says what.
bool removeUnpacked(const std::string& folder, const UnpackResult& unpacked, std::string* error);

UnpackResult unpackArchive(const std::string& archivePath, const std::string& folder,
                           const UnpackLimits& limits = {});
// The same for an archive already in memory (used by the fuzz target).
UnpackResult unpackArchiveMemory(const void* data, size_t size, const std::string& folder,
                                 const UnpackLimits& limits = {});

} // namespace fruitlink
