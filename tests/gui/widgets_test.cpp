// The windows' own rules, on canned counters and without phones: the progress
// bar of each job mode, backup dates, direction codes, the single-choice
// backup list, checklist tiles, and the progress rows and dialogs reading a
// job that is never started; keys, the German words and the fit to small
// screens.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "MyListWidget.h"
#include "MyPushButton.h"
#include "OpenUsbDebugWidget.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "UserItemWidget.h"
#include "appglobals.h"
#include "companlateDialog.h"
#include "gui_support.h"
#include "progressmath.h"
#include "screenfit.h"
#include "startup.h"
#include "topCtrWidget.h"
#include "windowhooks.h"
#include "windowtext.h"

using progressmath::BarState;
using progressmath::Snapshot;

TEST(ProgressBar, IphoneReadCreepsToThirtyThenFollowsRealProgress) {
    BarState st;
    Snapshot s;
    s.mode = 2003;
    for (int i = 0; i < 40; ++i)
        progressmath::refresh(s, st);
    EXPECT_EQ(st.value, 30);
    s.kind = kestrova::Kind::Contacts;
    s.total = 100;
    s.current = 10; // 10% is below the creep: the bar does not fall back
    progressmath::refresh(s, st);
    EXPECT_EQ(st.value, 30);
    s.current = 45;
    progressmath::refresh(s, st);
    EXPECT_EQ(st.value, 45);
    EXPECT_EQ(st.creep, 0);
    s.current = 50;
    progressmath::refresh(s, st);
    EXPECT_EQ(st.value, 50);
}

TEST(ProgressBar, UnknownTotalsLeaveTheBarAndSizesStay64Bit) {
    BarState st;
    st.value = 17;
    Snapshot s;
    s.mode = 2001;
    s.kind = kestrova::Kind::Sms;
    s.total = -1;
    progressmath::refresh(s, st);
    EXPECT_EQ(st.value, 17);
    // Videos beyond 2 GiB between Android phones.
    s.kind = kestrova::Kind::Videos;
    s.total = 3;
    s.totalSize = 6LL * 1024 * 1024 * 1024;
    s.doneSize = 3LL * 1024 * 1024 * 1024;
    s.videoBytes = 1536LL * 1024 * 1024;
    progressmath::refresh(s, st);
    EXPECT_EQ(st.value, 75);
    s.kind = std::nullopt; // between kinds
    progressmath::refresh(s, st);
    EXPECT_EQ(st.value, 0);
}

TEST(ProgressBar, BackupFileCounterStopsAtTheFileSize) {
    BarState st;
    Snapshot s;
    s.mode = 2005;
    s.kind = kestrova::Kind::Videos;
    s.total = 1;
    s.fileSize = 10240;
    s.totalSize = 10240;
    for (int i = 0; i < 9; ++i)
        progressmath::refresh(s, st);
    EXPECT_EQ(st.fileDone, 9216);
    EXPECT_EQ(st.value, 90);
    for (int i = 0; i < 5; ++i)
        progressmath::refresh(s, st);
    EXPECT_EQ(st.fileDone, 10240);
    EXPECT_EQ(st.value, 100);
    // No size known: divided by the stand-in, never by zero.
    s.totalSize = 0;
    progressmath::refresh(s, st);
    EXPECT_EQ(st.value, 0);
}

TEST(WindowText, BackupDatesAndDirectionCodes) {
    EXPECT_EQ(windowtext::backupDateText("2024-05-01T10:00:00Z"), "2024/05/01 10:00:00");
    EXPECT_EQ(windowtext::backupDateText("2019-12-31"), "2019/12/31");
    EXPECT_EQ(windowtext::backupDateText(""), "");
    EXPECT_EQ(windowtext::directionCode(1001, 1001), 2001);
    EXPECT_EQ(windowtext::directionCode(1002, 1001), 2003);
    EXPECT_EQ(windowtext::directionCode(9000, 1001), 2005);
    EXPECT_EQ(windowtext::directionCode(9000, 1002), 2006);
    EXPECT_EQ(windowtext::directionCode(1001, 9000), -1);
    EXPECT_EQ(windowtext::directionCode(0, 0), -1);
}

