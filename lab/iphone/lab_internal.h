// State shared by the fake usbmuxd and the phone services.
#pragma once

#include "virtual_iphone.h"

#include <cstdint>
#include <string>

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
    std::optional<uint64_t> unplugAt; // AFC byte count that pulls the cable
    bool stall = false;
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
bool buildUserDatabasesArchive(const std::string& root, std::string* out, std::string* error);

} // namespace viphone
