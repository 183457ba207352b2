// State shared by the fake usbmuxd and the phone services.
#pragma once

#include "link_relay.h"
#include "virtual_iphone.h"

#include <cstdint>
#include <string>
#include <vector>

namespace viphone {

constexpr uint16_t kLockdownPort = 62078;
// Property lists on the wire are small; anything larger is a broken peer.
constexpr uint32_t kMaxPlistFrame = 1u << 20;

struct Lab::Phone {
    uint32_t deviceId = 0;
    PhoneConfig cfg;
    bool attached = false;
    std::string hostId;                    // HostID of the pair record lockdownd accepts
    std::optional<std::string> pairRecord; // XML, as usbmuxd stores it
    std::map<uint16_t, Service> services;  // ports handed out by StartService, one use each
    uint16_t nextPort = 49152;
    std::set<int> tunnels;
    PhoneStats stats;
    std::optional<uint64_t> unplugAt;       // AFC byte count that pulls the cable
    std::optional<uint64_t> backupUnplugAt; // backup byte count that pulls the cable
    bool stall = false;
    int syncLockOwner = -1; // the AFC connection holding the sync lock
    bool backupRunning = false;
    std::shared_ptr<LinkPacer> link; // null: no speed limit
};

struct Lab::Worker {
    std::thread thread;
    std::atomic<bool> done{false};
};

// Sends one usbmuxd message (protocol version 1, plist payload).
bool sendMuxPlist(int fd, uint32_t tag, const std::string& xml);

// Builds the gzip-compressed cpio archive the file relay sends for
// "UserDatabases": every regular file below root/var/mobile/Library and
// root/var/wireless/Library.
// One file a backup of the phone carries.
struct BackupFile {
    std::string domain;       // "HomeDomain", "CameraRollDomain", ...
    std::string relativePath; // "Library/SMS/sms.db", "Media/DCIM/100APPLE/IMG_0001.HEIC"
    std::string localPath;    // where the lab keeps it
    uint64_t size = 0;
    int64_t mtime = 0;
};

// What a backup of this phone carries: its Library (HomeDomain), the older
// phones' call history (WirelessDomain), the camera roll (CameraRollDomain)
// and recordings (MediaDomain). Sorted by domain and path.
std::vector<BackupFile> backupFiles(const PhoneConfig& cfg);
// The used data space the phone reports.
uint64_t usedBytes(const PhoneConfig& cfg);

bool buildUserDatabasesArchive(const std::string& root, std::string* out, std::string* error);

} // namespace viphone