TEST(BackupList, OneCheckedRowAtMostAndRowsReusedInOrder) {
    guitest::app();
    MyListWidget list;
    list.setGeometry(0, 0, 300, 200);
    list.addItemToList("A", "2024/01/01", "id-a");
    list.addItemToList("B", "2024/01/02", "id-b");
    list.addItemToList("C", "2024/01/03", "id-c");
    QSignalSpy changes(&list, &MyListWidget::ItemlistChange);
    MyListWidgetItem* first = list.rows()[0];
    MyListWidgetItem* second = list.rows()[1];
    first->setChecked(true);
    second->setChecked(true);
    EXPECT_FALSE(first->isChecked());
    EXPECT_EQ(list.checkedData(), "id-b");
    second->setChecked(false);
    EXPECT_EQ(list.checkedData(), "");
    EXPECT_EQ(changes.count(), 3);

    list.clear();
    EXPECT_EQ(list.shownCount(), 0);
    list.addItemToList("D", "x", "id-d");
    list.addItemToList("E", "y", "id-e");
    ASSERT_EQ(list.rows().size(), 3);
    EXPECT_EQ(list.rows()[0]->title(), "D");
    EXPECT_EQ(list.rows()[1]->title(), "E");
    EXPECT_EQ(list.shownCount(), 2);
    EXPECT_FALSE(list.rows()[0]->isChecked());
}

TEST(ChecklistTile, DisablingClearsTheTickAndTheTickMarkUnticks) {
    guitest::app();
    QWidget parent;
    UserItemWidget tile(&parent);
    tile.setGeometry(0, 0, 67, 77);
    parent.show();
    guitest::click(tile.pictureButton());
    EXPECT_TRUE(tile.isTicked());
    auto* tick = tile.findChildren<MyPushButton*>().last();
    ASSERT_TRUE(tick->isVisible());
    guitest::click(tick);
    EXPECT_FALSE(tile.isTicked());
    tile.setTicked(true);
    tile.setMyEnabled(false);
    EXPECT_FALSE(tile.isTicked());
    EXPECT_EQ(tile.pictureButton()->currentLook(), MyPushButton::Disabled);
    guitest::click(tile.pictureButton());
    EXPECT_FALSE(tile.isTicked());
    tile.setMyEnabled(true);
    EXPECT_FALSE(tile.isTicked());
}

namespace {

QString text(QWidget* root, const QString& name) { return root->findChild<QLabel*>(name)->text(); }

struct ModalAnswers {
    explicit ModalAnswers(std::function<int(QDialog*)> runner) {
        windowhooks::setModalRunner(std::move(runner));
    }
    ~ModalAnswers() { windowhooks::setModalRunner({}); }
};

} // namespace

TEST(ProgressWindow, RowsSayWhatArrivedAndTheDialogSaysWhetherEverythingDid) {
    guitest::app();
    TransferDoingThread job;
    job.prepareJob(guitest::androidRequest({kestrova::Kind::Sms, kestrova::Kind::Photos}));
    TransferProgressWidget window;
    window.setJob(&job);
    window.setGeometry(0, 0, 780, 481);
    window.show();

    window.flush_progress();
    EXPECT_EQ(text(&window, "progressRowName0"), "SMS");
    EXPECT_EQ(text(&window, "progressRowName1"), "Photos");
    EXPECT_FALSE(window.findChild<QLabel*>("progressRowName2")->isVisible());
    EXPECT_TRUE(window.findChild<QLabel*>("progressRowSpinner0")->isVisible());

    // The messages were skipped: the row says so and the spinner moves on.
    job.progress().running = kestrova::indexOf(kestrova::Kind::Photos);
    guitest::finishKind(job, kestrova::Kind::Sms, 120, 0, 120,
                        kestrova::Reason::SmsPromptNotAccepted);
    job.progress().kinds[kestrova::Kind::Photos].total = 10;
    job.progress().kinds[kestrova::Kind::Photos].current = 4;
    window.flush_progress();
    EXPECT_TRUE(text(&window, "progressRowState0").startsWith("Skipped"));
    EXPECT_EQ(text(&window, "progressRowName1"), "Photos (4/10)");
    EXPECT_TRUE(window.findChild<QLabel*>("progressRowSpinner1")->isVisible());
    EXPECT_EQ(window.barValue(), 40);

    guitest::finishKind(job, kestrova::Kind::Photos, 10, 10, 0, kestrova::Reason::None);
    QString completion;
    ModalAnswers answers([&](QDialog* d) {
        completion = static_cast<CompleteDialog*>(d)->text();
        return 1;
    });
    window.todoingfinised();
    EXPECT_EQ(text(&window, "progressRowState1"), "Success");
    EXPECT_FALSE(window.findChild<QLabel*>("progressRowSpinner1")->isVisible());
    EXPECT_TRUE(completion.contains("not everything arrived")) << completion.toStdString();
    EXPECT_TRUE(completion.contains("SMS: Skipped")) << completion.toStdString();
    EXPECT_FALSE(window.isVisible());
}

