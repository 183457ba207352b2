#include "lab_session.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "channel.h"
#include "device_table.h"
#include "greenlink.h"
#include "media_family.h"
#include "runner.h"

using namespace greenlink;

namespace {

std::string labTool() { return std::string(KESTROVA_BIN_DIR) + "/kestrova-lab"; }

// Applies "export NAME=value" lines (value possibly in single or double quotes).
void applyExports(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("export ", 0) != 0)
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string name = line.substr(7, eq - 7), value = line.substr(eq + 1);
        if (value.size() >= 2 && (value[0] == '\'' || value[0] == '"') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        setenv(name.c_str(), value.c_str(), 1);
    }
}

} // namespace

LabSession::LabSession(int phones, const std::vector<std::string>& extra) {
    std::string base = std::string(KESTROVA_TEST_BUILD_DIR) + "/android-lab-XXXXXX";
    if (!mkdtemp(base.data())) {
        error_ = "mkdtemp failed";
        return;
    }
    dir_ = base;
    std::vector<std::string> args = {"up", "--dir", dir_, "--android", std::to_string(phones)};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string out;
    RunOptions options;
    options.capturePath = dir_ + "/up.out";
    options.boundSeconds = 90;
    options.killAtBound = true;
    RunResult r = runProgram(labTool(), args, options);
    out = readFile(options.capturePath);
    if (!r.succeeded() || out.find("ANDROID_ADB_SERVER_PORT") == std::string::npos) {
        error_ = "kestrova-lab up failed: " + out;
        return;
    }
    applyExports(out);
    resetAndroidLibraryState();
    ok_ = true;
}

LabSession::~LabSession() {
    if (!dir_.empty())
        lab({"down"});
    resetAndroidLibraryState();
}

std::string LabSession::phoneDir(int phone) const {
    return dir_ + "/phones/" + std::to_string(phone);
}

bool LabSession::lab(std::vector<std::string> args, std::string* out) {
    args.insert(args.begin() + 1, {"--dir", dir_});
    RunOptions options;
    options.capturePath = newTempFile();
    options.boundSeconds = 60;
    options.killAtBound = true;
    RunResult r = runProgram(labTool(), args, options);
    if (out)
        *out = readFile(options.capturePath);
    std::remove(options.capturePath.c_str());
    return r.succeeded();
}

bool LabSession::fault(int phone, const std::string& kind, long long value) {
    return lab({"fault", "--phone", std::to_string(phone), "--kind", kind, "--value",
                std::to_string(value)});
}

bool LabSession::adb(const std::vector<std::string>& args, std::string* out) {
    std::string text;
    RunResult r = runAdbCapture(args, 60, true, &text);
    if (out)
        *out = text;
    return r.succeeded();
}

bool LabSession::waitForPhones() {
    for (int i = 0; i < 60; ++i) {
        std::string out;
        adb({"devices"}, &out);
        bool all = true;
        for (int n = 0; n < 10; ++n) {
            const char* s = getenv(("KESTROVA_LAB_SERIAL_" + std::to_string(n)).c_str());
            if (s && out.find(std::string(s) + "\tdevice") == std::string::npos)
                all = false;
        }
        if (all)
            return true;
        usleep(250000);
    }
    return false;
}

bool LabSession::prepare(int phones) {
    for (int i = 0; i < phones; ++i) {
        if (AndroidTSF_CheckDeviceDetected(i) != 0)
            return false;
    }
    for (int i = 0; i < phones; ++i)
        if (AndroidTSF_ReadyTodoing(i) != 0)
            return false;
    return true;
}

std::string LabSession::serialAt(int position) const { return deviceSerial(position); }

int LabSession::phoneAt(int position) const {
    std::string serial = deviceSerial(position);
    for (int n = 0; n < 10; ++n) {
        const char* s = getenv(("KESTROVA_LAB_SERIAL_" + std::to_string(n)).c_str());
        if (s && serial == s)
            return n;
    }
    return -1;
}

std::string LabSession::scratch(const std::string& name) const {
    std::string path = dir_ + "/scratch-" + name;
    mkdir(path.c_str(), 0700);
    return path;
}

void resetAndroidLibraryState() {
    clearStickyIdentities();
    {
        std::lock_guard lock(deviceTableMutex());
        clearDeviceSerials();
        st_connectAndroidCount = 0;
    }
    for (int i = 0; i < 2; ++i) {
        AndroidConnectUnInit(i);
        forgetPhoneMediaState(i);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> listFolder(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}
