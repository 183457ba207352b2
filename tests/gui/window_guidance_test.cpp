// The USB-debugging guidance page against a phone whose debugging is off:
// such a phone is on the USB bus but never in adb's list, so every check of
// it fails. The page comes up, its next button sends it away for the later
// failed checks, the pane's retry button brings it back, and it goes when
// the phone is unplugged.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>

#include "gui_support.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"

namespace {

constexpr int kCheckBoundMs = 60000;

// The lab's getusb lists the phones whose folder holds a "usb-present" line;
// the lab's adb server only knows the phones the lab started. A line in a
// folder of its own is a phone on the bus that adb never lists: with USB
// debugging off it shows only its MTP interface.
QString usbOnlyPhone(LabWindow& t, int slot) {
    const QString folder = t.lab().dir() + QString("/phones/%1").arg(slot);
    QDir().mkpath(folder);
    QFile line(folder + "/usb-present");
    if (!line.open(QIODevice::WriteOnly) || line.write("VID:1256,PID:26720,IF:06/01/01\n") < 0)
        return {};
    return line.fileName();
}

// Marks the destination message and waits until a failed check has cleared
// it again (each failed check leaves the pane an empty message).
bool anotherFailedCheck(LabWindow& t) {
    auto* message = t.window()->findChild<QLabel*>("destinationMessage");
    message->setText("(before the next check)");
    return guitest::waitFor([&] { return message->text().isEmpty(); }, kCheckBoundMs);
}

} // namespace

TEST(UsbDebuggingPage, ComesUpStaysAwayAfterNextAndReturnsAfterRetry) {
    LabWindow t({"--android", "0"}, "usb-debugging");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const QString usb = usbOnlyPhone(t, 0);
    ASSERT_FALSE(usb.isEmpty());
    t.open();
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("usbDebugPage"); }, kCheckBoundMs));
    EXPECT_FALSE(t.visible("authorisationPage"));
    EXPECT_TRUE(t.visible("destinationRetry"));
    EXPECT_TRUE(t.text("destinationMessage").isEmpty());
    EXPECT_TRUE(t.visible("sourceWaitingPane"));
    EXPECT_FALSE(t.enabled("startCopyButton"));
    t.shot("1-usb-debugging-page");

    guitest::click(t.widget("usbDebugNext"));
    EXPECT_FALSE(t.visible("usbDebugPage"));
    for (int check = 0; check < 2; ++check) {
        ASSERT_TRUE(anotherFailedCheck(t)) << check;
        EXPECT_FALSE(t.visible("usbDebugPage")) << check;
        EXPECT_TRUE(t.visible("destinationRetry")) << check;
    }
    t.shot("2-dismissed");

    guitest::click(t.widget("destinationRetry"));
    EXPECT_EQ(t.text("destinationMessage"), "Connecting...");
    EXPECT_FALSE(t.visible("destinationRetry"));
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("usbDebugPage"); }, kCheckBoundMs));
    EXPECT_TRUE(t.visible("destinationRetry"));
    t.shot("3-after-retry");

    // Unplugged: no device is counted, the page goes and the pane waits again.
    ASSERT_TRUE(QFile::remove(usb));
    EXPECT_TRUE(guitest::waitFor([&] { return !t.visible("usbDebugPage"); }, kCheckBoundMs));
    EXPECT_TRUE(guitest::waitFor(
        [&] {
            return t.text("destinationMessage") == "Please connect a destination \nphone by USB";
        },
        kCheckBoundMs));
    EXPECT_FALSE(t.visible("destinationRetry"));
    t.shot("4-unplugged");
}

// An iPhone that waits for its user to tap Trust is not listed as ready: the
// page says what to do on the phone, and once the user trusts the computer
// the phone takes its place as the source.
TEST(IphoneTrustPage, ComesUpForAnUntrustingIphoneAndGoesOnceTrusted) {
    LabWindow t({"--android", "1"}, "iphone-trust");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    ASSERT_TRUE(t.startIphone("pair=pending"));
    t.open();
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("iphoneTrustPage"); }, kCheckBoundMs));
    EXPECT_EQ(t.text("iphoneTrustTitle"), "Unlock your iPhone and tap Trust");
    EXPECT_TRUE(t.text("iphoneTrustReason").contains("trust"));
    EXPECT_FALSE(t.visible("sourceConnectedPane"));
    t.shot("1-iphone-trust-page");

    ASSERT_TRUE(t.lab().iphoneCommand("pair 0 accept"));
    guitest::click(t.widget("iphoneTrustRetry"));
    ASSERT_TRUE(guitest::waitFor([&] { return t.text("sourceTitle").startsWith("Source: "); },
                                 kCheckBoundMs));
    EXPECT_FALSE(t.visible("iphoneTrustPage"));
}
