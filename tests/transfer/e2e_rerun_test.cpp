// Safe to run twice, end to end in the virtual lab: the same job run again
// adds nothing and says so; a job cut short by an unplugged phone and run
// again leaves the destination equal to the source, with nothing twice; a
// dry run changes nothing and counts what the job then copies.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QProcess>
#include <QThread>

#include "lab_session.h"

namespace {

QJsonObject kindReport(const QJsonObject& report, const QString& kind) {
    return report.value("kinds").toObject().value(kind).toObject();
}

// Everything a phone holds that a copy writes, comparable between runs.
QStringList holdings(const QJsonObject& dump) {
    QStringList all;
    for (const QString kind : {"contacts", "messages", "calls", "calendar"})
        for (const QString& record : projectedRecords(dump, kind))
            all << kind + " " + record;
    all += allFiles(dump);
    all += appPackages(dump);
    return all;
}

struct Mode {
    const char* name;
    const char* kinds;
};

class RunTwice : public ::testing::TestWithParam<Mode> {};

TEST_P(RunTwice, TheSecondRunAddsNothingAndCountsWhatWasThere) {
    const Mode& mode = GetParam();
    LabSession lab({"--android", "2", "--seed", "51"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    QStringList from;
    const QString name = mode.name;
    if (name == "Android") {
        ASSERT_EQ(lab.lab("fill", {"--phone", "0", "--records", "9"}).exitCode, 0);
        from = {"--from", lab.androidPhone(0)};
    } else if (name == "Iphone") {
        ASSERT_TRUE(lab.startIphone("relay=ios7,ios=7,count=8"));
        from = {"--from", "iphone:0"};
    } else {
        ASSERT_TRUE(
            lab.makeBackup({"--format", "db", "--ios", "14", "--seed", "9", "--count", "8"}));
        from = {"--from", "backup:0", "--backup-dir", lab.backupDir()};
    }
    const QStringList job = from + QStringList{"--to", lab.androidPhone(1), "--kinds", mode.kinds};

    ProgramRun run;
    const QJsonObject first = lab.transfer(job, &run);
    ASSERT_TRUE(first.value("success").toBool()) << run.out.toStdString();
    const QStringList afterFirst = holdings(lab.dump(1));
    ASSERT_FALSE(afterFirst.isEmpty());

    const QJsonObject second = lab.transfer(job, &run);
    ASSERT_FALSE(second.isEmpty()) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(second.value("success").toBool()) << run.out.toStdString();
    EXPECT_EQ(run.exitCode, 0);
    const QJsonObject kinds = second.value("kinds").toObject();
    for (auto it = kinds.begin(); it != kinds.end(); ++it) {
        const QJsonObject k = it.value().toObject();
        const QJsonObject before = kindReport(first, it.key());
        EXPECT_EQ(k.value("outcome").toString(), "success") << it.key().toStdString();
        EXPECT_EQ(k.value("copied").toInt(), 0) << it.key().toStdString();
        EXPECT_EQ(k.value("already").toInt(), before.value("copied").toInt())
            << it.key().toStdString();
        EXPECT_EQ(k.value("text").toString(),
                  QString("Success: 0 copied, %1 already there").arg(k.value("already").toInt()))
            << it.key().toStdString();
    }
    EXPECT_EQ(holdings(lab.dump(1)), afterFirst);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RunTwice,
    ::testing::Values(Mode{"Android", "contacts,sms,calllogs,calendar,photos,videos,music,apps"},
                      Mode{"Iphone", "contacts,sms,calendar,photos,videos,music"},
                      Mode{"Backup", "contacts,sms,calllogs,calendar,photos,videos,music"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Phones whose agents know only pages of five (an agent from before record
// ranges): the job copies every record once, across the pages' boundaries,
// and a second run finds every one there.
TEST(OlderAgents, PagesOfFiveCopyEveryRecordOnceAndTheRerunAddsNothing) {
    LabSession lab({"--android", "2", "--seed", "57"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", "0", "--records", "12"}).exitCode, 0);
    ASSERT_TRUE(lab.agentFaults(0, {"noranges=1"}));
    ASSERT_TRUE(lab.agentFaults(1, {"noranges=1"}));
    const QStringList job = {"--from",  lab.androidPhone(0),
                             "--to",    lab.androidPhone(1),
                             "--kinds", "contacts,sms,calllogs,calendar"};
    ProgramRun run;
    const QJsonObject first = lab.transfer(job, &run);
    ASSERT_TRUE(first.value("success").toBool()) << run.out.toStdString();
    const QJsonObject source = lab.dump(0), destination = lab.dump(1);
    for (const QString kind : {"contacts", "messages", "calls", "calendar"}) {
        EXPECT_EQ(projectedRecords(source, kind).size(), 12) << kind.toStdString();
        EXPECT_EQ(projectedRecords(destination, kind), projectedRecords(source, kind))
            << kind.toStdString();
    }
    const QJsonObject second = lab.transfer(job, &run);
    const QJsonObject kinds = second.value("kinds").toObject();
    EXPECT_EQ(kinds.size(), 4);
    for (auto it = kinds.begin(); it != kinds.end(); ++it) {
        EXPECT_EQ(it.value().toObject().value("copied").toInt(), 0) << it.key().toStdString();
        EXPECT_EQ(it.value().toObject().value("already").toInt(), 12) << it.key().toStdString();
    }
    EXPECT_EQ(holdings(lab.dump(1)), holdings(destination));
}

// A dry run writes nothing (not even the SMS-app prompt comes up) and
// counts per kind exactly what the job then copies.
TEST(DryRun, ChangesNothingAndCountsWhatTheJobThenCopies) {
    LabSession lab({"--android", "2", "--seed", "53"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(
        lab.lab("fill", {"--phone", "0", "--records", "7", "--photos", "3", "--photo-size", "30000",
                         "--videos", "2", "--video-size", "200000", "--music", "2", "--apps", "2"})
            .exitCode,
        0);
    const QStringList job = {"--from", lab.androidPhone(0), "--to", lab.androidPhone(1), "--all"};
    // Part of it is there already.
    ASSERT_TRUE(lab.transfer({"--from", lab.androidPhone(0), "--to", lab.androidPhone(1), "--kinds",
                              "contacts,photos"})
                    .value("success")
                    .toBool());
    const QStringList before = holdings(lab.dump(1));

    ProgramRun run;
    const QJsonObject dry = lab.transfer(job + QStringList{"--dry-run"}, &run);
    ASSERT_TRUE(dry.value("dry_run").toBool()) << run.out.toStdString();
    EXPECT_EQ(holdings(lab.dump(1)), before);
    EXPECT_FALSE(run.out.contains("sms: waiting")) << "the dry run asked for the SMS app";
    EXPECT_EQ(run.exitCode, 0);

    const QJsonObject real = lab.transfer(job, &run);
    ASSERT_TRUE(real.value("success").toBool()) << run.out.toStdString();
    const QJsonObject planned = dry.value("kinds").toObject();
    EXPECT_EQ(planned.size(), 8);
    for (auto it = planned.begin(); it != planned.end(); ++it) {
        const QJsonObject p = it.value().toObject();
        const QJsonObject done = kindReport(real, it.key());
        const std::string kind = it.key().toStdString();
        EXPECT_EQ(p.value("offered").toInt(), done.value("offered").toInt()) << kind;
        EXPECT_EQ(p.value("to_copy").toInt(), done.value("copied").toInt()) << kind;
        EXPECT_EQ(p.value("already").toInt(), done.value("already").toInt()) << kind;
    }
    EXPECT_GT(kindReport(dry, "contacts").value("already").toInt(), 0);
    EXPECT_GT(kindReport(dry, "videos").value("bytes").toInt(), 0);
}

// A job whose destination or source is pulled out in the middle, plugged in
// again and run again: the destination ends equal to the source.
struct Interruption {
    const char* name;
    int slowPhone;       // whose agent answers the command slowly
    const char* command; // one per item of the kind in hand
    const char* marker;  // the progress line after which the phone goes
    int unplugged;
};

class RunAgainAfterAnUnplug : public ::testing::TestWithParam<Interruption> {};

TEST_P(RunAgainAfterAnUnplug, TheDestinationEndsEqualToTheSourceWithNothingTwice) {
    const Interruption& c = GetParam();
    LabSession lab({"--android", "2", "--seed", "52"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(
        lab.lab("fill", {"--phone", "0", "--records", "8", "--photos", "3", "--photo-size", "40000",
                         "--videos", "4", "--video-size", "3000000", "--music", "2", "--apps", "2"})
            .exitCode,
        0);
    ASSERT_TRUE(lab.agentFaults(c.slowPhone, {"stall=1", QString("only=") + c.command}));
    const QStringList job = {
        "--from", lab.androidPhone(0), "--to", lab.androidPhone(1), "--all", "--wait", "20"};
    auto driver = lab.start("kestrova-transfer", job);
    QString out;
    for (int i = 0; i < 1200 && !out.contains(c.marker); ++i) {
        if (driver->state() == QProcess::NotRunning)
            break;
        driver->waitForReadyRead(100);
        out += QString::fromUtf8(driver->readAllStandardOutput());
    }
    ASSERT_TRUE(out.contains(c.marker)) << out.toStdString();
    ASSERT_EQ(lab.lab("unplug", {"--phone", QString::number(c.unplugged)}).exitCode, 0);
    ASSERT_TRUE(waitForExit(*driver, 300000));
    out += QString::fromUtf8(driver->readAllStandardOutput());
    const QJsonObject cut =
        QJsonDocument::fromJson(out.trimmed().split('\n').last().toUtf8()).object();
    ASSERT_FALSE(cut.isEmpty()) << out.toStdString();
    EXPECT_FALSE(cut.value("success").toBool()) << "the unplug came too late";

    ASSERT_TRUE(lab.agentFaults(c.slowPhone, {}));
    ASSERT_EQ(lab.lab("plug", {"--phone", QString::number(c.unplugged)}).exitCode, 0);
    ProgramRun run;
    QJsonObject again;
    // The phone takes a moment to be listed again after it is plugged in.
    for (int attempt = 0; attempt < 3; ++attempt) {
        again = lab.transfer(job, &run);
        if (run.exitCode != 3)
            break;
        QThread::sleep(2);
    }
    ASSERT_FALSE(again.isEmpty()) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(again.value("success").toBool()) << run.out.toStdString();
    int already = 0;
    const QJsonObject kinds = again.value("kinds").toObject();
    for (auto it = kinds.begin(); it != kinds.end(); ++it) {
        EXPECT_EQ(it.value().toObject().value("outcome").toString(), "success")
            << it.key().toStdString() << ": "
            << it.value().toObject().value("text").toString().toStdString();
        already += it.value().toObject().value("already").toInt();
    }
    EXPECT_GT(already, 0) << "the second run found nothing of the first";

    const QJsonObject source = lab.dump(0);
    const QJsonObject destination = lab.dump(1);
    for (const QString kind : {"contacts", "messages", "calls", "calendar"})
        EXPECT_EQ(projectedRecords(destination, kind), projectedRecords(source, kind))
            << kind.toStdString();
    for (const QString media : {"photo", "video", "music"})
        EXPECT_EQ(fileContents(destination, media), fileContents(source, media))
            << media.toStdString();
    EXPECT_EQ(appPackages(destination), appPackages(source));
}

INSTANTIATE_TEST_SUITE_P(Points, RunAgainAfterAnUnplug,
                         ::testing::Values(Interruption{"DestinationDuringMessages", 1, "SendSMS",
                                                        "progress sms 3/", 1},
                                           Interruption{"SourceDuringVideos", 1, "write_videofile",
                                                        "progress videos 2/", 0}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

} // namespace
