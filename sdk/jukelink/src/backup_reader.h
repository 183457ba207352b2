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
#include "temp_area.h"

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

    // 1 finished, 0 not finished, -1 no backup at index.
    int isComplete(int index);

    // Each of these reports its outcome (reportFailure / reportSuccess).
    int scan(int index);
    int flush(DbKind kind, const DbLoader& load);
    MediaList& media(MediaKind kind);
    // The media list of kind, or null when no backup was scanned or the scan
    // failed (reported with the scan's reason).
    MediaList* usableMedia(MediaKind kind);
    // A descriptor of a file of the backup at index (see openInside), or -1.
    int openFile(int index, const char* relativeName, int64_t* size);
    int cleanTemp();

  private:
    static std::vector<std::string> standardRoots();
    void clearCurrent();
    int failScan(const Error& e);
    std::string tempBase();

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
    Error m_currentError;
    TempArea m_temp;
    BackupInfo m_current;
    Manifest m_manifest;
    MediaList m_photos;
    MediaList m_videos;
    MediaList m_music;
};

} // namespace jukelink