TEST(ProgressWindow, CancelAsksFirstAndOnlyOkStopsTheJob) {
    guitest::app();
    TransferDoingThread job;
    job.prepareJob(guitest::androidRequest({kestrova::Kind::Contacts}));
    TransferProgressWidget window;
    window.setJob(&job);
    window.setGeometry(0, 0, 780, 481);
    window.show();
    QString question;
    const char* answer = "completeDialogCancel";
    ModalAnswers answers([&](QDialog* d) {
        question = static_cast<CompleteDialog*>(d)->text();
        d->show();
        guitest::click(d->findChild<QWidget*>(answer));
        return d->result();
    });
    guitest::click(window.findChild<QWidget*>("progressCancel"));
    EXPECT_EQ(question, "Do you want to cancel the transfer?");
    EXPECT_FALSE(job.stopRequested());
    EXPECT_TRUE(window.isVisible());

    answer = "completeDialogOk";
    guitest::click(window.findChild<QWidget*>("progressClose"));
    EXPECT_TRUE(job.stopRequested());
    EXPECT_FALSE(window.isVisible());
}

TEST(ProgressWindow, SmsCountdownFollowsTheJobAndHasNoButton) {
    guitest::app();
    TransferDoingThread job;
    job.prepareJob(guitest::androidRequest({kestrova::Kind::Sms}));
    TransferProgressWidget window;
    window.setJob(&job);
    window.setGeometry(0, 0, 780, 481);
    ModalAnswers answers([](QDialog* d) {
        d->show();
        return 0;
    });
    window.changedefaultsmsShow();
    CompleteDialog* dialog = window.dialog();
    EXPECT_TRUE(dialog->text().contains("in 60 seconds"));
    EXPECT_FALSE(dialog->findChild<QWidget*>("completeDialogOk")->isVisible());
    job.progress().smsCountdown = 42;
    window.flush_progress();
    EXPECT_TRUE(dialog->text().contains("in 42 seconds")) << dialog->text().toStdString();
    dialog->setShowBackup(CompleteDialog::Completed);
    dialog->updateShowText(5); // outside the countdown nothing changes
    EXPECT_EQ(dialog->text(), "Transfer Completed.");
}

