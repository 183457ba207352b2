// Reading adb's device listing, getusb's output and version texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "agent_lifecycle.h"
#include "device_table.h"
#include "usbscan.h"

using namespace greenlink;

namespace {

class DeviceListing : public ::testing::Test {
  protected:
    void SetUp() override {
        clearDeviceSerials();
        clearStickyIdentities();
    }
    void list(const std::string& text) {
        clearDeviceSerials();
        parserDevicesOutInfo(text.c_str());
    }
};

} // namespace

TEST_F(DeviceListing, ReadsSerialsAndStatesWithNoiseAndCrLf) {
    list("* daemon not running; starting now at tcp:5037\r\n"
         "* daemon started successfully\r\n"
         "List of devices attached\r\n"
         "127.0.0.1:40001\tdevice\r\n"
         "R58M12ABC\tunauthorized\r\n"
         "emulator-5554\toffline\r\n"
         "\r\n");
    ASSERT_EQ(st_connectAndroidCount, 3);
    EXPECT_EQ(deviceSerial(0), "127.0.0.1:40001");
    EXPECT_EQ(deviceState(0), "device");
    EXPECT_EQ(deviceState(1), "unauthorized");
    EXPECT_EQ(deviceState(2), "offline");
}

TEST_F(DeviceListing, SkipsDuplicatesButKeepsSerialsThatArePrefixesOfOthers) {
    list("List of devices attached\nABCDEF\tdevice\nABCDEF\tdevice\nABC\tdevice\n");
    ASSERT_EQ(st_connectAndroidCount, 2);
    EXPECT_EQ(deviceSerial(1), "ABC");
}

TEST_F(DeviceListing, NoHeaderOrUnfinishedLineListsNothingMore) {
    list("error: protocol fault\n");
    EXPECT_EQ(st_connectAndroidCount, 0);
    list("List of devices attached\nAAAAA\tdevice\nBBBBB\tdev");
    EXPECT_EQ(st_connectAndroidCount, 1);
}

TEST_F(DeviceListing, FirstTwoPhonesKeepTheirPositionsWhenAdbReordersThem) {
    list("List of devices attached\nPHONE-A\tdevice\nPHONE-B\tdevice\n");
    EXPECT_EQ(deviceSerial(0), "PHONE-A");
    list("List of devices attached\nPHONE-B\tdevice\nPHONE-A\tdevice\n");
    EXPECT_EQ(deviceSerial(0), "PHONE-A");
    EXPECT_EQ(deviceSerial(1), "PHONE-B");
    // Once no phone is on USB the next phones take the positions afresh.
    clearStickyIdentities();
    list("List of devices attached\nPHONE-B\tdevice\nPHONE-A\tdevice\n");
    EXPECT_EQ(deviceSerial(0), "PHONE-B");
}

TEST_F(DeviceListing, TableHoldsTenRows) {
    std::string text = "List of devices attached\n";
    for (int i = 0; i < 12; ++i)
        text += "SERIAL" + std::to_string(i) + "\tdevice\n";
    list(text);
    EXPECT_EQ(st_connectAndroidCount, 10);
}

TEST(GetpropField, TrimsLineEndAndDropsLongValues) {
    char field[kDeviceFieldSize];
    setGetpropField(field, "10\r\n");
    EXPECT_STREQ(field, "10");
    setGetpropField(field, std::string(64, 'x'));
    EXPECT_STREQ(field, "");
}

// A phone's whole listing, as adb passes it on (CR LF from older phones).
TEST(GetpropField, ListingGivesEachPropertyWhole) {
    auto props = parsePropertyListing("[ro.build.PDA]: []\r\n"
                                      "[ro.build.version.release]: [4.4.2]\r\n"
                                      "[ro.product.model]: [Galaxy [S5]: mini]\n"
                                      "[persist.sys.note]: [two\n"
                                      "lines]\n"
                                      "[ro.product.manufacturer]: [samsung]");
    EXPECT_EQ(props["ro.build.version.release"], "4.4.2");
    EXPECT_EQ(props["ro.product.model"], "Galaxy [S5]: mini");
    EXPECT_EQ(props["ro.product.manufacturer"], "samsung");
    EXPECT_EQ(props.count("ro.build.PDA"), 1u);
    EXPECT_EQ(props["ro.build.PDA"], "");
    EXPECT_EQ(props.count("persist.sys.note"), 0u);
    EXPECT_TRUE(parsePropertyListing("").empty());
}

