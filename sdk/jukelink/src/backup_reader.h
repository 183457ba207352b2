// The state behind the exported operations: the listed backups, the user's
// folder, the temp folder, and the backup a transfer reads (the current one)
// with its media lists.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backup_info.h"
#include "backup_nodes.h"
#include "databases.h"
#include "keybag.h"
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

    // Encrypted backups. unlock derives the key from the password (slow by
    // design: seconds to minutes) and keeps the backup's class keys until
    // forgetKeys; 0, or -1 with WrongPassword, Corrupt, ... isUnlocked: 1
    // when the keys of the backup at index are held, 0 when not, -1 when no
    // backup is at index.
    int unlock(int index, const char* password);
    int isUnlocked(int index);
    void forgetKeys();

  private:
    static std::vector<std::string> standardRoots();
    void clearCurrent();
    int failScan(const Error& e);
    std::string tempBase();
    // The entry of the current manifest whose file lies at relativeName.
    const ManifestEntry* entryByName(const std::string& relativeName) const;
    int openEncrypted(const std::string& folder, const char* relativeName, int64_t* size,
                      Error* err);

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
    // Every listed file by the name of its file in the folder ("xx/fileID").
    std::map<std::string, size_t> m_byName;

    // The unlocked backup: its folder, its class keys and its ManifestKey.
    // Set by unlock (perhaps on another thread before the transfer starts).
    std::mutex m_keyLock;
    std::string m_unlockedFolder;
    ClassKeys m_keys;
    std::string m_manifestKey;
};

} // namespace jukelink
