// A copy started from the real main window with an iPhone as the source (one
// whose file relay still hands out its databases) and a lab Android phone as
// the destination: what arrived is compared with what the iPhone holds.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include "MyPushButton.h"
#include "PasswordDialog.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "UserItemWidget.h"
#include "companlateDialog.h"
#include "gui_support.h"
#include "ios_records.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"

namespace {

constexpr int kPhoneBoundMs = 180000;
constexpr int kCopyBoundMs = 300000;

void tickAllowed(LabWindow& t) {
    for (int k = 0; k < 8; ++k) {
        auto* item = t.window()->findChild<UserItemWidget*>(QString("category%1").arg(k));
        if (item->isEnabled() && !item->isTicked())
            guitest::click(item->pictureButton());
    }
}

} // namespace

TEST(MainWindowIphoneCopy, EverythingTheIphoneAllowsArrivesOnTheAndroidPhone) {
    LabWindow t({"--android", "1", "--seed", "13"}, "iphone-copy");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    ASSERT_TRUE(t.startIphone("relay=ios7,ios=7,count=6"));
    t.open();
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, kPhoneBoundMs));
    const int destination = t.labPhone(t.window()->destinationId());
    ASSERT_GE(destination, 0);
    EXPECT_TRUE(t.text("sourceTitle").startsWith("Source: "));
    tickAllowed(t);
    for (int k : {0, 1, 2, 3, 4, 5, 6})
        EXPECT_TRUE(
            t.window()->findChild<UserItemWidget*>(QString("category%1").arg(k))->isTicked())
            << k;
    t.shot("1-ticked");

    QString completion;
    t.answerModals([&](QDialog* d) {
        d->show();
        // the progress window and the SMS prompt stay up
        return guitest::answerCompletion(d, &completion, [&] { t.shot("4-completion", d); });
    });
    guitest::click(t.widget("startCopyButton"));
    TransferProgressWidget* progress = t.window()->progressWindow();
    ASSERT_TRUE(progress->isVisible());
    EXPECT_EQ(t.window()->job()->request().mode(), kModeIphone2Android);
    auto rowText = [&](int row) {
        return progress->findChild<QLabel*>(QString("progressRowName%1").arg(row))->text();
    };
    const QStringList names = {"Contacts", "SMS",    "Call Logs", "Calendar",
                               "Photos",   "Videos", "Musics"};
    for (int row = 0; row < names.size(); ++row)
        EXPECT_TRUE(rowText(row).startsWith(names[row])) << rowText(row).toStdString();
    t.shot("2-progress-start", progress);
    ASSERT_TRUE(guitest::waitFor(
        [&] {
            return progress->findChild<QLabel*>("progressRowSpinner4")->isVisible() ||
                   !t.window()->job()->isRunning();
        },
        kCopyBoundMs));
    t.shot("3-progress-later", progress);
    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, kCopyBoundMs));
    EXPECT_TRUE(completion.contains("Everything arrived")) << completion.toStdString();
    for (int row = 0; row < names.size(); ++row)
        EXPECT_EQ(progress->findChild<QLabel*>(QString("progressRowState%1").arg(row))->text(),
                  "Success")
            << names[row].toStdString();
    EXPECT_TRUE(t.window()->job()->allSucceeded());
    t.shot("5-after");

    const QJsonObject to = t.lab().dump(destination);
    const QString root = t.iphoneRoot();
    const QString library = root + "/var/mobile/Library";
    const QStringList contacts =
        iosrecords::contacts(library + "/AddressBook/AddressBook.sqlitedb");
    EXPECT_FALSE(contacts.isEmpty());
    EXPECT_EQ(iosrecords::dumpKeys(to, "contacts", {"firstName", "lastName", "mobile"}), contacts);
    const QStringList messages = iosrecords::messages(library + "/SMS/sms.db");
    EXPECT_FALSE(messages.isEmpty());
    EXPECT_EQ(iosrecords::dumpKeys(to, "messages", {"address", "date", "type", "body"}), messages);
    const QStringList events = iosrecords::events(library + "/Calendar/Calendar.sqlitedb");
    EXPECT_FALSE(events.isEmpty());
    EXPECT_EQ(iosrecords::dumpKeys(to, "calendar", {"title", "start", "end"}), events);
    const QStringList media = folderContents(root, kIphoneMediaFiles);
    EXPECT_FALSE(media.isEmpty());
    EXPECT_EQ(allFiles(to), media);
    EXPECT_FALSE(to.value("calls").toArray().isEmpty());
}

