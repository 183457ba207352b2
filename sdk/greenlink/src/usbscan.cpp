#include "usbscan.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "device_table.h"
#include "greenlink.h"
#include "greenlink_log.h"
#include "runner.h"

namespace greenlink {

const MobileVendorID MobileVendorIDs[24] = {
    {0x04E8, 0x685E, "Samsung M250S"},
    {0x1782, 0x5D04, "Meiling SPHS"},
    {0x0BB4, 0x0C87, "HTC Desire"},
    {0x0BB4, 0x0C8D, "HTC EVO"},
    {0x0BB4, 0x0C96, "HTC MyTouch 4G"},
    {0x0FCE, 0x212E, "SonyEricsson X10i"},
    {0x0BB4, 0x0C01, "HTC Dream / T-Mobile G1 v1.0"},
    {0x0BB4, 0x0C02, "HTC Dream / T-Mobile G1 v1.6"},
    {0x22B8, 0x41DB, "Motorola Droid"},
    {0x0BB4, 0x0FF9, "Motorola Droid X"},
    {0x0BB4, 0x4E11, "Nexus One"},
    {0x0BB4, 0x4E12, "Nexus One"},
    {0x04E8, 0x6640, "Samsung Galaxy I7500"},
    {0x04E8, 0x6860, "Samsung Galaxy S3"},
    {0x04E8, 0x6877, "Samsung Galaxy S GT-I9000"},
    {0x18D1, 0x4E21, "Samsung Nexus S"},
    {0x04E8, 0x681D, "Samsung Epic 4G"},
    {0x0E79, 0x1357, "Archos 5 Internet Tablet"},
    {0x12D1, 0x1038, "Huawei U8150"},
    {0x0502, 0x3203, "Acer Liquid E"},
    {0x0502, 0x3317, "Acer Liquid Metal (S120)"},
    {0x0B05, 0x4E0F, "Asus Eee pad transformer (TF101)"},
    {0x1004, 0x618E, "LG G2x"},
    {0x0000, 0x0000, "End"},
};

UsbAndroidDevice st_usbInfo_androidDevice[kUsbTableRows];
int st_androidDevice_count = 0;

int checkOurKnownDevice_for_pid(int product, int vendor) {
    // Vendor id 0 is no phone maker: the terminator row never matches a device.
    if (vendor == 0)
        return -1;
    const MobileVendorID* match = nullptr;
    for (const MobileVendorID& row : MobileVendorIDs)
        if (row.vendor == vendor && row.product == product)
            match = &row;
    if (!match)
        for (const MobileVendorID& row : MobileVendorIDs)
            if (row.vendor == vendor)
                match = &row;
    if (!match || st_androidDevice_count >= kUsbTableRows)
        return -1;
    st_usbInfo_androidDevice[st_androidDevice_count++] = {vendor, product, match->name, 1};
    return 0;
}

void parse_buffer(const char* text) {
    if (!text)
        return;
    enum { None, Vid, Pid } collecting = None;
    std::string vid, pid;
    for (const char* at = text;; ++at) {
        if (*at == '\n' || *at == '\0') {
            if (!vid.empty() && !pid.empty())
                checkOurKnownDevice_for_pid(std::atoi(pid.c_str()), std::atoi(vid.c_str()));
            vid.clear();
            pid.clear();
            collecting = None;
            if (*at == '\0')
                return;
            continue;
        }
        if (std::strncmp(at, "VID:", 4) == 0) {
            collecting = Vid;
            vid.clear();
            at += 3;
            continue;
        }
        if (std::strncmp(at, "PID:", 4) == 0) {
            collecting = Pid;
            pid.clear();
            at += 3;
            continue;
        }
        if (*at == ';' || *at == ':' || *at == ',' || *at == '\r')
            continue;
        std::string* into = collecting == Vid ? &vid : collecting == Pid ? &pid : nullptr;
        if (into && into->size() < 11)
            into->push_back(*at);
    }
}

void checkDeviceCount_for_lsusb() {
    std::string capture = newTempFile();
    if (capture.empty())
        return;
    WriteLog("tpath = %s\n", capture.c_str());
    RunOptions options;
    options.capturePath = capture;
    options.boundSeconds = 6;
    options.killAtBound = true;
    runProgram(toolFolder() + "getusb", std::vector<std::string>{}, options);
    FILE* f = std::fopen(capture.c_str(), "rb");
    if (!f)
        return;
    // A machine with many USB devices prints more than a kilobyte: read it all
    // (within reason) so no phone is cut off the end.
    std::string text(64 * 1024, '\0');
    size_t n = std::fread(text.data(), 1, text.size() - 1, f);
    std::fclose(f);
    std::remove(capture.c_str());
    text.resize(n);
    parse_buffer(text.c_str());
}

namespace {

// Every count rebuilds the one scan table, and the program counts from more
// than one thread (each window's device thread): scans take turns.
std::mutex& scanTableMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

int GetAndroidDevicesCount() {
    std::lock_guard lock(scanTableMutex());
    st_androidDevice_count = 0;
    std::memset(st_usbInfo_androidDevice, 0, sizeof st_usbInfo_androidDevice);
    checkDeviceCount_for_lsusb();
    if (st_androidDevice_count <= 0)
        checkDeviceCount_for_lsusb();
    return st_androidDevice_count;
}

} // namespace greenlink

using namespace greenlink;

int AndroidTSF_CheckConnectDeviceToPC_Count(void) {
    const int count = GetAndroidDevicesCount();
    int listed = 0;
    {
        // The adb listing of another thread writes it under the table's lock.
        std::lock_guard lock(deviceTableMutex());
        listed = st_connectAndroidCount;
    }
    WriteLog("CheckConnectDeviceToPC_Count st_connectAndroidCount = %d, ret = %d\n", listed, count);
    if (count < 1)
        clearStickyIdentities();
    return count;
}