// What getusb lists on a desk: phones with and without USB debugging, and
// devices that show a phone's interfaces or vendor but are no phones.
TEST(UsbScan, CountsPhonesByTheirInterfacesNotByVendorAlone) {
    st_androidDevice_count = 0;
    parse_buffer(
        // Xiaomi, debugging on: ADB beside MTP.
        "VID:10007,PID:65352,IF:06/01/01 ff/42/01\n"
        // OnePlus, debugging off: MTP only.
        "VID:10864,PID:20199,IF:06/01/01\n"
        // A maker nobody listed yet, debugging on: the ADB interface is enough.
        "VID:48879,PID:1,IF:ff/42/01\r\n"
        // A Samsung USB disk (mass storage) and a Samsung keyboard.
        "VID:1256,PID:24577,IF:08/06/50\nVID:1256,PID:1,IF:03/01/01\n"
        // A camera and an iPhone both show PTP.
        "VID:1193,PID:12801,IF:06/01/01\nVID:1452,PID:4776,IF:06/01/01 ff/fe/02\n"
        // A hub, a line without values, a Samsung phone from the older tool.
        "VID:7531,PID:2,IF:09/00/00\nhello\nPID:0,VID:0,IF:\nVID:1256,PID:26720\n");
    ASSERT_EQ(st_androidDevice_count, 4);
    EXPECT_STREQ(st_usbInfo_androidDevice[0].name, "Xiaomi");
    EXPECT_EQ(st_usbInfo_androidDevice[0].debugging, 1);
    EXPECT_STREQ(st_usbInfo_androidDevice[1].name, "OnePlus");
    EXPECT_EQ(st_usbInfo_androidDevice[1].debugging, 0);
    EXPECT_STREQ(st_usbInfo_androidDevice[2].name, "Android phone");
    EXPECT_EQ(st_usbInfo_androidDevice[2].debugging, 1);
    EXPECT_STREQ(st_usbInfo_androidDevice[3].name, "Samsung");
    EXPECT_EQ(st_usbInfo_androidDevice[3].flag, 1);
}

TEST(UsbScan, TodaysMakersAreNamed) {
    for (int vendor : {0x2717, 0x2A70, 0x22D9, 0x2D95, 0x22B8, 0x17EF, 0x2E04, 0x2AE5, 0x18D1})
        EXPECT_NE(phoneMakerName(vendor), nullptr) << std::hex << vendor;
    EXPECT_EQ(phoneMakerName(0x05AC), nullptr); // Apple
    EXPECT_EQ(phoneMakerName(0), nullptr);
}

TEST(UsbScan, AnEleventhPhoneIsNotCounted) {
    st_androidDevice_count = 0;
    std::string text;
    for (int i = 0; i < 11; ++i)
        text += "VID:6353,PID:20001,IF:ff/42/01\n"; // 0x18D1 / 0x4E21
    parse_buffer(text.c_str());
    EXPECT_EQ(st_androidDevice_count, 10);
    EXPECT_EQ(checkOurKnownDevice_for_pid(0x4E21, 0x18D1), -1);
}

// adb's list counts every phone it knows, whatever its state; a text that is
// no listing (adb failed) is told apart from an empty one.
TEST(UsbScan, CountsThePhonesAdbLists) {
    EXPECT_EQ(countListedPhones("List of devices attached\n\n"), 0);
    EXPECT_EQ(countListedPhones("* daemon not running; starting now at tcp:5037\n* daemon started "
                                "successfully\nList of devices attached\nR58M\tdevice\n"
                                "9B0\tunauthorized\r\nQV7\tno permissions (missing udev rules? "
                                "user is in the plugdev group); see [http://x]\nR58M\tdevice\n"),
              3);
    EXPECT_EQ(countListedPhones("error: cannot connect to daemon\n"), -1);
    EXPECT_EQ(countListedPhones(""), -1);
}

// The server may be restarted once after each plug-in, never again until the
// count of phones rises.
TEST(UsbScan, OneAdbRestartPerPlugIn) {
    noteAndroidCount(0);
    mayRestartAdbServer();
    EXPECT_FALSE(mayRestartAdbServer());
    noteAndroidCount(1);
    EXPECT_TRUE(mayRestartAdbServer());
    EXPECT_FALSE(mayRestartAdbServer());
    noteAndroidCount(1);
    EXPECT_FALSE(mayRestartAdbServer());
    noteAndroidCount(0);
    noteAndroidCount(1);
    EXPECT_TRUE(mayRestartAdbServer());
}

TEST(AgentVersion, FourFourAndLaterQualify) {
    EXPECT_EQ(androidVersionCode("4.4.2\n"), 44);
    EXPECT_EQ(androidVersionCode("4.3"), 43);
    EXPECT_EQ(androidVersionCode("4.0.4"), 40);
    EXPECT_EQ(androidVersionCode("10"), 100);
    EXPECT_EQ(androidVersionCode("5.0"), 50);
    EXPECT_EQ(androidVersionCode(""), 0);
    EXPECT_EQ(androidVersionCode(nullptr), 0);
}
