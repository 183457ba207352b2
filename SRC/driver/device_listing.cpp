#include "device_listing.h"

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "fruitlink.h"
#include "greenlink.h"
#include "jukelink.h"
#include "transfer_cli.h"

namespace kestrova {

namespace {

std::string field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

std::string joined(const std::string& a, const std::string& b) {
    return a.empty() ? b : b.empty() ? a : a + " " + b;
}

void listAndroid(DeviceListing* listing) {
    const int count = AndroidTSF_CheckConnectDeviceToPC_Count();
    for (int i = 0; i < count && i < 9; ++i) {
        ListedPhone phone;
        phone.type = "android";
        phone.position = i;
        describeAndroidState(AndroidTSF_CheckDeviceDetected(i), &phone);
        AndroidDeviceInfo info = {};
        if (AndroidTSF_GetAndroidDevicesInfo(&info, i) == 0) {
            phone.id = field(info.serial, sizeof info.serial);
            std::string model = field(info.model, sizeof info.model);
            const std::string maker = field(info.manufacturer, sizeof info.manufacturer);
            // "samsung SM-G991B", but not "Google Google Pixel 7".
            if (!maker.empty() && model.rfind(maker, 0) != 0)
                model = joined(maker, model);
            phone.model = model;
        }
        listing->phones.push_back(phone);
    }
}

void listIphones(DeviceListing* listing, int settleMs) {
    // The device list fills from usbmuxd's events on the library's thread:
    // wait until it has stayed the same for a moment.
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(settleMs);
    int count = IphoneTSF_ConnectDeviceCount();
    auto changed = Clock::now();
    while (Clock::now() < end &&
           (count == 0 || Clock::now() - changed < std::chrono::milliseconds(500))) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const int now = IphoneTSF_ConnectDeviceCount();
        if (now != count) {
            count = now;
            changed = Clock::now();
        }
    }
    for (int i = 0; i < count; ++i) {
        DeviceNode* node = IphoneTSF_AcquireDeviceNode(i);
        if (!node || !node->info) {
            IphoneTSF_ReleaseDeviceNode(node);
            continue;
        }
        ListedPhone phone;
        phone.type = "iphone";
        phone.position = i;
        const iPhoneDeviceInfo* info = node->info;
        phone.id = info->udid ? info->udid : "";
        std::string model = info->productType ? info->productType : "";
        if (info->deviceName && *info->deviceName)
            model = joined(model, "(" + std::string(info->deviceName) + ")");
        phone.model = model;
        IphoneTSF_ReleaseDeviceNode(node);
        const int trusted = IphoneTSF_CheckTrusted(i);
        describeIphoneState(trusted, trusted == 0 ? 0 : IphoneTSF_GetLastErrorCategory(), &phone);
        listing->phones.push_back(phone);
    }
}

void listBackups(DeviceListing* listing, const std::string& backupDir) {
    if (!backupDir.empty()) {
        std::string folder = backupDir;
        iTunesTSF_SetOtherBackupPath(folder.data());
    }
    const int count = iTunesTSF_BackupCount();
    for (int i = 0; i < count; ++i) {
        BackupDeviceNode* b = nullptr;
        if (iTunesTSF_GetBackupDeviceByIndex(i, &b) != 0 || b == nullptr)
            continue;
        ListedBackup backup;
        backup.index = i;
        backup.name = field(b->deviceName, sizeof b->deviceName);
        backup.date = field(b->date, sizeof b->date);
        backup.ios = field(b->productVersion, sizeof b->productVersion);
        backup.encrypted = b->isEncrypted != 0;
        backup.complete = b->isComplete != 0;
        backup.path = field(b->path, sizeof b->path);
        listing->backups.push_back(backup);
    }
}

} // namespace

void describeAndroidState(int detected, ListedPhone* phone) {
    phone->ready = detected == 0;
    switch (detected) {
    case 0:
        phone->state = "ready";
        phone->text = "ready";
        break;
    case -2:
        phone->state = "unauthorized";
        phone->text = "unauthorized: tap \"Allow\" for USB debugging on the phone";
        break;
    case -3:
        phone->state = "no_permissions";
        phone->text = "no permissions: this computer may not open the phone (install the udev "
                      "rules for Android phones: android-sdk-platform-tools-common)";
        break;
    case -5:
        phone->state = "usb_debugging_off";
        phone->text = "USB debugging is off: turn it on in the developer options";
        break;
    default:
        phone->state = "not_ready";
        phone->text = "not ready: unplug it and plug it in again";
        break;
    }
}

