// The device list against the virtual iPhone: attach and detach order,
// values, sessions with and without TLS, pairing refusals.
#include "lab_fixture.h"
#include "trace.h"

#include <fruitlink.h>

using fltest::eventually;

namespace {

class Devices : public fltest::IphoneLabTest {};

std::string str(const char* s) { return s ? s : "(null)"; }

DeviceNode* nodeAt(int index) {
    DeviceNode* n = reinterpret_cast<DeviceNode*>(0x1);
    EXPECT_EQ(IphoneTSF_GetDeviceInfoIndex(&n, index), 0);
    return n;
}

TEST_F(Devices, AttachDetachKeepsOrderAndShiftsIndexes) {
    addAndWait(phoneConfig(1));
    addAndWait(phoneConfig(2));
    ASSERT_EQ(IphoneTSF_ConnectDeviceCount(), 2);
    EXPECT_EQ(GetDeviceCount(), 2);
    DeviceNode* first = nodeAt(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(str(first->info->udid), udid(1));
    EXPECT_EQ(str(first->info->deviceName), "Phone 1");
    EXPECT_EQ(str(nodeAt(1)->info->udid), udid(2));
    EXPECT_EQ(nodeAt(2), nullptr); // index == count: null node, result 0

    // Detaching the first makes the second index 0. The node a reader took
    // before the detach stays readable.
    lab_->detach(0);
    ASSERT_TRUE(eventually([] { return IphoneTSF_ConnectDeviceCount() == 1; }));
    EXPECT_EQ(str(first->info->udid), udid(1));
    EXPECT_EQ(str(nodeAt(0)->info->udid), udid(2));
    EXPECT_EQ(nodeAt(1), nullptr);

    // A returning phone goes to the end.
    lab_->attach(0);
    ASSERT_TRUE(eventually([] { return IphoneTSF_ConnectDeviceCount() == 2; }));
    EXPECT_EQ(str(nodeAt(0)->info->udid), udid(2));
    EXPECT_EQ(str(nodeAt(1)->info->udid), udid(1));

    // Removing a device object that is not listed changes nothing.
    int dummy = 0;
    EXPECT_EQ(Delete_iPhoneDevice(&dummy), 2);
    EXPECT_EQ(IphoneTSF_ConnectDeviceCount(), 2);
    EXPECT_EQ(GetDeviceCount(), 2);
}

TEST_F(Devices, ValuesAndMissingKeys) {
    auto full = phoneConfig(1);
    auto sparse = phoneConfig(2);
    for (const char* k : {"DeviceName", "ProductType", "SerialNumber", "model", "FirmwareVersion"})
        sparse.values.erase(k);
    addAndWait(full);
    addAndWait(sparse);

    iPhoneDeviceInfo* a = nodeAt(0)->info;
    EXPECT_EQ(str(a->productType), "iPhone12,1");
    EXPECT_EQ(str(a->productVersion), "13.5");
    EXPECT_EQ(str(a->deviceClass), "N104AP");
    EXPECT_EQ(str(a->serialNumber), full.values["SerialNumber"]);
    char* fw = GetiPhoneDeviceFirmwareVersion(a->device);
    EXPECT_EQ(str(fw), "iBoot-5540.0.129");
    free(fw);

    iPhoneDeviceInfo* b = nodeAt(1)->info;
    EXPECT_EQ(str(b->udid), udid(2));
    EXPECT_EQ(b->deviceName, nullptr);
    EXPECT_EQ(b->productType, nullptr);
    EXPECT_EQ(b->serialNumber, nullptr);
    EXPECT_EQ(b->deviceClass, nullptr);
    EXPECT_EQ(str(b->productVersion), "13.5");
    EXPECT_EQ(GetiPhoneDeviceFirmwareVersion(b->device), nullptr);
    EXPECT_EQ(GetiPhoneDeviceName(b->device), nullptr);
}

TEST_F(Devices, TlsAndPlainSessionsBothServeValuesAndServices) {
    auto tls = phoneConfig(1);
    tls.sessionTls = true;
    fltest::writeFile(tls.root + "/DCIM/100APPLE/IMG_0001.JPG", "jpeg");
    auto plain = phoneConfig(2);
    fltest::writeFile(plain.root + "/DCIM/100APPLE/IMG_0002.JPG", "jpeg2");
    addAndWait(tls);
    addAndWait(plain);

    EXPECT_EQ(str(nodeAt(0)->info->productType), "iPhone12,1");
    EXPECT_EQ(str(nodeAt(1)->info->productType), "iPhone12,1");
    // A service started in a TLS session keeps working after the session
    // has been stopped and the connection went back to plain text.
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(IphoneTSF_FlushMedia(i), 0);
        MediaFileNode* photos = nullptr;
        EXPECT_EQ(IphoneTSF_GetDICMImage(&photos), 1) << "phone " << i;
    }
    EXPECT_GT(lab_->stats(0).tlsSessions, 0);
    EXPECT_EQ(lab_->stats(0).plainSessions, 0);
    EXPECT_GT(lab_->stats(1).plainSessions, 0);
    EXPECT_EQ(lab_->stats(1).tlsSessions, 0);
}

TEST_F(Devices, PairingRefusalsAreReportedNotHidden) {
    struct Case {
        viphone::PairMode mode;
        const char* words;
    } cases[] = {{viphone::PairMode::Pending, "trust dialog"},
                 {viphone::PairMode::Denied, "denied"},
                 {viphone::PairMode::PasscodeLocked, "passcode"}};
    int n = 0;
    for (const auto& c : cases) {
        addAndWait(phoneConfig(++n, c.mode));
        // Name and id come without a session; the rest needs pairing.
        iPhoneDeviceInfo* info = nodeAt(n - 1)->info;
        EXPECT_EQ(str(info->udid), udid(n));
        EXPECT_EQ(str(info->deviceName), "Phone " + std::to_string(n));
        EXPECT_EQ(info->productType, nullptr);
        std::string folder = dir_ + "/fetch" + std::to_string(n);
        std::filesystem::create_directories(folder);
        EXPECT_EQ(IphoneTSF_GetDeviceSqliteDB(folder.data(), n - 1), -1);
        EXPECT_NE(lastError().find(c.words), std::string::npos) << lastError();
    }
    EXPECT_EQ(lab_->stats(0).pairRecordsSaved, 0);

    // A phone that accepts pairs once; the saved record serves the session.
    addAndWait(phoneConfig(9, viphone::PairMode::Accept));
    EXPECT_EQ(str(nodeAt(3)->info->productType), "iPhone12,1");
    EXPECT_EQ(lab_->stats(3).pairRecordsSaved, 1);
}

} // namespace

// A usbmuxd that goes away and comes back (a daemon restarted, the lab's
// phones started again) is found again at the address the environment gives.
using UsbmuxdRestart = fltest::IphoneLabTest;

TEST_F(UsbmuxdRestart, AnIphoneBehindARestartedUsbmuxdIsListedAgain) {
    addAndWait(phoneConfig(1));
    const std::string address = lab_->muxAddress();
    lab_->stop();
    lab_.reset();
    ASSERT_TRUE(eventually([] { return IphoneTSF_ConnectDeviceCount() == 0; }));
    // Long enough for the library's reconnect to fail at least once.
    ::usleep(1500 * 1000);
    lab_ = std::make_unique<viphone::Lab>(address);
    std::string error;
    ASSERT_TRUE(lab_->start(&error)) << error;
    addAndWait(phoneConfig(2));
    EXPECT_EQ(IphoneTSF_ConnectDeviceCount(), 1);
}
