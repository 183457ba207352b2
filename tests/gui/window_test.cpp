// The real main window against the virtual lab: phones arriving in the panes,
// an iPhone as source, backup mode, and a phone that awaits authorisation.
// Screenshots of each key moment go to tests/gui-screenshots/<test>/.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

#include "MyListWidget.h"
#include "UserItemWidget.h"
#include "gui_support.h"
#include "jukelink.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"

namespace {

constexpr int kPhoneBoundMs = 120000; // preparing a phone installs and greets its agent

} // namespace

TEST(MainWindow, PhoneAttachedToAnEmptyWindowFillsTheDestination) {
    LabWindow t({"--android", "1"}, "one-phone");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    t.open();
    EXPECT_TRUE(t.visible("sourceWaitingPane"));
    EXPECT_TRUE(t.visible("destinationWaitingPane"));
    EXPECT_FALSE(t.enabled("startCopyButton"));
    t.shot("0-empty");

    ASSERT_TRUE(guitest::waitFor([&] { return t.text("destinationMessage") == "Connecting..."; },
                                 kPhoneBoundMs));
    t.shot("1-connecting");
    ASSERT_TRUE(
        guitest::waitFor([&] { return t.visible("destinationConnectedPane"); }, kPhoneBoundMs));
    const QString title = t.text("destinationTitle");
    EXPECT_TRUE(title.startsWith("Destination: ")) << title.toStdString();
    EXPECT_GT(title.size(), QString("Destination: ").size());
    EXPECT_TRUE(t.visible("sourceWaitingPane"));
    EXPECT_EQ(t.text("sourceMessage"), "Please connect a source \nphone by USB");
    EXPECT_FALSE(t.enabled("startCopyButton"));
    t.shot("2-ready");
}

// A phone that cannot take the agent says why on its pane, with Retry, and
// is left alone until then instead of "Connecting..." again and again.
TEST(MainWindow, APhoneThatCannotTakeTheAgentSaysWhyUntilRetry) {
    LabWindow t({"--android", "1"}, "agent-missing");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const QString apk = t.lab().dir() + "/tools/kestrova1.apk", kept = apk + ".kept";
    ASSERT_TRUE(QFile::rename(apk, kept));
    t.open();
    ASSERT_TRUE(guitest::waitFor(
        [&] { return t.text("destinationMessage").contains("is missing beside the program"); },
        kPhoneBoundMs));
    EXPECT_TRUE(t.visible("destinationRetry"));
    t.shot("1-agent-missing");
    // Several rounds of the window's timer later the reason is still there.
    QTest::qWait(4000);
    EXPECT_TRUE(t.text("destinationMessage").contains("is missing"))
        << t.text("destinationMessage").toStdString();

    ASSERT_TRUE(QFile::rename(kept, apk));
    guitest::click(t.widget("destinationRetry"));
    ASSERT_TRUE(
        guitest::waitFor([&] { return t.visible("destinationConnectedPane"); }, kPhoneBoundMs));
    t.shot("2-ready-after-retry");
}

TEST(MainWindow, IphoneSourceRefusesAppsAndFlips) {
    LabWindow t({"--android", "1", "--iphone", "1"}, "iphone-source");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    t.open();
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("sourceConnectedPane"); }, kPhoneBoundMs));
    ASSERT_TRUE(
        guitest::waitFor([&] { return t.visible("destinationConnectedPane"); }, kPhoneBoundMs));
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, 5000));
    auto* apps = t.window()->findChild<UserItemWidget*>("category7");
    EXPECT_FALSE(apps->isEnabled());
    EXPECT_FALSE(apps->isTicked());
    // Call logs come from the phone's backup like the other personal kinds.
    EXPECT_TRUE(t.window()->findChild<UserItemWidget*>("category2")->isEnabled());
    auto* contacts = t.window()->findChild<UserItemWidget*>("category0");
    EXPECT_TRUE(contacts->isEnabled());
    EXPECT_TRUE(contacts->isTicked());
    EXPECT_TRUE(t.enabled("flipButton"));
    t.shot("1-iphone-source");

    const QString source = t.text("sourceTitle");
    const QString destination = t.text("destinationTitle");
    guitest::click(t.widget("flipButton"));
    EXPECT_EQ(t.text("sourceTitle").mid(8), destination.mid(13));
    EXPECT_EQ(t.text("destinationTitle").mid(13), source.mid(8));
    // An iPhone cannot be written to: Start copy goes off by the next tick.
    EXPECT_TRUE(guitest::waitFor([&] { return !t.enabled("startCopyButton"); }, 3000));
    t.shot("2-flipped");
}

