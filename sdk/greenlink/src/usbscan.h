// The cheap USB scan: the getusb tool lists the USB devices with the classes
// of their interfaces, and those that look like an Android phone are counted:
// an ADB interface (USB debugging on), or an MTP/PTP interface on a device of
// a phone maker (debugging still off). adb's own device list is the authority
// for phones adb can use; the scan only notices a phone adb cannot see yet.
#pragma once

#include <string>
#include <vector>

namespace greenlink {

// A phone maker's USB vendor id and the name the program shows for it.
struct PhoneMaker {
    int vendor;
    const char* name;
};
extern const PhoneMaker kPhoneMakers[];
extern const int kPhoneMakerCount;
// The maker's name, or nullptr when the vendor is no phone maker.
const char* phoneMakerName(int vendor);

// One interface's class, subclass and protocol.
struct UsbInterfaceClass {
    int cls = 0;
    int subclass = 0;
    int protocol = 0;
};

// What a USB device shows of an Android phone.
enum class UsbPhoneSign {
    None,         // not a phone (a disk, a hub, a camera, an iPhone, ...)
    Adb,          // the ADB interface: USB debugging is on
    MediaTransfer // only MTP or PTP: a phone with USB debugging off
};
UsbPhoneSign classifyUsbDevice(int vendor, int product,
                               const std::vector<UsbInterfaceClass>& interfaces,
                               bool interfacesKnown);

#pragma pack(push, 1)
struct UsbAndroidDevice {
    int vendor;
    int product;
    const char* name;
    unsigned char flag;
    unsigned char debugging; // 1 when the ADB interface is there
};
#pragma pack(pop)

constexpr int kUsbTableRows = 10;
extern UsbAndroidDevice st_usbInfo_androidDevice[kUsbTableRows];
extern int st_androidDevice_count;

// Records one device that looks like a phone: 0 counted, -1 not (not a
// phone, or the table is full).
int recordUsbDevice(int vendor, int product, const std::vector<UsbInterfaceClass>& interfaces,
                    bool interfacesKnown);
// The older tool's lines carry no interfaces: a device of a phone maker counts.
int checkOurKnownDevice_for_pid(int product, int vendor);
// Reads getusb output: one device per line, decimal "VID:" and "PID:" values
// and, when the tool gives them, "IF:" with blank-separated "cc/ss/pp"
// interface classes in hexadecimal. Lines without both ids are skipped.
void parse_buffer(const char* text);
// Runs getusb and parses its output into the scan table.
void checkDeviceCount_for_lsusb();
// Rebuilds the scan table (a second scan when the first finds nothing);
// returns the count.
int GetAndroidDevicesCount();

// Phones in an "adb devices" text, whatever their state ("device",
// "unauthorized", "no permissions ...", ...); -1 when it is not a listing.
int countListedPhones(const std::string& listing);

// True once after each plug-in (the count rose): the adb server may be
// restarted then, and only when it does not answer. Consumes the allowance.
bool mayRestartAdbServer();
// Tells the restart rule the latest count of phones.
void noteAndroidCount(int count);

} // namespace greenlink
