// Android phone to Android phone, end to end in the virtual lab: the real adb,
// the virtual phones and their agents, the libraries and the job, driven
// through the headless driver; the destination's store is then compared
// with the source's, record by record and file by file.
#include <gtest/gtest.h>

#include "lab_session.h"

namespace {

void expectSameData(const QJsonObject& source, const QJsonObject& destination) {
    for (const QString kind : {"contacts", "messages", "calls", "calendar"}) {
        EXPECT_FALSE(projectedRecords(source, kind).isEmpty()) << kind.toStdString();
        EXPECT_EQ(projectedRecords(destination, kind), projectedRecords(source, kind))
            << kind.toStdString();
    }
    for (const QString media : {"photo", "video", "music"}) {
        EXPECT_FALSE(fileContents(source, media).isEmpty()) << media.toStdString();
        EXPECT_EQ(fileContents(destination, media), fileContents(source, media))
            << media.toStdString();
    }
    EXPECT_EQ(appPackages(destination), appPackages(source));
}

void expectAllSucceeded(const QJsonObject& report, const ProgramRun& run) {
    ASSERT_FALSE(report.isEmpty()) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(report.value("success").toBool()) << run.out.toStdString();
    const QJsonObject kinds = report.value("kinds").toObject();
    EXPECT_EQ(kinds.size(), 8);
    for (auto it = kinds.begin(); it != kinds.end(); ++it)
        EXPECT_EQ(it.value().toObject().value("outcome").toString(), "success")
            << it.key().toStdString() << ": "
            << it.value().toObject().value("text").toString().toStdString();
    EXPECT_EQ(run.exitCode, 0);
}

class AndroidToAndroid : public ::testing::TestWithParam<std::pair<int, int>> {};

// The default lab has phone 0 below Android 4.4 (no SMS prompt) and phone 1
// at Android 10 or later (the prompt, accepted after a moment).
TEST_P(AndroidToAndroid, EveryKindArrivesWhole) {
    const auto [source, destination] = GetParam();
    LabSession lab({"--android", "2", "--seed", "7"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", QString::number(source), "--records", "12"}).exitCode, 0);

    ProgramRun run;
    const QJsonObject report = lab.transfer(
        {"--from", lab.androidPhone(source), "--to", lab.androidPhone(destination), "--all"}, &run);
    expectAllSucceeded(report, run);
    expectSameData(lab.dump(source), lab.dump(destination));
}

INSTANTIATE_TEST_SUITE_P(Destinations, AndroidToAndroid,
                         ::testing::Values(std::make_pair(1, 0), std::make_pair(0, 1)),
                         [](const auto& param_info) {
                             return param_info.param.second == 0 ? std::string("ToAndroidBelow44")
                                                                 : std::string("ToAndroid10");
                         });

} // namespace
