// The device list against the virtual iPhone: attach and detach order,
// values, sessions with and without TLS, pairing refusals.
#include "device_list.h"
#include "lab_fixture.h"
#include "mobile_device_access.h"
#include "trace.h"

#include <atomic>
#include <fruitlink.h>
#include <future>
#include <set>
#include <thread>
#include <usbmuxd.h>

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
    // Kept across the detach below: an acquired node outlives its device.
    DeviceNode* first = IphoneTSF_AcquireDeviceNode(0);
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
    EXPECT_EQ(IphoneTSF_ReleaseDeviceNode(first), 0);
    EXPECT_EQ(IphoneTSF_ReleaseDeviceNode(first), -1); // one release per acquire
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
        int category;
    } cases[] = {{viphone::PairMode::Pending, "trust dialog", IPHONE_ERROR_TRUST_PENDING},
                 {viphone::PairMode::Denied, "denied", IPHONE_ERROR_USER_DENIED},
                 {viphone::PairMode::PasscodeLocked, "passcode", IPHONE_ERROR_PASSCODE_LOCKED}};
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
        EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), c.category) << lastError();
        // The media scan needs the same trust and says so the same way.
        EXPECT_EQ(IphoneTSF_FlushMedia(n - 1), -1);
        EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), c.category) << lastError();
    }
    EXPECT_EQ(lab_->stats(0).pairRecordsSaved, 0);

    // A phone that accepts pairs once; the saved record serves the session.
    addAndWait(phoneConfig(9, viphone::PairMode::Accept));
    EXPECT_EQ(str(nodeAt(3)->info->productType), "iPhone12,1");
    EXPECT_EQ(lab_->stats(3).pairRecordsSaved, 1);
}

TEST_F(Devices, NameAndVersionAreReadAgainOnceTheUserTrustsTheComputer) {
    fruitlink::MobileDeviceAccess::singleton().setTrustRetryInterval(
        std::chrono::milliseconds(100));
    auto cfg = phoneConfig(1, viphone::PairMode::Pending);
    cfg.untrustedName = "iPhone"; // what the phone says before it is trusted
    addAndWait(cfg);
    DeviceNode* before = IphoneTSF_AcquireDeviceNode(0);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(str(before->info->deviceName), "iPhone");
    EXPECT_EQ(before->info->productVersion, nullptr);
    EXPECT_EQ(fruitlink::MobileDeviceAccess::singleton().awaitingTrust(), 1);

    lab_->setPairMode(0, viphone::PairMode::Accept); // the user taps Trust
    ASSERT_TRUE(eventually([] {
        DeviceNode* n = nodeAt(0);
        return n && n->info->productVersion && str(n->info->deviceName) == "Phone 1";
    }));
    iPhoneDeviceInfo* after = nodeAt(0)->info;
    EXPECT_EQ(str(after->productVersion), "13.5");
    EXPECT_EQ(str(after->productType), "iPhone12,1");
    EXPECT_EQ(str(after->serialNumber), cfg.values["SerialNumber"]);
    char* name = GetiPhoneDeviceName(after->device);
    EXPECT_EQ(str(name), "Phone 1");
    free(name);
    // Once trusted it is not asked again (the "paired" news may ask once more).
    EXPECT_TRUE(
        eventually([] { return fruitlink::MobileDeviceAccess::singleton().awaitingTrust() == 0; }));
    EXPECT_EQ(lab_->stats(0).pairRecordsSaved, 1);
    EXPECT_EQ(IphoneTSF_ConnectDeviceCount(), 1);
    // The node handed out before is not changed under its reader.
    EXPECT_EQ(str(before->info->deviceName), "iPhone");
    EXPECT_EQ(before->info->productVersion, nullptr);
    EXPECT_EQ(IphoneTSF_ReleaseDeviceNode(before), 0);

    // A phone whose user refused is not asked again and again.
    addAndWait(phoneConfig(2, viphone::PairMode::Denied));
    EXPECT_EQ(fruitlink::MobileDeviceAccess::singleton().awaitingTrust(), 0);
}

TEST_F(Devices, APhonePairedByAnotherProgramIsReadAgainAtOnce) {
    // Far longer than the test: only usbmuxd's "paired" news can do it.
    fruitlink::MobileDeviceAccess::singleton().setTrustRetryInterval(std::chrono::hours(1));
    addAndWait(phoneConfig(1, viphone::PairMode::Pending));
    ASSERT_EQ(nodeAt(0)->info->productVersion, nullptr);
    lab_->setPairMode(0, viphone::PairMode::Accept);
    idevice_t other = nullptr;
    ASSERT_EQ(idevice_new(&other, udid(1).c_str()), IDEVICE_E_SUCCESS);
    lockdownd_client_t client = nullptr;
    ASSERT_EQ(lockdownd_client_new_with_handshake(other, &client, "other-program"),
              LOCKDOWN_E_SUCCESS);
    lockdownd_client_free(client);
    idevice_free(other);
    EXPECT_TRUE(eventually([] { return nodeAt(0)->info->productVersion != nullptr; }));
    EXPECT_EQ(str(nodeAt(0)->info->productVersion), "13.5");
}

