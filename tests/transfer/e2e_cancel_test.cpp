// Cancel while each kind is being copied, end to end in the virtual lab. The
// phone that handles the kind's items answers that kind's command slowly (a
// stall limited to one command name), so the cancel lands in the middle of
// the kind however fast the machine is. Each test then checks the driver's
// report against what the destination holds: the kind in hand stopped early
// with a truthful count, later kinds never started, and nothing on the
// destination is half-written.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <QDir>
#include <QJsonDocument>
#include <QProcess>

#include "lab_session.h"

namespace {

// The lab's phone 0 runs Android 4.2 (no SMS prompt), so it is the
// destination; phone 1 is the source.
constexpr int kDestination = 0;
constexpr int kSource = 1;
constexpr int kStallSeconds = 2;

struct CancelCase {
    const char* kind;    // the driver's name of the kind
    const char* stored;  // where the dump keeps it: a record list, a media kind or "apps"
    int slowPhone;       // the phone whose agent answers slowly
    const char* command; // the command it answers slowly: one per item of the kind
};

const CancelCase kCases[] = {
    {"contacts", "contacts", kDestination, "AddPerson"},
    {"sms", "messages", kDestination, "SendSMS"},
    {"calllogs", "calls", kDestination, "AddCallHistory"},
    {"calendar", "calendar", kDestination, "AddCalender"},
    {"photos", "photo", kDestination, "checkFileisExist"},
    {"videos", "video", kDestination, "write_videofile"},
    {"music", "music", kDestination, "checkMusicFileisExist"},
    {"apps", "apps", kSource, "getappindexinfo"},
};
const QStringList kKindOrder = {"contacts", "sms",    "calllogs", "calendar",
                                "photos",   "videos", "music",    "apps"};

QJsonObject kindReport(const QJsonObject& report, const QString& kind) {
    return report.value("kinds").toObject().value(kind).toObject();
}

struct CancelledRun {
    QJsonObject report;
    QString output;
    int exitCode = -1;
    qint64 cancelToExitMs = -1;
};

// Starts the driver, sends SIGTERM (the window's cancel) once `marker` shows
// in its progress, and returns its last line as the report.
CancelledRun cancelWhen(const LabSession& lab, const QStringList& arguments, const QString& marker,
                        int hangGuardMs = 120000) {
    CancelledRun result;
    auto driver = lab.start("kestrova-transfer", arguments);
    for (int i = 0; i < 1200 && !result.output.contains(marker); ++i) {
        if (driver->state() == QProcess::NotRunning)
            break;
        driver->waitForReadyRead(100);
        result.output += QString::fromUtf8(driver->readAllStandardOutput());
    }
    if (!result.output.contains(marker)) {
        driver->kill();
        driver->waitForFinished(10000);
        return result;
    }
    QElapsedTimer sinceCancel;
    sinceCancel.start();
    driver->terminate();
    // Only a guard against a hang: the checks below tell an early stop from
    // a kind that ran to its end.
    if (waitForExit(*driver, hangGuardMs))
        result.cancelToExitMs = sinceCancel.elapsed();
    else
        driver->kill();
    result.output += QString::fromUtf8(driver->readAllStandardOutput());
    result.exitCode = driver->exitStatus() == QProcess::NormalExit ? driver->exitCode() : -1;
    const QStringList lines = result.output.trimmed().split('\n');
    result.report = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    return result;
}

// Every file of the destination, whatever its kind (a hidden partial file
// included), is a whole copy of a file of the source.
void expectOnlyWholeFiles(const QJsonObject& source, const QJsonObject& destination) {
    QStringList sourceFiles;
    for (const QString kind : {"photo", "video", "music", "other"})
        sourceFiles += fileContents(source, kind);
    for (const QString kind : {"photo", "video", "music", "other"})
        for (const QString& file : fileContents(destination, kind))
            EXPECT_TRUE(sourceFiles.contains(file)) << "not a whole copy: " << file.toStdString();
}

// The items of one kind on the destination: each equal to one of the
// source's, and as many as the report says arrived.
void expectArrivedAsReported(const CancelCase& c, const QJsonObject& source,
                             const QJsonObject& destination, int copied) {
    const QString stored = c.stored;
    QStringList there, offered;
    if (stored == "apps") {
        there = appPackages(destination);
        offered = appPackages(source);
    } else if (stored == "photo" || stored == "video" || stored == "music") {
        there = fileContents(destination, stored);
        offered = fileContents(source, stored);
    } else {
        there = projectedRecords(destination, stored);
        offered = projectedRecords(source, stored);
    }
    EXPECT_EQ(there.size(), copied) << c.kind;
    for (const QString& item : there)
        EXPECT_TRUE(offered.contains(item)) << "half-written: " << item.toStdString();
}

// A phone that stops answering altogether must not hold a cancel: the job
// ends, with its report, long before the phone's own time-outs (a minute per
// exchange) would have run out.
TEST(CancelWhileStalled, TheJobEndsWithItsReportWithoutWaitingForThePhone) {
    LabSession lab({"--android", "2", "--seed", "31"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", QString::number(kSource), "--records", "6"}).exitCode, 0);
    ASSERT_TRUE(lab.agentFaults(kDestination, {"stall=600", "only=AddPerson"}));
    const CancelledRun run =
        cancelWhen(lab,
                   {"--from", lab.androidPhone(kSource), "--to", lab.androidPhone(kDestination),
                    "--kinds", "contacts,sms", "--work", lab.dir() + "/work"},
                   "progress contacts 1/", 30000);
    ASSERT_TRUE(lab.agentFaults(kDestination, {}));
    ASSERT_GE(run.cancelToExitMs, 0) << "the cancel waited for the stalled phone";
    ::testing::Test::RecordProperty("cancel_to_exit_ms", static_cast<int>(run.cancelToExitMs));
    ASSERT_FALSE(run.report.isEmpty()) << run.output.toStdString();
    const QJsonObject contacts = kindReport(run.report, "contacts");
    EXPECT_EQ(contacts.value("outcome").toString(), "cancelled");
    EXPECT_EQ(contacts.value("reason").toString(), "cancelled")
        << "a cut exchange was reported as a lost phone";
    EXPECT_EQ(kindReport(run.report, "sms").value("text").toString(),
              "Cancelled before it started");
    EXPECT_EQ(run.exitCode, 1);
}

// Two copies on the same phones: the second is told the phones are busy and
// leaves them alone, so the first ends whole.
TEST(TwoJobs, TheSecondIsToldThePhoneIsBusyAndTheFirstEndsWhole) {
    LabSession lab({"--android", "2", "--seed", "33"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", QString::number(kSource), "--records", "6"}).exitCode, 0);
    ASSERT_TRUE(lab.agentFaults(kDestination, {"stall=1", "only=AddPerson"}));
    const QStringList arguments = {"--from",  lab.androidPhone(kSource),
                                   "--to",    lab.androidPhone(kDestination),
                                   "--kinds", "contacts"};
    auto first =
        lab.start("kestrova-transfer", arguments + QStringList{"--work", lab.dir() + "/a"});
    QString output;
    for (int i = 0; i < 600 && !output.contains("progress contacts 1/"); ++i) {
        first->waitForReadyRead(100);
        output += QString::fromUtf8(first->readAllStandardOutput());
    }
    ASSERT_TRUE(output.contains("progress contacts 1/")) << output.toStdString();

    ProgramRun second;
    const QJsonObject busy =
        lab.transfer(arguments + QStringList{"--work", lab.dir() + "/b"}, &second);
    ASSERT_FALSE(busy.isEmpty()) << second.out.toStdString() << second.err.toStdString();
    EXPECT_EQ(kindReport(busy, "contacts").value("reason").toString(), "phone_busy");
    EXPECT_EQ(second.exitCode, 3);

    ASSERT_TRUE(waitForExit(*first, 120000));
    output += QString::fromUtf8(first->readAllStandardOutput());
    const QJsonObject report =
        QJsonDocument::fromJson(output.trimmed().split('\n').last().toUtf8()).object();
    EXPECT_EQ(kindReport(report, "contacts").value("outcome").toString(), "success")
        << output.toStdString();
    ASSERT_TRUE(lab.agentFaults(kDestination, {}));
    EXPECT_EQ(projectedRecords(lab.dump(kDestination), "contacts"),
              projectedRecords(lab.dump(kSource), "contacts"));
}

class CancelDuring : public ::testing::TestWithParam<CancelCase> {};

TEST_P(CancelDuring, TheKindStopsLaterKindsNeverStartNothingIsHalfWritten) {
    const CancelCase& c = GetParam();
    const int index = static_cast<int>(kKindOrder.indexOf(c.kind));
    const QString earlier = index > 0 ? "contacts" : "";
    const QString later = index + 1 < kKindOrder.size() ? kKindOrder.at(index + 1) : "";
    QStringList kinds = {c.kind};
    if (!earlier.isEmpty())
        kinds.prepend(earlier);
    if (!later.isEmpty())
        kinds.append(later);

    LabSession lab({"--android", "2", "--seed", QString::number(20 + index)});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", QString::number(kSource), "--records", "4", "--photos",
                               "4", "--photo-size", "30000", "--videos", "3", "--video-size",
                               "9000000", "--music", "4", "--apps", "3"})
                  .exitCode,
              0);
    ASSERT_TRUE(lab.agentFaults(
        c.slowPhone, {"stall=" + QString::number(kStallSeconds), QString("only=") + c.command}));

    const QString work = lab.dir() + "/work";
    const CancelledRun run =
        cancelWhen(lab,
                   {"--from", lab.androidPhone(kSource), "--to", lab.androidPhone(kDestination),
                    "--kinds", kinds.join(','), "--work", work},
                   QString("progress %1 1/").arg(c.kind));
    ASSERT_FALSE(run.report.isEmpty()) << run.output.toStdString();
    ASSERT_TRUE(lab.agentFaults(c.slowPhone, {}));

    // The report: the kind in hand stopped before its end, with its count.
    const QJsonObject kind = kindReport(run.report, c.kind);
    const int offered = kind.value("offered").toInt();
    const int copied = kind.value("copied").toInt();
    EXPECT_EQ(kind.value("outcome").toString(), "cancelled") << run.output.toStdString();
    EXPECT_GT(offered, 1);
    EXPECT_LT(copied, offered) << "the kind ran to its end";
    EXPECT_EQ(kind.value("text").toString(),
              QString("Cancelled: %1 of %2 copied").arg(copied).arg(offered));
    if (!earlier.isEmpty()) {
        EXPECT_EQ(kindReport(run.report, earlier).value("outcome").toString(), "success");
    }
    if (!later.isEmpty()) {
        const QJsonObject next = kindReport(run.report, later);
        EXPECT_EQ(next.value("outcome").toString(), "cancelled");
        EXPECT_EQ(next.value("offered").toInt(), -1) << "a later kind was started";
        EXPECT_EQ(next.value("copied").toInt(), 0);
        EXPECT_EQ(next.value("text").toString(), "Cancelled before it started");
    }
    EXPECT_FALSE(run.report.value("success").toBool());
    EXPECT_EQ(run.exitCode, 1);

    // The destination: what arrived is whole and as counted.
    const QJsonObject source = lab.dump(kSource);
    const QJsonObject destination = lab.dump(kDestination);
    expectArrivedAsReported(c, source, destination, copied);
    expectOnlyWholeFiles(source, destination);
    if (!earlier.isEmpty()) {
        EXPECT_EQ(projectedRecords(destination, "contacts"), projectedRecords(source, "contacts"));
    }
    // No scratch file stays behind on the computer either.
    EXPECT_TRUE(QDir(work).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << QDir(work).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(EachKind, CancelDuring, ::testing::ValuesIn(kCases),
                         [](const auto& param_info) { return std::string(param_info.param.kind); });

// A cancel that arrives while the last item of a kind is being written: the
// item arrives, so the kind has everything and is not reported as cancelled.
TEST(CancelDuringTheLastItem, TheFinishedKindIsASuccessAndTheRestIsCancelled) {
    LabSession lab({"--android", "2", "--seed", "31"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", QString::number(kSource), "--contacts", "1", "--messages",
                               "3", "--calls", "0", "--events", "0"})
                  .exitCode,
              0);
    ASSERT_TRUE(lab.agentFaults(kDestination,
                                {"stall=" + QString::number(kStallSeconds), "only=AddPerson"}));
    const CancelledRun run =
        cancelWhen(lab,
                   {"--from", lab.androidPhone(kSource), "--to", lab.androidPhone(kDestination),
                    "--kinds", "contacts,sms", "--work", lab.dir() + "/work"},
                   "progress contacts 1/1");
    ASSERT_FALSE(run.report.isEmpty()) << run.output.toStdString();
    EXPECT_EQ(kindReport(run.report, "contacts").value("outcome").toString(), "success");
    EXPECT_EQ(kindReport(run.report, "contacts").value("copied").toInt(), 1);
    EXPECT_EQ(kindReport(run.report, "sms").value("outcome").toString(), "cancelled");
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_TRUE(lab.agentFaults(kDestination, {}));
    EXPECT_EQ(projectedRecords(lab.dump(kDestination), "contacts"),
              projectedRecords(lab.dump(kSource), "contacts"));
    EXPECT_TRUE(lab.dump(kDestination).value("messages").toArray().isEmpty());
}

// A cancel while the destination's user has not yet answered the SMS prompt:
// no message is written after it, from a phone or from a backup, and the
// kind says it was cancelled rather than refused.
TEST(CancelDuringTheSmsPrompt, NoMessageIsWrittenAfterIt) {
    constexpr int kAsking = 1; // Android 10: the prompt is shown
    LabSession lab({"--android", "2", "--seed", "32"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", "0", "--records", "4"}).exitCode, 0);
    ASSERT_TRUE(lab.makeBackup({"--format", "db", "--ios", "14", "--seed", "9", "--count", "6"}));
    ASSERT_TRUE(lab.agentFaults(kAsking, {"smsaccept=-1"}));

    const QStringList sources[] = {
        {"--from", "backup:0", "--backup-dir", lab.backupDir()},
        {"--from", lab.androidPhone(0)},
    };
    for (const QStringList& source : sources) {
        const CancelledRun run =
            cancelWhen(lab,
                       source + QStringList{"--to", lab.androidPhone(kAsking), "--kinds",
                                            "sms,calendar", "--work", lab.dir() + "/work"},
                       "sms: waiting");
        ASSERT_FALSE(run.report.isEmpty()) << run.output.toStdString();
        const QJsonObject sms = kindReport(run.report, "sms");
        EXPECT_EQ(sms.value("outcome").toString(), "cancelled") << source.join(' ').toStdString();
        EXPECT_EQ(sms.value("reason").toString(), "cancelled") << source.join(' ').toStdString();
        EXPECT_GT(sms.value("offered").toInt(), 0) << run.output.toStdString();
        EXPECT_EQ(sms.value("copied").toInt(), 0);
        EXPECT_EQ(kindReport(run.report, "calendar").value("offered").toInt(), -1);
        EXPECT_EQ(run.exitCode, 1);
    }
    ASSERT_TRUE(lab.agentFaults(kAsking, {}));
    EXPECT_TRUE(lab.dump(kAsking).value("messages").toArray().isEmpty());
}

// A cancel while the phones are still being prepared: the driver still ends
// with its report, in which no kind began.
TEST(CancelWhilePreparing, EveryKindIsReportedAsNotStarted) {
    LabSession lab({"--android", "2", "--seed", "33"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", QString::number(kSource), "--records", "3"}).exitCode, 0);
    // The driver says when it begins to prepare a phone.
    const CancelledRun run =
        cancelWhen(lab,
                   {"--from", lab.androidPhone(kSource), "--to", lab.androidPhone(kDestination),
                    "--kinds", "contacts,sms", "--work", lab.dir() + "/work"},
                   "progress Preparing the source phone");
    ASSERT_FALSE(run.report.isEmpty()) << run.output.toStdString();
    for (const char* kind : {"contacts", "sms"}) {
        EXPECT_EQ(kindReport(run.report, kind).value("outcome").toString(), "cancelled") << kind;
        EXPECT_EQ(kindReport(run.report, kind).value("text").toString(),
                  "Cancelled before it started")
            << kind;
    }
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(lab.dump(kDestination).value("contacts").toArray().isEmpty());
}

} // namespace