void describeIphoneState(int trusted, int category, ListedPhone* phone) {
    phone->ready = trusted == 0;
    if (phone->ready) {
        phone->state = "ready";
        phone->text = "ready";
        return;
    }
    switch (category) {
    case IPHONE_ERROR_PASSCODE_LOCKED:
        phone->state = "locked";
        phone->text = "locked: unlock the iPhone";
        break;
    case IPHONE_ERROR_TRUST_PENDING:
        phone->state = "waiting_for_trust";
        phone->text = "waiting for Trust: tap \"Trust\" on the iPhone";
        break;
    case IPHONE_ERROR_USER_DENIED:
        phone->state = "not_trusted";
        phone->text = "\"Don't Trust\" was chosen: unplug the iPhone and plug it in again";
        break;
    case IPHONE_ERROR_NOT_PAIRED:
        phone->state = "not_paired";
        phone->text = "not paired: unplug the iPhone, plug it in again and tap \"Trust\"";
        break;
    default:
        phone->state = "not_ready";
        phone->text = "not ready: unplug it and plug it in again";
        break;
    }
}

DeviceListing listDevices(const std::string& backupDir, int settleMs) {
    DeviceListing listing;
    listAndroid(&listing);
    listIphones(&listing, settleMs);
    listBackups(&listing, backupDir);
    return listing;
}

std::string argumentFor(const ListedPhone& phone) {
    return phone.type + ":" + std::to_string(phone.position);
}

std::string argumentFor(const ListedBackup& backup) {
    return "backup:" + std::to_string(backup.index);
}

std::string listingText(const DeviceListing& listing) {
    std::ostringstream out;
    out << "Phones:\n";
    if (listing.phones.empty())
        out << "  none found\n";
    for (const ListedPhone& p : listing.phones)
        out << "  " << argumentFor(p) << "  " << (p.id.empty() ? "-" : p.id) << "  "
            << (p.model.empty() ? "-" : p.model) << "  " << p.text << "\n";
    out << "Backups:\n";
    if (listing.backups.empty())
        out << "  none found\n";
    for (const ListedBackup& b : listing.backups)
        out << "  " << argumentFor(b) << "  " << (b.name.empty() ? "-" : b.name) << "  "
            << (b.date.empty() ? "-" : b.date) << "  iOS " << (b.ios.empty() ? "?" : b.ios) << "  "
            << (b.encrypted ? "encrypted" : "not encrypted") << (b.complete ? "" : "  incomplete")
            << "\n    " << b.path << "\n";
    return out.str();
}

std::string listingJson(const DeviceListing& listing) {
    std::ostringstream out;
    out << "{\"phones\":[";
    bool first = true;
    for (const ListedPhone& p : listing.phones) {
        out << (first ? "" : ",") << "{\"argument\":" << jsonString(argumentFor(p))
            << ",\"type\":" << jsonString(p.type) << ",\"position\":" << p.position
            << ",\"id\":" << jsonString(p.id) << ",\"model\":" << jsonString(p.model)
            << ",\"ready\":" << (p.ready ? "true" : "false") << ",\"state\":" << jsonString(p.state)
            << ",\"text\":" << jsonString(p.text) << "}";
        first = false;
    }
    out << "],\"backups\":[";
    first = true;
    for (const ListedBackup& b : listing.backups) {
        out << (first ? "" : ",") << "{\"argument\":" << jsonString(argumentFor(b))
            << ",\"index\":" << b.index << ",\"name\":" << jsonString(b.name)
            << ",\"date\":" << jsonString(b.date) << ",\"ios\":" << jsonString(b.ios)
            << ",\"encrypted\":" << (b.encrypted ? "true" : "false")
            << ",\"complete\":" << (b.complete ? "true" : "false")
            << ",\"path\":" << jsonString(b.path) << "}";
        first = false;
    }
    out << "]}\n";
    return out.str();
}

} // namespace kestrova
