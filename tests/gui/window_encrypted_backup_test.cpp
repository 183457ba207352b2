// An encrypted backup chosen in the window: the password is asked for in the
// program's dialog, a wrong one is said so and asked again, the right one
// unlocks the backup while the dialog says so, and the copy runs; declining
// ends every kind as skipped, "no password given".
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QSettings>

#include "PasswordDialog.h"
#include "QtMyThread.h"
#include "companlateDialog.h"
#include "gui_support.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"
#include "windowhooks.h"

namespace {

const char kPassword[] = "Möwe am Kai";

// A home of the user inside the lab, and one encrypted backup in a folder of it.
QString encryptedBackupFolder(LabWindow& t) {
    const QString home = t.lab().dir() + "/home-of-user";
    QDir().mkpath(home);
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home + "/.config");
    const QString folder = home + "/Backups";
    QDir().mkpath(folder);
    if (t.lab()
            .run("kestrova-backupfixture",
                 {"--format", "db", "--ios", "16", "--seed", "23", "--count", "4", "--media", "2",
                  "--encrypted", "--password", kPassword, "--iterations", "2000", "--dp-iterations",
                  "20000", "--out", folder})
            .exitCode != 0)
        return {};
    return folder;
}

// Types text into the dialog's field and presses OK; waits for the answer.
void enterPassword(QDialog* d, const QString& text) {
    d->findChild<QLineEdit*>("passwordEdit")->setText(text);
    guitest::click(d->findChild<QWidget*>("passwordDialogOk"));
}

} // namespace

TEST(EncryptedBackupWindow, AsksForThePasswordAgainWhenWrongAndCopiesWithTheRightOne) {
    LabWindow t({"--android", "1", "--seed", "19"}, "encrypted-backup");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const QString folder = encryptedBackupFolder(t);
    ASSERT_FALSE(folder.isEmpty());
    windowhooks::setFolderChooser([&](QWidget*, const QString&, const QString&) { return folder; });
    t.open();
    guitest::click(t.widget("backupButton"));
    guitest::click(t.widget("backupSelectButton"));
    ASSERT_EQ(t.window()->findChild<QComboBox*>("backupCombo")->count(), 1);
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, 180000));
    t.tick({0, 4});

    QStringList seen; // what the password dialog said, in order
    QString completion;
    int asked = 0;
    t.answerModals([&](QDialog* d) {
        d->show();
        if (auto* pw = qobject_cast<PasswordDialog*>(d)) {
            ++asked;
            enterPassword(d, "Möwe am Kai!");
            seen << pw->statusText();
            EXPECT_TRUE(guitest::waitFor([&] { return !pw->unlocking(); }, 60000));
            seen << pw->statusText();
            t.shot("1-wrong-password", d);
            enterPassword(d, QString::fromUtf8(kPassword));
            EXPECT_TRUE(guitest::waitFor([&] { return d->isHidden(); }, 60000));
            return d->result();
        }
        return guitest::answerCompletion(d, &completion, [&] { t.shot("2-copied", d); });
    });
    guitest::click(t.widget("startCopyButton"));
    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, 300000));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(seen, (QStringList{"Unlocking the backup...", "Wrong password. Please try again."}));
    EXPECT_TRUE(completion.contains("Everything arrived")) << completion.toStdString();
    const int destination = t.labPhone(t.window()->destinationId());
    ASSERT_GE(destination, 0);
    const QJsonObject dump = t.lab().dump(destination);
    EXPECT_EQ(dump.value("contacts").toArray().size(), 4);
    EXPECT_EQ(allFiles(dump).size(), 2);
}

TEST(EncryptedBackupWindow, DecliningToGiveThePasswordSkipsEveryKind) {
    LabWindow t({"--android", "1", "--seed", "20"}, "encrypted-backup-declined");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const QString folder = encryptedBackupFolder(t);
    ASSERT_FALSE(folder.isEmpty());
    windowhooks::setFolderChooser([&](QWidget*, const QString&, const QString&) { return folder; });
    t.open();
    guitest::click(t.widget("backupButton"));
    guitest::click(t.widget("backupSelectButton"));
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, 180000));
    t.tick({0, 4});
    QString completion;
    int asked = 0;
    t.answerModals([&](QDialog* d) {
        d->show();
        if (qobject_cast<PasswordDialog*>(d)) {
            ++asked;
            t.shot("3-asked", d);
            guitest::click(d->findChild<QWidget*>("passwordDialogCancel"));
            return d->result();
        }
        return guitest::answerCompletion(d, &completion);
    });
    guitest::click(t.widget("startCopyButton"));
    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, 120000));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(completion.contains("Skipped: no password given")) << completion.toStdString();
    for (kestrova::Kind k : {kestrova::Kind::Contacts, kestrova::Kind::Photos})
        EXPECT_EQ(kestrova::describe(t.window()->job()->outcome(k), true),
                  "Skipped: no password given");
}
