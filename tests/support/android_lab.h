// The virtual lab for a test of the Android library, which runs in the test's
// own process: the lab's variables become this process's environment (adb
// server port, HOME, tool folder), what the library learnt about earlier
// phones is forgotten, and the library's positions are mapped to lab phones.
#pragma once

#include <string>
#include <vector>

#include "lab_session.h"

class AndroidLab {
  public:
    // `kestrova-lab up --android PHONES EXTRA...`.
    explicit AndroidLab(int phones, const std::vector<std::string>& extra = {});
    ~AndroidLab();
    AndroidLab(const AndroidLab&) = delete;
    AndroidLab& operator=(const AndroidLab&) = delete;

    bool ok() const { return session_.ready(); }
    std::string error() const { return session_.startError().toStdString(); }
    LabSession& session() { return session_; }
    std::string phoneDir(int phone) const { return session_.phoneDir(phone).toStdString(); }
    std::string sdcard(int phone) const { return phoneDir(phone) + "/sdcard"; }

    // Runs a kestrova-lab subcommand on this lab; true when it exited 0.
    bool lab(std::vector<std::string> args, std::string* out = nullptr);
    bool fault(int phone, const std::string& kind, long long value = 0);
    bool clearFaults(int phone) { return fault(phone, "clear"); }
    // adb itself, on the lab's server.
    bool adb(const std::vector<std::string>& args, std::string* out = nullptr);

    // Waits (up to 15 s) until adb lists every lab phone as "device" again,
    // as after a reconnect; true when it does.
    bool waitForPhones();

    // Lists the phones and prepares the agent on positions 0..phones-1.
    bool prepare(int phones);

    // The serial at a library position (after a listing), and the lab's
    // number of that phone (-1 when unknown).
    std::string serialAt(int position) const;
    int phoneAt(int position) const;

    // A fresh scratch folder below the lab folder.
    std::string scratch(const std::string& name) const {
        return session_.scratch(QString::fromStdString(name)).toStdString();
    }

  private:
    LabSession session_;
};

// Forgets what the library learnt about earlier phones (a test process may
// run several labs one after another).
void resetAndroidLibraryState();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// Names in a folder, sorted ("" entries and dot-files included).
std::vector<std::string> listFolder(const std::string& path);