TEST(Documents, HelpSupportAboutAndTheUsbGuideOpenShippedFiles) {
    guitest::app();
    g_apllication_path = QStringLiteral(KESTROVA_BIN_DIR);
    QList<QUrl> opened;
    windowhooks::setUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    topCtrlWidget bar;
    for (const char* action : {"helpAction", "supportAction", "aboutAction"})
        bar.helpMenu()->findChild<QAction*>(action)->trigger();
    OpenUsbDebugWidget page;
    page.setGeometry(0, 0, 929, 490);
    page.show();
    guitest::click(page.findChild<QWidget*>("usbDebugHelpLink"));
    windowhooks::setUrlOpener({});
    ASSERT_EQ(opened.size(), 4);
    EXPECT_EQ(opened[0], opened[1]); // Help and Support share the user guide
    EXPECT_TRUE(opened[3].path().endsWith("usb-debugging.html"));
    for (const QUrl& url : opened) {
        QFile file(url.toLocalFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << url.toString().toStdString();
        EXPECT_TRUE(file.readAll().contains("<title>Kestrova")) << url.toString().toStdString();
    }
    // The guide says how to authorise the computer, not only how to switch debugging on.
    QFile guide(opened[3].toLocalFile());
    ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
    const QByteArray text = guide.readAll();
    EXPECT_TRUE(text.contains("Build number"));
    EXPECT_TRUE(text.contains("Allow USB debugging?"));
}

// Space and Enter press a skinned button that has the focus, not a disabled
// one; the backup list's arrows move the single choice; Esc in the progress
// window asks the cancel question instead of closing it.
TEST(Keyboard, KeysPressButtonsChooseBackupsAndEscAsks) {
    guitest::app();
    MyPushButton button;
    EXPECT_EQ(button.focusPolicy(), Qt::TabFocus);
    QSignalSpy clicks(&button, &MyPushButton::clicked);
    QTest::keyClick(&button, Qt::Key_Space);
    QTest::keyClick(&button, Qt::Key_Return);
    QTest::keyClick(&button, Qt::Key_A);
    EXPECT_EQ(clicks.count(), 2);
    button.setEnabled(false);
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 2);

    MyListWidget list;
    list.setGeometry(0, 0, 300, 200);
    list.addItemToList("A", "2024/01/01", "id-a");
    list.addItemToList("B", "2024/01/02", "id-b");
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.checkedData(), "id-a");
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.checkedData(), "id-b");
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(list.checkedData(), "id-a");

    TransferDoingThread job;
    job.prepareJob(guitest::androidRequest({kestrova::Kind::Contacts}));
    TransferProgressWidget window;
    window.setJob(&job);
    window.setGeometry(0, 0, 780, 481);
    window.show();
    int questions = 0;
    ModalAnswers answers([&](QDialog* d) {
        ++questions;
        EXPECT_EQ(static_cast<CompleteDialog*>(d)->mode(), CompleteDialog::CancelQuestion);
        // The safe answer has the focus.
        EXPECT_EQ(d->focusWidget(), d->findChild<QWidget*>("completeDialogCancel"));
        return 0;
    });
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(job.stopRequested());
}

// With the German translation the window's rows speak German, while the
// words the driver's report carries stay English.
TEST(Translation, WindowsInGermanReportInEnglish) {
    guitest::app();
    ASSERT_TRUE(installTranslations(QStringLiteral(KESTROVA_BIN_DIR "/translations"),
                                    QLocale(QLocale::German, QLocale::Germany)));
    TransferDoingThread job;
    job.prepareJob(guitest::androidRequest({kestrova::Kind::Contacts}));
    guitest::finishKind(job, kestrova::Kind::Contacts, 120, 117, 0,
                        kestrova::Reason::DestinationGone);
    TransferProgressWidget window;
    window.setJob(&job);
    window.setGeometry(0, 0, 780, 481);
    window.flush_progress();
    EXPECT_EQ(text(&window, "progressRowName0"), "Kontakte (117/120)");
    EXPECT_EQ(text(&window, "progressRowState0"),
              "Fehlgeschlagen: 3 von 120 (Zieltelefon getrennt)");
    EXPECT_EQ(kestrova::describe(job.outcome(kestrova::Kind::Contacts), true),
              "Failed: 3 of 120 (destination phone disconnected)");
    EXPECT_FALSE(installTranslations(QString(), QLocale(QLocale::English)));
    EXPECT_EQ(kestrova::localisedReason(kestrova::Reason::DestinationGone),
              "destination phone disconnected");
}

// A window too large for the screen is scaled as a whole, frame included;
// one that fits keeps its size and its place.
TEST(ScreenFit, ScaleKeepsTheLayoutAndTheFrameOnScreen) {
    const QSize window(1000, 650);
    // 1366 x 768 at 125 %, less a 27 px panel.
    const qreal scale = screenfit::fitScale(window, QSize(1093, 587));
    EXPECT_LT(scale, 1.0);
    EXPECT_NEAR((650 + 44) * scale, 587.0, 0.01);
    EXPECT_EQ(screenfit::fitScale(window, QSize(1920, 1050)), 1.0);
    EXPECT_EQ(screenfit::fitScale(window, QSize()), 1.0);
    EXPECT_EQ(screenfit::placement(window, QRect(0, 0, 1920, 1050)), QPoint(100, 60));
    const QRect small(0, 27, 1100, 700);
    const QPoint at = screenfit::placement(window, small);
    EXPECT_TRUE(small.contains(QRect(at, window)));
}
