// A virtual-phone lab for one test: `kestrova-lab up` in a private folder,
// its exports applied to this process (adb server port, HOME, tool folder),
// and `kestrova-lab down` at the end.
#pragma once

#include <string>
#include <vector>

class LabSession {
  public:
    explicit LabSession(int phones, const std::vector<std::string>& extra = {});
    ~LabSession();
    LabSession(const LabSession&) = delete;
    LabSession& operator=(const LabSession&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    const std::string& dir() const { return dir_; }
    std::string phoneDir(int phone) const;
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
    std::string scratch(const std::string& name) const;

  private:
    std::string dir_, error_;
    bool ok_ = false;
};

// Forgets what the library learnt about earlier phones (a test process may
// run several labs one after another).
void resetAndroidLibraryState();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// Names in a folder, sorted ("" entries and dot-files included).
std::vector<std::string> listFolder(const std::string& path);
