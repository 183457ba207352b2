// Copies started from the real main window between two virtual Android
// phones: the progress rows move, the completion dialog, the destination
// compared with the source; and a cancel with its question.
#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QTest>

#include "MyPushButton.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "UserItemWidget.h"
#include "companlateDialog.h"
#include "gui_support.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"
#include "windowhooks.h"

namespace {

constexpr int kPhoneBoundMs = 180000;
constexpr int kCopyBoundMs = 300000;

// Fields a copy carries; what a phone derives itself is left out.
QStringList projected(const QJsonObject& dump, const QString& kind) {
    QStringList texts;
    for (const QJsonValue& v : dump.value(kind).toArray()) {
        QJsonObject record = v.toObject();
        record.remove("person");
        texts << QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
    }
    texts.sort();
    return texts;
}

// Two phones ready in the panes; returns the lab numbers of source and destination.
std::pair<int, int> twoPhonesReady(LabWindow& t) {
    t.open();
    if (!guitest::waitFor([&] { return t.enabled("startCopyButton"); }, kPhoneBoundMs))
        return {-1, -1};
    return {t.labPhone(t.window()->sourceId()), t.labPhone(t.window()->destinationId())};
}

} // namespace

// Once both phones are ready each tile tells how much the source holds (and
// for media, how many bytes), counted without holding up the window; a flip
// counts the other phone.
TEST(MainWindowCopy, TilesShowWhatTheSourceHolds) {
    LabWindow t({"--android", "2", "--seed", "12"}, "tile-counts");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const QStringList fills[] = {{"--phone", "0", "--records", "7", "--photos", "3", "--photo-size",
                                  "2000000", "--seed", "1"},
                                 {"--phone", "1", "--records", "4", "--photos", "2", "--photo-size",
                                  "2000000", "--seed", "2"}};
    for (const QStringList& fill : fills)
        ASSERT_EQ(t.lab().lab("fill", fill).exitCode, 0);
    const auto [source, destination] = twoPhonesReady(t);
    ASSERT_GE(source, 0);
    auto count = [&](const char* tile) {
        return t.window()->findChild<UserItemWidget*>(tile)->countText();
    };
    // The window stays responsive while the phone is counted.
    ASSERT_TRUE(guitest::waitFor([&] { return !count("category4").isEmpty(); }, 60000));
    const QString records = source == 0 ? "7" : "4";
    // The fixture's files: photos of the asked number and size, and a few more.
    EXPECT_EQ(count("category0"), records);
    EXPECT_EQ(count("category1"), records);
    EXPECT_TRUE(count("category4").contains(QString::fromUtf8(" \u00b7 ")))
        << count("category4").toStdString();
    EXPECT_TRUE(count("category4").endsWith("MB")) << count("category4").toStdString();
    EXPECT_TRUE(t.visible("keepDuplicates"));
    t.shot("tile-counts");

    guitest::click(t.widget("flipButton"));
    const QString other = source == 0 ? "4" : "7";
    EXPECT_TRUE(guitest::waitFor([&] { return count("category0") == other; }, 60000))
        << count("category0").toStdString();
    t.shot("tile-counts-flipped");
}

