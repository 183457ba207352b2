// The windows on a dense screen (device pixel ratio 2): every skinned piece
// is cut from the sharp twin, so nothing is a blown-up ordinary picture.
// Screenshots of each screen at that ratio go to
// tests/gui-screenshots/dense/, for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPalette>

#include "DebugAuthorizationWidget.h"
#include "OpenUsbDebugWidget.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "companlateDialog.h"
#include "gui_support.h"
#include "jukelink.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"
#include "windowhooks.h"

namespace {

// Before the application object exists: every screen is twice as dense.
const bool kDense = qputenv("QT_SCALE_FACTOR", "2");

constexpr int kPhoneBoundMs = 120000;

qreal backgroundRatio(const QWidget* w) {
    const QBrush brush = w->palette().brush(QPalette::Window);
    return brush.texture().isNull() ? 0.0 : brush.texture().devicePixelRatio();
}

} // namespace

TEST(DenseScreen, MainWindowAndItsPagesUseTheSharpPictures) {
    ASSERT_TRUE(kDense);
    // An iPhone source shows the greyed tiles (Call Logs, Apps) beside normal ones.
    LabWindow t({"--android", "1", "--iphone", "1"}, "dense/main");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    // One backup, so backup mode shows its drop-down arrow and check box.
    const QString backups = t.lab().dir() + "/backups";
    ASSERT_EQ(t.lab()
                  .run("kestrova-backupfixture", {"--format", "db", "--ios", "14", "--seed", "5",
                                                  "--count", "3", "--out", backups})
                  .exitCode,
              0);
    qputenv("HOME", t.lab().dir().toUtf8());
    QByteArray folder = backups.toUtf8();
    folder.resize(1024);
    iTunesTSF_SetOtherBackupPath(folder.data());
    t.open();
    ASSERT_TRUE(
        guitest::waitFor([&] { return t.visible("destinationConnectedPane"); }, kPhoneBoundMs));
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("sourceConnectedPane"); }, kPhoneBoundMs));
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, 5000));
    for (const char* name : {"mainWindow", "startCopyButton", "flipButton", "backupButton"}) {
        QWidget* w = t.widget(name) ? t.widget(name) : t.window();
        EXPECT_EQ(backgroundRatio(w), 2.0) << name;
    }
    t.shot("1-both-ready");

    guitest::click(t.widget("backupButton"));
    // The destination pane starts over with the mode: no copy can start at once.
    EXPECT_FALSE(t.enabled("startCopyButton"));
    ASSERT_TRUE(guitest::waitFor([&] { return t.visible("hintPanel"); }, 3000));
    EXPECT_EQ(backgroundRatio(t.widget("backupSelectButton")), 2.0);
    t.shot("2-backup-mode");
    guitest::click(t.widget("backupButton"));

    for (const char* page : {"authorisationPage", "usbDebugPage"}) {
        QWidget* w = t.widget(page);
        w->show();
        w->raise();
        EXPECT_EQ(backgroundRatio(w), 2.0) << page;
        t.shot(QStringLiteral("3-%1").arg(QLatin1String(page)));
        w->hide();
    }
}

TEST(DenseScreen, ProgressWindowAndDialogsUseTheSharpPictures) {
    ASSERT_TRUE(kDense);
    guitest::app();
    TransferDoingThread job;
    using kestrova::Kind;
    job.prepareJob(
        guitest::androidRequest({Kind::Contacts, Kind::Sms, Kind::Photos, Kind::Videos}));
    TransferProgressWidget window;
    window.setJob(&job);
    window.setGeometry(0, 0, 780, 481);
    window.show();
    guitest::finishKind(job, Kind::Contacts, 1000, 1000, 0, kestrova::Reason::None);
    guitest::finishKind(job, Kind::Sms, 120, 0, 120, kestrova::Reason::SmsPromptNotAccepted);
    guitest::finishKind(job, Kind::Photos, 200, 197, 0, kestrova::Reason::DestinationGone);
    job.progress().running = kestrova::indexOf(Kind::Videos);
    job.progress().kinds[Kind::Videos].total = 5;
    job.progress().kinds[Kind::Videos].current = 2;
    window.flush_progress();
    EXPECT_EQ(backgroundRatio(&window), 2.0);
    guitest::screenshot(&window, QStringLiteral("dense/progress"), QStringLiteral("1-rows"));

    CompleteDialog* dialog = window.dialog();
    windowhooks::setModalRunner([](QDialog* d) {
        d->show();
        return 0;
    });
    window.changedefaultsmsShow();
    EXPECT_EQ(backgroundRatio(dialog), 2.0);
    guitest::screenshot(dialog, QStringLiteral("dense/progress"), QStringLiteral("2-sms-prompt"));
    dialog->setShowBackup(CompleteDialog::CancelQuestion);
    guitest::screenshot(dialog, QStringLiteral("dense/progress"), QStringLiteral("3-cancel"));
    dialog->setShowBackup(CompleteDialog::Completed);
    dialog->setCompletionText(false, {QStringLiteral("SMS: Skipped: not accepted on the phone"),
                                      QStringLiteral("Photos: Failed: 3 of 200")});
    guitest::screenshot(dialog, QStringLiteral("dense/progress"), QStringLiteral("4-partial"));
    // Six kinds short: four lines and a pointer to the rows, all above the buttons.
    QStringList six;
    for (int k = 0; k < 6; ++k)
        six << QStringLiteral("Kind %1: Failed: could not be read").arg(k);
    dialog->setCompletionText(false, six);
    EXPECT_EQ(dialog->text().count(QLatin1Char('\n')), 4) << dialog->text().toStdString();
    EXPECT_TRUE(
        dialog->text().endsWith(QLatin1String("and 3 more, listed in the progress window.")));
    guitest::screenshot(dialog, QStringLiteral("dense/progress"), QStringLiteral("5-many-short"));
    windowhooks::setModalRunner({});
}
