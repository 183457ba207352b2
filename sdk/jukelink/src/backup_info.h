// What the three property lists of a backup folder say about it.
#pragma once

#include <cstdint>
#include <string>

#include <plist/plist.h>

#include "backup_nodes.h"
#include "log.h"

namespace jukelink {

enum ManifestFormat { kFormatUnknown = 0, kFormatDb = 1, kFormatMbdb = 2 };

struct BackupInfo {
    std::string folder;
    std::string deviceName;
    std::string identifier;
    std::string date; // ISO 8601, UTC
    int64_t dateUnix = 0;
    std::string productType;
    std::string productVersion;
    bool encrypted = false;
    bool complete = false;
    int manifestFormat = kFormatUnknown;
    // Why the backup cannot be read safely, None when it can: a property list
    // over the limits, or a link or special file in place of one.
    Category problem = Category::None;
    std::string problemText;
};

// A folder is taken for a backup when it holds Info.plist, Manifest.plist or
// a manifest of files.
bool isBackupFolder(const std::string& dir);

// Reads Info.plist, Manifest.plist and Status.plist of dir. Never fails: what
// is missing or damaged is logged and filled from the other lists, then from
// the folder itself (its name as identifier, its mtime as date). A list over
// the limits, or a link or special file in its place, is not read and sets
// problem: the backup is listed, but cannot be scanned.
BackupInfo readBackupInfo(const std::string& dir);

// The part of readBackupInfo that reads the three parsed lists (any may be
// null or of the wrong shape); the date stays 0 when none of them has one.
BackupInfo describeBackup(const std::string& dir, plist_t info, plist_t manifest, plist_t status);

// The BackupKeyBag and ManifestKey (empty when absent) of an encrypted
// backup's Manifest.plist. False with the reason when the list cannot be read
// or has no keybag.
bool readBackupKeys(const std::string& dir, std::string* keybag, std::string* manifestKey,
                    Error* err);

// Fills a node for callers. False when the folder path does not fit the node
// (a cut path would name another folder).
bool fillBackupNode(const BackupInfo& info, BackupDeviceNode* node);

} // namespace jukelink