TEST(MainWindowCopy, ContactsSmsAndPhotosArriveWhole) {
    LabWindow t({"--android", "2", "--seed", "11"}, "two-phones-copy");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const auto [source, destination] = twoPhonesReady(t);
    ASSERT_GE(source, 0);
    ASSERT_GE(destination, 0);
    ASSERT_NE(source, destination);
    ASSERT_EQ(
        t.lab()
            .lab("fill", {"--phone", QString::number(source), "--records", "8", "--photos", "6"})
            .exitCode,
        0);
    t.shot("1-both-ready");
    t.tick({0, 1, 4});

    QString completion;
    bool smsPromptSeen = false;
    t.answerModals([&](QDialog* d) {
        auto* dialog = qobject_cast<CompleteDialog*>(d);
        if (!dialog) { // the progress window: left open, the test drives it
            d->show();
            return 0;
        }
        d->show();
        if (dialog->mode() == CompleteDialog::SmsCountdown) {
            smsPromptSeen = true;
            t.shot("3-sms-prompt", d);
            return 0;
        }
        completion = dialog->text();
        t.shot("5-completion", d);
        guitest::click(d->findChild<QWidget*>("completeDialogOk"));
        return dialog->result();
    });
    guitest::click(t.widget("startCopyButton"));
    TransferProgressWidget* progress = t.window()->progressWindow();
    ASSERT_TRUE(progress->isVisible());
    EXPECT_FALSE(t.enabled("category0"));
    auto rowText = [&](const char* name) { return progress->findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(rowText("progressRowName0").left(8), "Contacts");
    EXPECT_EQ(rowText("progressRowName1").left(3), "SMS");
    EXPECT_EQ(rowText("progressRowName2").left(6), "Photos");
    EXPECT_FALSE(progress->findChild<QLabel*>("progressRowName3")->isVisible());
    t.shot("2-progress-start", progress);

    // The spinner walks down the rows as kinds finish.
    ASSERT_TRUE(guitest::waitFor(
        [&] {
            return progress->findChild<QLabel*>("progressRowSpinner2")->isVisible() ||
                   !t.window()->job()->isRunning();
        },
        kCopyBoundMs));
    t.shot("4-progress-photos", progress);
    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, kCopyBoundMs));
    EXPECT_TRUE(completion.contains("Everything arrived")) << completion.toStdString();
    EXPECT_FALSE(progress->isVisible());
    for (const char* row : {"progressRowState0", "progressRowState1", "progressRowState2"})
        EXPECT_EQ(rowText(row), "Success") << row;
    EXPECT_TRUE(t.window()->job()->allSucceeded());
    EXPECT_TRUE(t.enabled("category0"));
    t.shot("6-after");
    (void)smsPromptSeen; // depends on the destination's Android version

    const QJsonObject from = t.lab().dump(source);
    const QJsonObject to = t.lab().dump(destination);
    for (const QString kind : {"contacts", "messages"}) {
        EXPECT_FALSE(projected(from, kind).isEmpty()) << kind.toStdString();
        EXPECT_EQ(projected(to, kind), projected(from, kind)) << kind.toStdString();
    }
    EXPECT_EQ(fileContents(to, "photo"), fileContents(from, "photo"));
    EXPECT_TRUE(projected(to, "calls").isEmpty()); // not ticked, not copied
}

TEST(MainWindowCopy, CancelAsksAndOnlyOkStops) {
    LabWindow t({"--android", "2", "--seed", "5"}, "cancel");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    const auto [source, destination] = twoPhonesReady(t);
    ASSERT_GE(source, 0);
    ASSERT_GE(destination, 0);
    ASSERT_EQ(t.lab().lab("fill", {"--phone", QString::number(source), "--records", "40"}).exitCode,
              0);
    // Every reply of the destination's agent waits a moment: the copy lasts.
    ASSERT_EQ(t.lab()
                  .lab("fault",
                       {"--phone", QString::number(destination), "--kind", "stall", "--value", "1"})
                  .exitCode,
              0);
    t.tick({0});

    const char* answer = "completeDialogCancel";
    int questions = 0;
    int completions = 0;
    t.answerModals([&](QDialog* d) {
        auto* dialog = qobject_cast<CompleteDialog*>(d);
        d->show();
        if (!dialog)
            return 0;
        if (dialog->mode() == CompleteDialog::Completed) {
            ++completions;
            return 1;
        }
        if (dialog->mode() != CompleteDialog::CancelQuestion)
            return 0;
        ++questions;
        t.shot(QString("%1-question").arg(questions), d);
        guitest::click(d->findChild<QWidget*>(answer));
        return dialog->result();
    });
    guitest::click(t.widget("startCopyButton"));
    TransferProgressWidget* progress = t.window()->progressWindow();
    ASSERT_TRUE(progress->isVisible());
    TransferDoingThread* job = t.window()->job();

    guitest::click(progress->findChild<QWidget*>("progressCancel"));
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(job->stopRequested());
    EXPECT_TRUE(job->isRunning());

    answer = "completeDialogOk";
    guitest::click(progress->findChild<QWidget*>("progressCancel"));
    EXPECT_EQ(questions, 2);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(job->stopRequested());
    ASSERT_TRUE(guitest::waitFor([&] { return !job->isRunning(); }, kCopyBoundMs));
    QTest::qWait(1000); // the end-of-job slot has run
    EXPECT_EQ(completions, 0);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(t.enabled("category0"));
    t.shot("3-after-cancel");
    ASSERT_EQ(
        t.lab().lab("fault", {"--phone", QString::number(destination), "--kind", "clear"}).exitCode,
        0);
}

