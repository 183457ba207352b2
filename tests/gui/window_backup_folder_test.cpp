// The backup folder picker of backup mode: the backups of a chosen folder fill
// the drop-down list and the backup list, the folder is remembered for the
// next time the picker opens, and answers that cannot be used change nothing.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QSettings>

#include "MyListWidget.h"
#include "gui_support.h"
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

} // namespace

TEST(BackupFolderPicker, ChosenFolderListsItsBackupsAndIsRemembered) {
    LabWindow t({"--android", "0"}, "backup-folder");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    // The user's home, documents and settings all stay inside the lab.
    const QString home = t.lab().dir() + "/home-of-user";
    ASSERT_TRUE(QDir().mkpath(home));
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    // Qt keeps the settings folder it found first for the whole process.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home + "/.config");

    // A folder name with spaces, letters beyond ASCII and quotes.
    const QString folder = t.lab().dir() + QString::fromUtf8("/Zoë's \"old\" Bäckups 2019");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QList<QStringList> backups = {{"--format", "db", "--ios", "14", "--seed", "21"},
                                        {"--format", "mbdb", "--ios", "9", "--seed", "22"}};
    for (const QStringList& b : backups) {
        const ProgramRun made =
            t.lab().run("kestrova-backupfixture", b + QStringList{"--count", "4", "--out", folder});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    }

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
}
