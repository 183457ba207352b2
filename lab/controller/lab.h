#pragma once
// The lab controller's two halves: the daemon that runs a lab (phones, adb
// server, the watcher that keeps phones connected) and the client side of
// the subcommands, which finds a running lab through its folder.
//
// The lab folder DIR holds: lab.pid (the daemon), lab.env (the export lines),
// ready, lab.log, adb.log, home/ (HOME of every adb), tools/ (adb, getusb,
// kestrova1.apk, kestrova2.apk), phones/N/ (phone N's folder: sdcard/,
// store.db, data/, phone.pid, phone.ports, usb-present, phone.log) and, with
// iPhones, iphones/.
#include <string>
#include <vector>

namespace lab {

struct LabOptions {
    std::string dir;
    int android = 2;
    int iphone = 0;
    std::string iphoneContent; // a folder laid out as an iPhone's /var/mobile, for every iPhone
    long long seed = 1;
    std::string scenario = "default";
    std::string agentStub;    // echo | rr: a stand-in on the agent ports
    std::string agent;        // java: the agent's real core on the host JVM; else the lab's agent
    int agentIdleSeconds = 0; // > 0: the agents stop after this long without a connection
    int fillRecords = -1;     // >= 0: fill each phone from the fixture generator
    int ownerPid = 0;         // > 0: the lab stops by itself once this process is gone
    std::string usb;          // per-phone USB identities (applyUsbIdentities)
    std::string simCountry;   // the ISO country every phone's SIM card reports ("de")
};

// Runs a lab until SIGTERM/SIGINT (the daemon's body). Returns the exit code.
int runLabDaemon(const LabOptions& o);

// Starts the daemon and waits until the lab is ready; prints the exports.
int labUp(const LabOptions& o, const std::string& selfPath);
// Stops everything the lab in DIR started.
int labDown(const std::string& dir);

std::string phoneDir(const std::string& labDir, int index);
// One line to a phone's control port; the phone's answer ("ok ...").
std::string phoneControl(const std::string& labDir, int index, const std::string& line);
// The adb serial of phone N ("127.0.0.1:PORT"), empty when it is not running.
std::string phoneSerial(const std::string& labDir, int index);
int phoneCount(const std::string& labDir);

} // namespace lab
