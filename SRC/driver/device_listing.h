// kestrova-transfer --list: the attached phones and the backups found, as
// lines for people or as JSON, each with the text --from and --to take.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

struct ListedPhone {
    std::string type; // "android" or "iphone"
    int position = 0;
    std::string id;    // serial or UDID; empty when the phone gives none yet
    std::string model; // "Google Pixel 7", "iPhone14,2 (Ana's iPhone)"; may be empty
    bool ready = false;
    std::string state; // "ready", "unauthorized", "no_permissions", "waiting_for_trust", ...
    std::string text;  // the state in words, with what to do about it
};

struct ListedBackup {
    int index = 0;
    std::string name;
    std::string date;
    std::string ios;
    bool encrypted = false;
    bool complete = false;
    std::string path;
};

struct DeviceListing {
    std::vector<ListedPhone> phones;
    std::vector<ListedBackup> backups;
};

// Asks the libraries: adb's phones (and those the USB scan sees), the
// iPhones usbmuxd lists (waiting up to settleMs for them to show), and the
// backups in the standard folders and in backupDir.
DeviceListing listDevices(const std::string& backupDir, int settleMs);

// "android:0", "iphone:1", "backup:2": what --from and --to take.
std::string argumentFor(const ListedPhone& phone);
std::string argumentFor(const ListedBackup& backup);

// The state of an Android phone from AndroidTSF_CheckDeviceDetected's answer.
void describeAndroidState(int detected, ListedPhone* phone);
// The state of an iPhone from IphoneTSF_CheckTrusted's answer and, when it
// is not ready, the library's error category.
void describeIphoneState(int trusted, int category, ListedPhone* phone);

std::string listingText(const DeviceListing& listing);
// {"phones":[{"argument":"android:0","type":"android","position":0,"id":"SERIAL",
//   "model":"...","ready":true,"state":"ready","text":"ready"}],
//  "backups":[{"argument":"backup:0","index":0,"name":"...","date":"...","ios":"17.2",
//   "encrypted":false,"complete":true,"path":"..."}]}
std::string listingJson(const DeviceListing& listing);

} // namespace kestrova