TEST(MainWindow, BackupModeListsThreeBackupsWithSlashedDates) {
    LabWindow t({"--android", "1"}, "backup-mode");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const QString backups = t.lab().dir() + "/backups";
    for (int i = 0; i < 3; ++i) {
        const ProgramRun made = t.lab().run(
            "kestrova-backupfixture", {"--format", "db", "--ios", "14", "--seed",
                                       QString::number(i + 3), "--count", "5", "--out", backups});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    }
    qputenv("HOME", t.lab().dir().toUtf8()); // no backups of the machine's own user
    QByteArray folder = backups.toUtf8();
    folder.resize(1024);
    iTunesTSF_SetOtherBackupPath(folder.data());
    t.open();
    EXPECT_TRUE(t.visible("backupButton"));
    guitest::click(t.widget("backupButton"));
    EXPECT_EQ(t.window()->transferMode(), 1);
    auto* combo = t.window()->findChild<QComboBox*>("backupCombo");
    ASSERT_EQ(combo->count(), 3);
    for (int i = 0; i < 3; ++i) {
        const QString entry = combo->itemText(i);
        EXPECT_TRUE(entry.contains(" - ")) << entry.toStdString();
        EXPECT_TRUE(entry.contains('/')) << entry.toStdString();
        EXPECT_FALSE(entry.section(" - ", 1).contains('T')) << entry.toStdString();
        EXPECT_FALSE(entry.contains('Z')) << entry.toStdString();
    }
    // The backup list and the drop-down list show one choice.
    auto* list = t.window()->findChild<MyListWidget*>("backupList");
    EXPECT_EQ(list->checkedData(), combo->currentData().toString());
    list->rows()[2]->setChecked(true);
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(list->checkedData(), combo->currentData().toString());
    EXPECT_TRUE(t.visible("hintPanel"));
    EXPECT_TRUE(t.visible("backupList"));
    t.shot("1-backups");
    ASSERT_TRUE(
        guitest::waitFor([&] { return t.visible("destinationConnectedPane"); }, kPhoneBoundMs));
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, 5000));
    EXPECT_FALSE(t.enabled("flipButton"));
    t.shot("2-backup-and-phone");

    guitest::click(t.widget("backupButton"));
    EXPECT_EQ(t.window()->transferMode(), 0);
    EXPECT_FALSE(t.visible("backupCombo"));
    EXPECT_TRUE(t.visible("sourceWaitingPane"));
}

// adb lists the phone as "no permissions" (the computer's udev rules for
// Android phones are missing): its own page says what to install, not the
// USB-debugging page; once the rules are there, Retry fills the pane.
TEST(MainWindow, APhoneThisComputerMayNotOpenShowsThePermissionPage) {
    LabWindow t({"--android", "1"}, "no-permissions");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    ASSERT_EQ(t.lab().lab("state", {"--phone", "0", "nopermissions"}).exitCode, 0);
    t.open();
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("usbPermissionPage"); }, kPhoneBoundMs));
    EXPECT_FALSE(t.visible("usbDebugPage"));
    EXPECT_FALSE(t.visible("authorisationPage"));
    EXPECT_TRUE(t.visible("destinationRetry"));
    EXPECT_TRUE(t.text("usbPermissionPageTitle").contains("open the phone"));
    t.shot("1-permission-page");

    guitest::click(t.widget("usbPermissionPageRetry"));
    EXPECT_FALSE(t.visible("usbPermissionPage"));
    ASSERT_EQ(t.lab().lab("allow", {"--phone", "0"}).exitCode, 0);
    ASSERT_EQ(t.lab().lab("state", {"--phone", "0", "device"}).exitCode, 0);
    guitest::click(t.widget("destinationRetry"));
    EXPECT_TRUE(
        guitest::waitFor([&] { return t.visible("destinationConnectedPane"); }, kPhoneBoundMs));
    EXPECT_FALSE(t.visible("usbPermissionPage"));
    t.shot("2-rules-installed");
}

TEST(MainWindow, UnauthorisedPhoneShowsTheAuthorisationPageUntilDismissed) {
    LabWindow t({"--android", "1"}, "unauthorised");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    // adb lists the phone "unauthorized" until its user answers the prompt.
    ASSERT_EQ(t.lab().lab("state", {"--phone", "0", "unauthorized"}).exitCode, 0);
    t.open();
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("authorisationPage"); }, kPhoneBoundMs));
    EXPECT_FALSE(t.visible("backupButton"));
    EXPECT_FALSE(t.visible("usbDebugPage"));
    EXPECT_TRUE(t.visible("destinationRetry"));
    t.shot("1-authorisation-page");

    guitest::click(t.widget("authorisationNext"));
    EXPECT_FALSE(t.visible("authorisationPage"));
    EXPECT_TRUE(guitest::waitFor([&] { return t.visible("backupButton"); }, 3000));
    // Later failed checks leave the page away until a retry.
    QTest::qWait(2500);
    EXPECT_FALSE(t.visible("authorisationPage"));
    t.shot("2-dismissed");

    // The user taps "Allow": the phone is prepared and fills the destination.
    ASSERT_EQ(t.lab().lab("allow", {"--phone", "0"}).exitCode, 0);
    ASSERT_EQ(t.lab().lab("state", {"--phone", "0", "device"}).exitCode, 0);
    guitest::click(t.widget("destinationRetry"));
    EXPECT_TRUE(
        guitest::waitFor([&] { return t.visible("destinationConnectedPane"); }, kPhoneBoundMs));
    EXPECT_FALSE(t.visible("authorisationPage"));
    t.shot("3-allowed");
}
