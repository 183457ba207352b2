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

TEST(UsbScan, CountsKnownPhonesOnly) {
    st_androidDevice_count = 0;
    // Samsung Galaxy S3, an unknown Samsung product, a hub (unknown vendor),
    // and a line without values.
    parse_buffer("VID:1256,PID:26720\nVID:1256;PID:1\r\nVID:7531,PID:2\nhello\nPID:0,VID:0\n");
    ASSERT_EQ(st_androidDevice_count, 2);
    EXPECT_STREQ(st_usbInfo_androidDevice[0].name, "Samsung Galaxy S3");
    EXPECT_EQ(st_usbInfo_androidDevice[0].flag, 1);
    // The vendor alone matches the last row of that vendor.
    EXPECT_STREQ(st_usbInfo_androidDevice[1].name, "Samsung Epic 4G");
}

TEST(UsbScan, AnEleventhPhoneIsNotCounted) {
    st_androidDevice_count = 0;
    std::string text;
    for (int i = 0; i < 11; ++i)
        text += "VID:6353,PID:20001\n"; // 0x18D1 / 0x4E21
    parse_buffer(text.c_str());
    EXPECT_EQ(st_androidDevice_count, 10);
    EXPECT_EQ(checkOurKnownDevice_for_pid(0x4E21, 0x18D1), -1);
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