// A phone of today is backed up first: the progress window says how far
// ("Reading the iPhone: 43%") in the row of the first kind, then the kinds
// arrive from the backup.
TEST(MainWindowIphoneCopy, AModernIphoneIsReadThroughABackupWithItsProgressShown) {
    LabWindow t({"--android", "1", "--seed", "14"}, "iphone-backup-copy");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    ASSERT_TRUE(t.startIphone("ios=17.2,count=6"));
    t.open();
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, kPhoneBoundMs));
    const int destination = t.labPhone(t.window()->destinationId());
    ASSERT_GE(destination, 0);
    for (int k : {1, 3, 4, 5, 6}) // SMS, calendar and the media flipped from the default choice
        guitest::click(
            t.window()->findChild<UserItemWidget*>(QString("category%1").arg(k))->pictureButton());
    QString completion;
    t.answerModals([&](QDialog* d) {
        d->show();
        return guitest::answerCompletion(d, &completion);
    });
    ASSERT_TRUE(t.lab().iphoneCommand("stall 0 on"));
    guitest::click(t.widget("startCopyButton"));
    TransferProgressWidget* progress = t.window()->progressWindow();
    auto* firstState = progress->findChild<QLabel*>("progressRowState0");
    ASSERT_TRUE(guitest::waitFor(
        [&] { return firstState->text().startsWith("Reading the iPhone: "); }, kCopyBoundMs));
    EXPECT_TRUE(firstState->isVisible());
    t.shot("1-reading-the-iphone", progress);
    ASSERT_TRUE(t.lab().iphoneCommand("stall 0 off"));
    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, kCopyBoundMs));
    EXPECT_TRUE(completion.contains("Everything arrived")) << completion.toStdString();
    const QJsonObject to = t.lab().dump(destination);
    const QString library = t.iphoneRoot() + "/var/mobile/Library";
    EXPECT_EQ(iosrecords::dumpKeys(to, "contacts", {"firstName", "lastName", "mobile"}),
              iosrecords::contacts(library + "/AddressBook/AddressBook.sqlitedb"));
    EXPECT_FALSE(to.value("calls").toArray().isEmpty());
}

// A phone that encrypts its backups: the window asks for the phone's backup
// password before the copy, and the personal kinds arrive from the backup
// it unlocks.
TEST(MainWindowIphoneCopy, AnEncryptingIphoneIsAskedForItsBackupPassword) {
    LabWindow t({"--android", "1", "--seed", "15"}, "iphone-encrypted-copy");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    ASSERT_TRUE(t.startIphone("ios=17.2,count=5,encrypt=1,password=Möwe 42"));
    t.open();
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, kPhoneBoundMs));
    const int destination = t.labPhone(t.window()->destinationId());
    ASSERT_GE(destination, 0);
    QString question, completion;
    t.answerModals([&](QDialog* d) {
        d->show();
        if (qobject_cast<PasswordDialog*>(d)) {
            question = d->findChild<QLabel*>("passwordDialogText")->text();
            t.shot("2-iphone-password", d);
            d->findChild<QLineEdit*>("passwordEdit")->setText(QString::fromUtf8("Möwe 42"));
            guitest::click(d->findChild<QWidget*>("passwordDialogOk"));
            return d->result();
        }
        return guitest::answerCompletion(d, &completion);
    });
    guitest::click(t.widget("startCopyButton"));
    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, kCopyBoundMs));
    EXPECT_TRUE(question.contains("encrypts its backups")) << question.toStdString();
    EXPECT_TRUE(completion.contains("Everything arrived")) << completion.toStdString();
    const QString library = t.iphoneRoot() + "/var/mobile/Library";
    EXPECT_EQ(iosrecords::dumpKeys(t.lab().dump(destination), "contacts",
                                   {"firstName", "lastName", "mobile"}),
              iosrecords::contacts(library + "/AddressBook/AddressBook.sqlitedb"));
}
