// The backup folder picker of backup mode: the backups of a chosen folder fill
// the drop-down list and the backup list, the folder is remembered for the
// next time the picker opens, answers that cannot be used change nothing, the
// entry chosen is the backup copied, and a folder without backups gives
// nothing to start.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QMap>
#include <QSettings>

#include "MyListWidget.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "companlateDialog.h"
#include "gui_support.h"
#include "ios_records.h"
#include "jukelink.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"
#include "misc.h"
#include "windowhooks.h"

namespace {

QString storedFolder() {
    return QSettings("Brisvane", "Brisvane Tarnwick").value("userselectpath").toString();
}

QStringList comboEntries(const QComboBox* combo) {
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i) + " | " + combo->itemData(i).toString();
    return entries;
}

QStringList listEntries(const MyListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->shownCount(); ++i)
        entries << list->rows()[i]->data();
    return entries;
}

// A home, documents and settings folder for the user inside the lab.
QString isolatedHome(LabWindow& t) {
    const QString home = t.lab().dir() + "/home-of-user";
    QDir().mkpath(home);
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    // Qt keeps the settings folder it found first for the whole process.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home + "/.config");
    return home;
}

// A folder whose name has spaces, letters beyond ASCII and quotes, holding
// two backups of different iOS generations; empty when one was not made.
QString folderWithTwoBackups(LabWindow& t) {
    const QString folder = t.lab().dir() + QString::fromUtf8("/Zoë's \"old\" Bäckups 2019");
    QDir().mkpath(folder);
    const QList<QStringList> backups = {{"--format", "db", "--ios", "14", "--seed", "21"},
                                        {"--format", "mbdb", "--ios", "9", "--seed", "22"}};
    for (const QStringList& b : backups)
        if (t.lab()
                .run("kestrova-backupfixture", b + QStringList{"--count", "4", "--out", folder})
                .exitCode != 0)
            return {};
    return folder;
}

QStringList backupContacts(const QString& backup) {
    return iosrecords::contacts(
        iosrecords::backupFile(backup, "HomeDomain-Library/AddressBook/AddressBook.sqlitedb"));
}

} // namespace

