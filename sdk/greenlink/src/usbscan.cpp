#include "usbscan.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "device_table.h"
#include "greenlink.h"
#include "greenlink_log.h"
#include "runner.h"

namespace greenlink {

// USB vendor ids of the makers of Android phones in use today and of the
// older ones still found in drawers (after the vendor list of the udev rules
// Debian ships for Android phones). Used to name a phone, and to tell a
// phone with USB debugging off from a camera: both show a PTP interface.
const PhoneMaker kPhoneMakers[] = {
    {0x18D1, "Google"},     {0x04E8, "Samsung"}, {0x2717, "Xiaomi"},    {0x2A70, "OnePlus"},
    {0x22D9, "OPPO"},       {0x2D95, "vivo"},    {0x22B8, "Motorola"},  {0x17EF, "Lenovo"},
    {0x2E04, "Nokia"},      {0x0421, "Nokia"},   {0x2AE5, "Fairphone"}, {0x12D1, "Huawei"},
    {0x339B, "Honor"},      {0x0FCE, "Sony"},    {0x1004, "LG"},        {0x0BB4, "HTC"},
    {0x0B05, "ASUS"},       {0x19D2, "ZTE"},     {0x1BBB, "Alcatel"},   {0x2E17, "Essential"},
    {0x04DD, "Sharp"},      {0x0482, "Kyocera"}, {0x0E8D, "MediaTek"},  {0x05C6, "Qualcomm"},
    {0x1782, "Spreadtrum"}, {0x2A45, "Meizu"},   {0x1949, "Amazon"},    {0x0502, "Acer"},
    {0x2A47, "BQ"},         {0x0955, "NVIDIA"},  {0x0E79, "Archos"},
};
const int kPhoneMakerCount = static_cast<int>(sizeof kPhoneMakers / sizeof kPhoneMakers[0]);

const char* phoneMakerName(int vendor) {
    for (const PhoneMaker& maker : kPhoneMakers)
        if (maker.vendor == vendor)
            return maker.name;
    return nullptr;
}

namespace {

constexpr int kAppleVendor = 0x05AC;

bool isAdbInterface(const UsbInterfaceClass& i) {
    return i.cls == 0xFF && i.subclass == 0x42 && i.protocol == 0x01;
}

// Still Image class: PTP, and MTP as most phones announce it.
bool isMediaTransferInterface(const UsbInterfaceClass& i) {
    return i.cls == 0x06 && i.subclass == 0x01 && i.protocol == 0x01;
}

} // namespace

UsbPhoneSign classifyUsbDevice(int vendor, int product,
                               const std::vector<UsbInterfaceClass>& interfaces,
                               bool interfacesKnown) {
    (void)product;
    // Vendor id 0 is no maker; an iPhone shows PTP too, and has its own library.
    if (vendor <= 0 || vendor == kAppleVendor)
        return UsbPhoneSign::None;
    if (!interfacesKnown)
        return phoneMakerName(vendor) ? UsbPhoneSign::MediaTransfer : UsbPhoneSign::None;
    bool media = false;
    for (const UsbInterfaceClass& i : interfaces) {
        if (isAdbInterface(i))
            return UsbPhoneSign::Adb;
        media = media || isMediaTransferInterface(i);
    }
    // A camera or a media player shows PTP as well: only a phone maker's counts.
    return media && phoneMakerName(vendor) ? UsbPhoneSign::MediaTransfer : UsbPhoneSign::None;
}

UsbAndroidDevice st_usbInfo_androidDevice[kUsbTableRows];
int st_androidDevice_count = 0;

int recordUsbDevice(int vendor, int product, const std::vector<UsbInterfaceClass>& interfaces,
                    bool interfacesKnown) {
    const UsbPhoneSign sign = classifyUsbDevice(vendor, product, interfaces, interfacesKnown);
    if (sign == UsbPhoneSign::None || st_androidDevice_count >= kUsbTableRows)
        return -1;
    const char* name = phoneMakerName(vendor);
    st_usbInfo_androidDevice[st_androidDevice_count++] = {
        vendor, product, name ? name : "Android phone", 1,
        static_cast<unsigned char>(sign == UsbPhoneSign::Adb ? 1 : 0)};
    return 0;
}

int checkOurKnownDevice_for_pid(int product, int vendor) {
    return recordUsbDevice(vendor, product, {}, false);
}

namespace {

// Decimal digits after `key` on the line, or -1.
long numberAfter(const std::string& line, const char* key) {
    const size_t at = line.find(key);
    if (at == std::string::npos)
        return -1;
    size_t i = at + std::strlen(key);
    long value = 0;
    size_t digits = 0;
    for (; i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) && digits < 10;
         ++i, ++digits)
        value = value * 10 + (line[i] - '0');
    return digits ? value : -1;
}

// "cc/ss/pp cc/ss/pp ..." after "IF:"; false when the line has no "IF:".
bool interfacesOf(const std::string& line, std::vector<UsbInterfaceClass>* out) {
    const size_t at = line.find("IF:");
    if (at == std::string::npos)
        return false;
    const char* p = line.c_str() + at + 3;
    while (*p) {
        unsigned cls = 0, sub = 0, proto = 0;
        int used = 0;
        if (std::sscanf(p, " %2x/%2x/%2x%n", &cls, &sub, &proto, &used) != 3 || used <= 0)
            break;
        out->push_back({static_cast<int>(cls), static_cast<int>(sub), static_cast<int>(proto)});
        p += used;
    }
    return true;
}

} // namespace

