// Listing phones with adb and reading a ready phone's properties.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "device_table.h"
#include "greenlink.h"
#include "greenlink_log.h"
#include "greenlink_runner.h"
#include "runner.h"
#include "usbscan.h"

namespace greenlink {
namespace {

// "adb devices" into the table; false when the listing could not be had
// (adb did not answer within its bound, or failed).
bool listDevices(bool restartFirst) {
    if (restartFirst)
        runProcessToEndFunction_bash();
    std::string out;
    RunResult r = runAdbCapture({"devices"}, 6, true, &out);
    // A listing of ten phones is a few hundred bytes; anything huge is not adb.
    const bool answered = r.succeeded() && out.size() <= 64 * 1024;
    std::lock_guard lock(deviceTableMutex());
    clearDeviceSerials();
    if (answered)
        parserDevicesOutInfo(out.c_str());
    return answered;
}

} // namespace

std::map<std::string, std::string> parsePropertyListing(const std::string& listing) {
    std::map<std::string, std::string> values;
    size_t at = 0;
    while (at < listing.size()) {
        size_t end = listing.find('\n', at);
        if (end == std::string::npos)
            end = listing.size();
        std::string line = listing.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t split = line.find("]: [");
        if (line.size() < 6 || line.front() != '[' || line.back() != ']' ||
            split == std::string::npos)
            continue;
        values[line.substr(1, split - 1)] = line.substr(split + 4, line.size() - split - 5);
    }
    return values;
}

void GetDevicedeviceInfo(int index) {
    // One listing of every property costs one adb run instead of one per
    // property.
    std::string listing;
    runAdbCapture({"-s", deviceSerial(index), "shell", "getprop"}, 11, false, &listing);
    std::map<std::string, std::string> props = parsePropertyListing(listing);
    const std::string& version = props["ro.build.version.release"];
    const std::string& model = props["ro.product.model"];
    const std::string& manufacturer = props["ro.product.manufacturer"];
    const std::string& build = props["ro.build.PDA"];
    std::lock_guard lock(deviceTableMutex());
    AndroidDeviceRow& row = st_connectAndroidDeviceSTRArray[index];
    setGetpropField(row.version, version);
    setGetpropField(row.displayVersion, version);
    setGetpropField(row.model, model);
    setGetpropField(row.manufacturer, manufacturer);
    setGetpropField(row.build, build);
}

int myCheckDeviceDetected2(int index, int restart) {
    if (!listDevices(restart == 1))
        return -1;
    if (index < 0 || index >= st_connectAndroidCount || deviceState(index) != "device")
        return -1;
    return 0;
}

} // namespace greenlink

using namespace greenlink;

int AndroidTSF_CheckDeviceDetected(int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_CheckDeviceDetected");
    // The server is restarted only when it does not answer, and at most once
    // per plug-in: other tools on this computer share it.
    if (!listDevices(false) && !(mayRestartAdbServer() && listDevices(true)))
        return -1;
    int count = 0;
    {
        std::lock_guard lock(deviceTableMutex());
        count = st_connectAndroidCount;
    }
    if (deviceindex >= 0 && deviceindex < count && deviceState(deviceindex) == "device") {
        {
            std::lock_guard lock(deviceTableMutex());
            AndroidDeviceRow& row = st_connectAndroidDeviceSTRArray[deviceindex];
            std::memset(row.manufacturer, 0, sizeof row.manufacturer);
            std::memset(row.model, 0, sizeof row.model);
            std::memset(row.version, 0, sizeof row.version);
            std::memset(row.displayVersion, 0, sizeof row.displayVersion);
            std::memset(row.build, 0, sizeof row.build);
        }
        GetDevicedeviceInfo(deviceindex);
        WriteLog("File: %s  %d\n", __FILE__, __LINE__);
        return 0;
    }
    const bool listed = deviceindex >= 0 && deviceindex < count;
    const std::string state = listed ? deviceState(deviceindex) : std::string();
    int ret = listed ? -1 : -5;
    // Today's adb lists a phone whose user has not yet tapped "Allow" as
    // "unauthorized" (older adb said "offline"): both mean the authorisation
    // prompt is waiting on the phone.
    if (state == "unauthorized" || state == "offline")
        ret = -2;
    // The computer may not open the phone: the udev rules for Android phones
    // are missing, or the user is not allowed to use them.
    else if (state.rfind("no permissions", 0) == 0)
        ret = -3;
    WriteLog("CheckDeviceDetected  return ret = %d\n", ret);
    return ret;
}

int AndroidTSF_GetAndroidDevicesInfo(AndroidDeviceInfo* info, int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_GetAndroidDevicesInfo");
    if (!info)
        return -1;
    std::memset(info, 0, sizeof *info);
    if (deviceindex < 0 || deviceindex > 8)
        return -1;
    std::lock_guard lock(deviceTableMutex());
    const AndroidDeviceRow& row = st_connectAndroidDeviceSTRArray[deviceindex];
    std::memcpy(info->manufacturer, row.manufacturer, sizeof row.manufacturer);
    std::memcpy(info->serial, row.serial, sizeof row.serial);
    std::memcpy(info->model, row.model, sizeof row.model);
    std::memcpy(info->version, row.displayVersion, sizeof row.displayVersion);
    info->manufacturer[sizeof info->manufacturer - 1] = '\0';
    info->serial[sizeof info->serial - 1] = '\0';
    info->model[sizeof info->model - 1] = '\0';
    return 0;
}

int AndroidTSF_GetAndroidDevicesScreenCap(char* path, int deviceindex) {
    std::string serial = deviceSerial(deviceindex);
    if (!path || serial.empty())
        return 0;
    std::string out;
    runAdbCapture({"-s", serial, "shell", "/system/bin/screencap", "-p", "/sdcard/screenshot.png"},
                  62, false, &out);
    runAdbCapture({"-s", serial, "pull", "/sdcard/screenshot.png", path}, 62, false, &out);
    return 0;
}

int AndroidTSF_CheckDevicesID(char* serial0, char* serial1) {
    if (!serial0 || !serial1)
        return -1;
    return deviceSerial(0) == serial0 && deviceSerial(1) == serial1 ? 0 : -1;
}

int AndroidTSF_CheckEnableUSBDebug(int) { return 0; }

int AndroidTSF_GetSimCountry(char* out, int size, int deviceindex) {
    if (!out || size < 1)
        return -1;
    out[0] = '\0';
    const std::string serial = deviceSerial(deviceindex);
    if (serial.empty()) {
        WriteLog("GetSimCountry: no phone at %d\n", deviceindex);
        return -1;
    }
    std::string value;
    const RunResult r = runAdbCapture(
        {"-s", serial, "shell", "getprop", "gsm.sim.operator.iso-country"}, 11, false, &value);
    if (!r.succeeded()) {
        WriteLog("GetSimCountry: getprop failed on %s\n", serial.c_str());
        return -1;
    }
    // One short line: "de", "de,fr" or nothing; anything else is not a country.
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    if (value.size() > 64)
        value.clear();
    const size_t n = std::min(value.size(), static_cast<size_t>(size - 1));
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
    return static_cast<int>(n);
}
int AndroidTSF_CheckOpenDebugType(int) { return 0; }

int AndroidTSF_Init(void) {
    // The runners keep a private, fresh folder per process in this user's
    // private folder, so nothing another program instance uses is ever
    // cleared here.
    tempFolder();
    checktempbuffer();
    return 0;
}