TEST(BackupFolderPicker, ChosenFolderListsItsBackupsAndIsRemembered) {
    LabWindow t({"--android", "0"}, "backup-folder");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const QString home = isolatedHome(t);
    const QString folder = folderWithTwoBackups(t);
    ASSERT_FALSE(folder.isEmpty());

    QStringList starts;
    QString answer = folder;
    windowhooks::setFolderChooser([&](QWidget*, const QString&, const QString& start) {
        starts << start;
        return answer;
    });
    t.open();
    guitest::click(t.widget("backupButton"));
    ASSERT_EQ(t.window()->transferMode(), 1);
    auto* combo = t.window()->findChild<QComboBox*>("backupCombo");
    auto* list = t.window()->findChild<MyListWidget*>("backupList");
    EXPECT_EQ(combo->count(), 0); // nothing in the standard places of this home
    EXPECT_STREQ(t.window()->sourceId(), "ITUNES");
    EXPECT_TRUE(t.visible("backupSelectButton"));
    t.shot("0-no-backups");

    guitest::click(t.widget("backupSelectButton"));
    ASSERT_EQ(starts.size(), 1);
    EXPECT_EQ(starts[0], home + "/Documents/Tarnwick"); // nothing picked before
    ASSERT_EQ(combo->count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(combo->itemText(i).contains(" - ")) << combo->itemText(i).toStdString();
    EXPECT_EQ(t.window()->sourceId(), combo->currentData().toString());
    QStringList ids;
    for (int i = 0; i < combo->count(); ++i)
        ids << combo->itemData(i).toString();
    EXPECT_EQ(listEntries(list), ids);
    EXPECT_EQ(list->checkedData(), combo->currentData().toString());
    EXPECT_TRUE(t.visible("backupList"));
    EXPECT_EQ(storedFolder(), folder);
    EXPECT_EQ(GetDefaultPath(), folder);
    t.shot("1-folder-chosen");

    // The picker opens at the remembered folder; cancelling it changes nothing.
    combo->setCurrentIndex(1);
    const QStringList before = comboEntries(combo);
    const std::string chosen = t.window()->sourceId();
    answer.clear();
    guitest::click(t.widget("backupSelectButton"));
    ASSERT_EQ(starts.size(), 2);
    EXPECT_EQ(starts[1], folder);
    EXPECT_EQ(comboEntries(combo), before);
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(t.window()->sourceId(), chosen);
    EXPECT_EQ(storedFolder(), folder);

    // A folder whose path cannot be handed to the backup reader whole is
    // refused rather than cut to a different folder.
    answer = folder + "/" + QString(1100, QLatin1Char('x'));
    guitest::click(t.widget("backupSelectButton"));
    EXPECT_EQ(comboEntries(combo), before);
    EXPECT_EQ(storedFolder(), folder);

    // Leaving backup mode and coming back lists the chosen folder again.
    guitest::click(t.widget("backupButton"));
    guitest::click(t.widget("backupButton"));
    EXPECT_EQ(combo->count(), 2);
    t.shot("2-mode-again");

    // The next start of the program lists the remembered folder's backups
    // without asking for it again.
    char none[1024] = {};
    iTunesTSF_SetOtherBackupPath(none);
    t.open();
    guitest::click(t.widget("backupButton"));
    combo = t.window()->findChild<QComboBox*>("backupCombo");
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(starts.size(), 3); // the picker was not needed again
}

TEST(BackupFolderPicker, TheEntryChosenFromAPickedFolderIsTheBackupCopied) {
    LabWindow t({"--android", "1", "--seed", "17"}, "backup-folder-copy");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    isolatedHome(t);
    const QString folder = folderWithTwoBackups(t);
    ASSERT_FALSE(folder.isEmpty());
    windowhooks::setFolderChooser([&](QWidget*, const QString&, const QString&) { return folder; });
    // Each backup's contacts, read before the window opens: the database
    // parser keeps one list per process, which the window's own count of the
    // chosen backup (on a thread of its own) would be filling meanwhile.
    QMap<QString, QStringList> contactsOf;
    for (const QString& name : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        contactsOf[name.toLower()] = backupContacts(folder + "/" + name);
    t.open();
    guitest::click(t.widget("backupButton"));
    guitest::click(t.widget("backupSelectButton"));
    auto* combo = t.window()->findChild<QComboBox*>("backupCombo");
    ASSERT_EQ(combo->count(), 2);
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, 180000));

    // The second entry, whatever order the reader lists the backups in. An
    // entry carries the backup's identifier, the name of its folder in capitals.
    combo->setCurrentIndex(1);
    const QStringList wanted = contactsOf.value(combo->itemData(1).toString().toLower());
    const QStringList other = contactsOf.value(combo->itemData(0).toString().toLower());
    ASSERT_FALSE(wanted.isEmpty());
    ASSERT_NE(wanted, other); // the check below tells the two backups apart
    t.tick({0});
    t.shot("1-second-backup-chosen");

    QString completion;
    t.answerModals([&](QDialog* d) {
        d->show();
        return guitest::answerCompletion(d, &completion);
    });
    guitest::click(t.widget("startCopyButton"));
    EXPECT_EQ(t.window()->job()->request().mode(), kModeItunes2Android);
    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, 300000));
    EXPECT_TRUE(completion.contains("Everything arrived")) << completion.toStdString();
    t.shot("2-copied");
    const int destination = t.labPhone(t.window()->destinationId());
    ASSERT_GE(destination, 0);
    EXPECT_EQ(iosrecords::dumpKeys(t.lab().dump(destination), "contacts",
                                   {"firstName", "lastName", "mobile"}),
              wanted);
}

TEST(BackupFolderPicker, AFolderWithoutBackupsLeavesNothingToCopy) {
    LabWindow t({"--android", "1", "--seed", "19"}, "backup-folder-empty");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    isolatedHome(t);
    const QString empty = t.lab().dir() + "/no backups here";
    ASSERT_TRUE(QDir().mkpath(empty + "/not a backup"));
    windowhooks::setFolderChooser([&](QWidget*, const QString&, const QString&) { return empty; });
    t.open();
    guitest::click(t.widget("backupButton"));
    guitest::click(t.widget("backupSelectButton"));
    auto* combo = t.window()->findChild<QComboBox*>("backupCombo");
    EXPECT_EQ(combo->count(), 0);
    EXPECT_STREQ(t.window()->sourceId(), "ITUNES");
    // With a phone ready there is still nothing to copy: Start copy stays off,
    // and the start itself, reached anyway, neither starts a job on no backup
    // nor leaves the checklist locked.
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("destinationConnectedPane"); }, 180000));
    EXPECT_FALSE(t.enabled("startCopyButton"));
    int dialogs = 0;
    t.answerModals([&](QDialog*) { return ++dialogs, 0; });
    t.window()->startcopyButton_slots();
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(t.window()->job()->isRunning());
    EXPECT_FALSE(t.window()->progressWindow()->isVisible());
    EXPECT_TRUE(t.enabled("category0"));
    EXPECT_FALSE(t.enabled("startCopyButton"));
    EXPECT_TRUE(t.visible("destinationConnectedPane"));
    t.shot("1-after-start");
}
