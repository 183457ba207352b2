#include "android_lab.h"

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

QStringList upArguments(int phones, const std::vector<std::string>& extra) {
    QStringList args{"--android", QString::number(phones)};
    for (const std::string& a : extra)
        args << QString::fromStdString(a);
    return args;
}

} // namespace

AndroidLab::AndroidLab(int phones, const std::vector<std::string>& extra)
    : session_(upArguments(phones, extra)) {
    if (session_.ready())
        session_.applyToProcess();
    resetAndroidLibraryState();
}

AndroidLab::~AndroidLab() { resetAndroidLibraryState(); }

bool AndroidLab::lab(std::vector<std::string> args, std::string* out) {
    if (args.empty())
        return false;
    QStringList rest;
    for (size_t i = 1; i < args.size(); ++i)
        rest << QString::fromStdString(args[i]);
    const ProgramRun r = session_.lab(QString::fromStdString(args[0]), rest);
    if (out)
        *out = r.out.toStdString();
    return r.exitCode == 0;
}

bool AndroidLab::fault(int phone, const std::string& kind, long long value) {
    return session_.fault(phone, QString::fromStdString(kind), value);
}

bool AndroidLab::adb(const std::vector<std::string>& args, std::string* out) {
    std::string text;
    RunResult r = runAdbCapture(args, 60, true, &text);
    if (out)
        *out = text;
    return r.succeeded();
}

bool AndroidLab::waitForPhones() {
    for (int i = 0; i < 60; ++i) {
        std::string out;
        adb({"devices"}, &out);
        bool all = true;
        for (int n = 0; n < 10; ++n) {
            const std::string s = session_.serial(n).toStdString();
            if (!s.empty() && out.find(s + "\tdevice") == std::string::npos)
                all = false;
        }
        if (all)
            return true;
        usleep(250000);
    }
    return false;
}

bool AndroidLab::prepare(int phones) {
    for (int i = 0; i < phones; ++i) {
        if (AndroidTSF_CheckDeviceDetected(i) != 0)
            return false;
    }
    for (int i = 0; i < phones; ++i)
        if (AndroidTSF_ReadyTodoing(i) != 0)
            return false;
    return true;
}

std::string AndroidLab::serialAt(int position) const { return deviceSerial(position); }

int AndroidLab::phoneAt(int position) const {
    const std::string serial = deviceSerial(position);
    for (int n = 0; n < 10; ++n) {
        if (!serial.empty() && session_.serial(n).toStdString() == serial)
            return n;
    }
    return -1;
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