void parse_buffer(const char* text) {
    if (!text)
        return;
    const char* at = text;
    while (*at) {
        const char* end = std::strchr(at, '\n');
        std::string line = end ? std::string(at, end) : std::string(at);
        at = end ? end + 1 : at + line.size();
        if (line.size() > 4096)
            continue;
        const long vendor = numberAfter(line, "VID:");
        const long product = numberAfter(line, "PID:");
        if (vendor < 0 || product < 0 || vendor > 0xFFFF || product > 0xFFFF)
            continue;
        std::vector<UsbInterfaceClass> interfaces;
        const bool known = interfacesOf(line, &interfaces);
        recordUsbDevice(static_cast<int>(vendor), static_cast<int>(product), interfaces, known);
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

int countListedPhones(const std::string& listing) {
    static const std::string header = "List of devices attached";
    const size_t at = listing.find(header);
    if (at == std::string::npos)
        return -1;
    std::vector<std::string> serials;
    size_t pos = listing.find('\n', at);
    while (pos != std::string::npos && pos + 1 < listing.size()) {
        const size_t start = pos + 1;
        pos = listing.find('\n', start);
        const std::string line =
            listing.substr(start, (pos == std::string::npos ? listing.size() : pos) - start);
        const size_t tab = line.find('\t');
        if (tab == 0 || tab == std::string::npos)
            continue;
        const std::string serial = line.substr(0, tab);
        bool seen = false;
        for (const std::string& s : serials)
            seen = seen || s == serial;
        if (!seen)
            serials.push_back(serial);
    }
    return static_cast<int>(serials.size());
}

namespace {

std::atomic<int> g_lastCount{0};
// One restart of the adb server is allowed per plug-in: other programs share
// the server, and restarting it takes their phones and forwards away.
std::atomic<bool> g_restartAllowed{true};

} // namespace

bool mayRestartAdbServer() { return g_restartAllowed.exchange(false); }

void noteAndroidCount(int count) {
    if (count > g_lastCount.exchange(count))
        g_restartAllowed = true;
}

} // namespace greenlink

using namespace greenlink;

int AndroidTSF_CheckConnectDeviceToPC_Count(void) {
    const int usb = GetAndroidDevicesCount();
    // adb's list is the authority for the phones it can use; the USB scan adds
    // those it cannot see yet (debugging off). Listing never restarts the
    // server; it starts one only when none runs.
    std::string out;
    int listed = -1;
    if (runAdbCapture({"devices"}, 6, true, &out).succeeded() && out.size() <= 64 * 1024)
        listed = countListedPhones(out);
    const int count = std::max(usb, listed);
    noteAndroidCount(count);
    WriteLog("CheckConnectDeviceToPC_Count usb = %d, adb = %d, ret = %d\n", usb, listed, count);
    if (count < 1)
        clearStickyIdentities();
    return count;
}
