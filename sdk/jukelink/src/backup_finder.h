// Where backups are searched.
#pragma once

#include <string>
#include <vector>

namespace jukelink {

// The standard folders that hold one sub-folder per backup: the macOS layout
// under $HOME, and the same layout under $XDG_DATA_HOME (default
// $HOME/.local/share).
std::vector<std::string> standardBackupRoots();

// Backup folders under the roots (their direct sub-folders) and in the user's
// folder, which may be a backup itself, hold backups, or hold a "Backup"
// folder that does (the MobileSync folder). Each folder appears once, in the
// order found.
std::vector<std::string> findBackupFolders(const std::vector<std::string>& roots,
                                           const std::string& userFolder);

} // namespace jukelink
