// The cheap USB scan: the getusb tool lists the USB devices, and those whose
// vendor (and product) id is a known Android phone's are counted.
#pragma once

namespace greenlink {

struct MobileVendorID {
    int vendor;
    int product;
    const char* name;
};

#pragma pack(push, 1)
struct UsbAndroidDevice {
    int vendor;
    int product;
    const char* name;
    unsigned char flag;
};
#pragma pack(pop)

constexpr int kUsbTableRows = 10;
extern const MobileVendorID MobileVendorIDs[24];
extern UsbAndroidDevice st_usbInfo_androidDevice[kUsbTableRows];
extern int st_androidDevice_count;

// Records one device when its ids are known: 0 counted, -1 not (unknown, or
// the table is full). An exact vendor and product match wins over a match of
// the vendor alone; among several, the last row wins.
int checkOurKnownDevice_for_pid(int product, int vendor);
// Reads getusb output: one device per line, decimal "VID:" and "PID:" values
// (separators ";", ":" and "," are skipped). Lines without both are skipped.
void parse_buffer(const char* text);
// Runs getusb and parses its output into the scan table.
void checkDeviceCount_for_lsusb();
// Rebuilds the scan table (a second scan when the first finds nothing);
// returns the count.
int GetAndroidDevicesCount();

} // namespace greenlink