TEST_F(Devices, AnAcquiredNodeOutlivesManyDetachesAndIsFreedOnRelease) {
    addAndWait(phoneConfig(1));
    DeviceNode* held = IphoneTSF_AcquireDeviceNode(0);
    ASSERT_NE(held, nullptr);
    const int before = fruitlink::liveDeviceNodes();
    lab_->detach(0);
    ASSERT_TRUE(eventually([] { return IphoneTSF_ConnectDeviceCount() == 0; }));
    // Far more removals than any fixed number of kept nodes.
    int second = lab_->addPhone(phoneConfig(2), false);
    for (int i = 0; i < 70; ++i) {
        lab_->attach(second);
        ASSERT_TRUE(eventually([] { return IphoneTSF_ConnectDeviceCount() == 1; })) << i;
        ASSERT_NE(nodeAt(0), nullptr);
        lab_->detach(second);
        ASSERT_TRUE(eventually([] { return IphoneTSF_ConnectDeviceCount() == 0; })) << i;
    }
    nodeAt(0); // lets go of this thread's borrowed node
    EXPECT_EQ(str(held->info->udid), udid(1));
    EXPECT_EQ(str(held->info->deviceName), "Phone 1");
    EXPECT_EQ(str(held->info->productType), "iPhone12,1");
    char* serial = GetiPhoneDeviceSerialNumber(held->info->device); // device gone: no value
    EXPECT_EQ(serial, nullptr);
    EXPECT_EQ(fruitlink::liveDeviceNodes(), before);
    EXPECT_EQ(IphoneTSF_ReleaseDeviceNode(held), 0);
    EXPECT_EQ(fruitlink::liveDeviceNodes(), before - 1);
}

// Subscribing and unsubscribing while phones come and go. libimobiledevice
// calls back under its own lock and takes that lock to subscribe and
// unsubscribe; a library that held a lock of its own across a subscription
// while its callback waited for that lock would hang here.
TEST_F(Devices, SubscribingWhilePhonesComeAndGoNeverHangs) {
    // Another listener in the process keeps libusbmuxd's event thread alive,
    // so each new subscription is handed the attached phones at once, on the
    // subscribing thread, under libusbmuxd's lock.
    usbmuxd_subscription_context_t other = nullptr;
    ASSERT_EQ(usbmuxd_events_subscribe(
                  &other, [](const usbmuxd_event_t*, void*) {}, nullptr),
              0);
    const int a = lab_->addPhone(phoneConfig(1));
    const int b = lab_->addPhone(phoneConfig(2));
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int i = 0; !stop; ++i) {
            int p = i % 2 ? a : b;
            lab_->detach(p);
            ::usleep(3000);
            lab_->attach(p);
            ::usleep(3000);
        }
    });
    auto cycles = std::async(std::launch::async, [] {
        auto& access = fruitlink::MobileDeviceAccess::singleton();
        for (int i = 0; i < 40; ++i) {
            if (!access.removeListener() || !access.setListener(nullptr))
                return false;
            ::usleep(2000);
        }
        return true;
    });
    if (cycles.wait_for(std::chrono::seconds(90)) != std::future_status::ready) {
        std::fprintf(stderr, "subscribing hung: a lock-order deadlock\n");
        std::_Exit(1); // the hung threads cannot be joined
    }
    stop = true;
    churn.join();
    EXPECT_TRUE(cycles.get());
    // Whatever happened while unsubscribed, the list ends as the phones are.
    lab_->attach(a);
    lab_->attach(b);
    // The count may lead the nodes by a moment while the last events land.
    EXPECT_TRUE(eventually([] { return GetDeviceCount() == 2 && nodeAt(0) && nodeAt(1); }));
    EXPECT_EQ(IphoneTSF_ConnectDeviceCount(), 2);
    ASSERT_TRUE(nodeAt(0) && nodeAt(1));
    std::set<std::string> listed = {str(nodeAt(0)->info->udid), str(nodeAt(1)->info->udid)};
    EXPECT_EQ(listed, (std::set<std::string>{udid(1), udid(2)}));
    usbmuxd_events_unsubscribe(other);
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
