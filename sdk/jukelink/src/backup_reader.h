// The state behind the exported operations: the listed backups, the user's
// folder, the temp folder, and the backup a transfer reads (the current one)
// with its media lists.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backup_info.h"
#include "backup_nodes.h"
#include "databases.h"
#include "manifest.h"
#include "media.h"

namespace jukelink {

// Loads one database file into the parser; the parser's own signature.
using DbLoader = std::function<int(char* path, int version)>;

class BackupReader {
  public:
    using RootsFn = std::function<std::vector<std::string>()>;
    explicit BackupReader(RootsFn roots = standardRoots);

    // Searches again; the number of backups, newest first.
    int list();
    // The node at index of the last listing, or null. Nodes of earlier
    // listings stay readable: a caller on another thread may still hold one.
    BackupDeviceNode* node(int index);
    int setUserFolder(const char* folder);
    int setTempPath(const char* folder);

    int scan(int index);
    int flush(DbKind kind, const DbLoader& load);
    MediaList& media(MediaKind kind);

  private:
    static std::vector<std::string> standardRoots();
    void clearCurrent();

    RootsFn m_roots;
    std::mutex m_lock; // guards the listing and the two folders
    bool m_listed = false;
    std::vector<std::unique_ptr<BackupDeviceNode>> m_nodes;
    std::vector<std::unique_ptr<BackupDeviceNode>> m_retired;
    std::string m_userFolder;
    std::string m_tempPath;

    // Transfer state: used by one thread.
    bool m_haveCurrent = false;
    bool m_currentUsable = false;
    std::string m_currentError;
    BackupInfo m_current;
    Manifest m_manifest;
    MediaList m_photos;
    MediaList m_videos;
    MediaList m_music;
};

} // namespace jukelink