// One phone and a folder: "Copy to a folder instead" takes the destination
// pane, the phone is the source, and the copy lands in the folder as files
// (contacts as one vCard file, the photos byte for byte); going back to a
// phone empties the destination pane again.
TEST(MainWindowCopy, OnePhoneIntoAFolderChosenBesideTheDestination) {
    LabWindow t({"--android", "1", "--seed", "13"}, "folder-destination");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    ASSERT_EQ(t.lab().lab("fill", {"--phone", "0", "--records", "5", "--photos", "3"}).exitCode, 0);
    const QString folder = t.lab().scratch("exported") + "/Zoë's old phone";
    ASSERT_TRUE(QDir().mkpath(folder));
    windowhooks::setFolderChooser([&](QWidget*, const QString&, const QString&) { return folder; });
    t.open();
    guitest::click(t.widget("folderDestinationButton"));
    EXPECT_TRUE(t.visible("destinationFolderPath"));
    EXPECT_TRUE(t.text("destinationFolderPath").contains(folder));
    ASSERT_TRUE(guitest::waitFor([&] { return t.enabled("startCopyButton"); }, kPhoneBoundMs));
    EXPECT_EQ(t.labPhone(t.window()->sourceId()), 0);
    EXPECT_FALSE(t.enabled("flipButton"));
    EXPECT_FALSE(t.enabled("category7"));
    t.tick({0, 4});
    t.shot("1-folder-chosen");

    QString completion;
    t.answerModals([&](QDialog* d) {
        d->show();
        return guitest::answerCompletion(d, &completion);
    });
    guitest::click(t.widget("startCopyButton"));
    ASSERT_TRUE(guitest::waitFor([&] { return !completion.isEmpty(); }, kCopyBoundMs));
    EXPECT_TRUE(completion.contains("Everything arrived")) << completion.toStdString();
    QStringList cards;
    for (const QFileInfo& f : QDir(folder).entryInfoList({"*.vcf"}, QDir::Files)) {
        QFile file(f.filePath());
        if (file.open(QIODevice::ReadOnly))
            cards << QString::fromUtf8(file.readAll());
    }
    ASSERT_EQ(cards.size(), 1);
    EXPECT_EQ(cards.first().count("BEGIN:VCARD"), 5);
    const QJsonObject source = t.lab().dump(0);
    int photos = 0;
    for (const QJsonValue& v : source.value("files").toArray())
        photos += v.toObject().value("kind").toString() == "photo" ? 1 : 0;
    int exported = 0;
    for (QDirIterator it(folder, {"*.jpg"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++exported;
    EXPECT_EQ(exported, photos);

    guitest::click(t.widget("folderDestinationButton"));
    EXPECT_FALSE(t.visible("destinationFolderPath"));
    EXPECT_TRUE(t.visible("destinationWaitingPane"));
    EXPECT_FALSE(t.enabled("startCopyButton"));
}
