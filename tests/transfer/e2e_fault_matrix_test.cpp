// The fault matrix: a phone that answers wrongly (a reply cut short, a reply
// longer than it says, a full disk) on either side, during records and
// during files. Whatever happens, the job ends and its report says exactly
// what arrived: the destination is compared with the counts.
#include <gtest/gtest.h>

#include "lab_session.h"

namespace {

constexpr int kSource = 0;
constexpr int kDestination = 1;

struct FaultCase {
    const char* name;
    const char* kind;   // the driver's name of the kind
    const char* stored; // the dump's name: a record list or a media kind
    int phone;          // the phone that misbehaves
    QStringList faults; // the agent's fault lines
};

QJsonObject kindReport(const QJsonObject& report, const QString& kind) {
    return report.value("kinds").toObject().value(kind).toObject();
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, TheJobEndsAndItsReportIsWhatArrived) {
    const FaultCase& c = GetParam();
    LabSession lab({"--android", "2", "--seed", "41"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", QString::number(kSource), "--records", "12", "--photos",
                               "5", "--photo-size", "20000"})
                  .exitCode,
              0);
    ASSERT_TRUE(lab.agentFaults(c.phone, c.faults));
    ProgramRun run;
    const QJsonObject report = lab.transfer({"--from", lab.androidPhone(kSource), "--to",
                                             lab.androidPhone(kDestination), "--kinds", c.kind},
                                            &run);
    ASSERT_TRUE(lab.agentFaults(c.phone, {}));
    ASSERT_FALSE(report.isEmpty())
        << "no report: " << run.out.toStdString() << run.err.toStdString();

    const QJsonObject kind = kindReport(report, c.kind);
    const int copied = kind.value("copied").toInt();
    const int offered = kind.value("offered").toInt();
    const QJsonObject source = lab.dump(kSource);
    const QJsonObject destination = lab.dump(kDestination);
    const bool files = QString(c.stored) == "photo";
    const QStringList there =
        files ? fileContents(destination, c.stored) : projectedRecords(destination, c.stored);
    const QStringList offeredItems =
        files ? fileContents(source, c.stored) : projectedRecords(source, c.stored);
    EXPECT_EQ(there.size(), copied) << kind.value("text").toString().toStdString();
    for (const QString& item : there)
        EXPECT_TRUE(offeredItems.contains(item)) << "half-written: " << item.toStdString();
    // Success only when everything arrived; otherwise the exit status says so.
    if (kind.value("outcome").toString() == "success")
        EXPECT_EQ(copied, offeredItems.size());
    else
        EXPECT_EQ(run.exitCode, 1) << kind.value("text").toString().toStdString();
    EXPECT_LE(copied, offered < 0 ? 0 : offered);
}

const FaultCase kCases[] = {
    {"SourcePageCut",
     "contacts",
     "contacts",
     kSource,
     {"cut=3", "only=getcontactRange", "times=1"}},
    {"SourcePageOversized",
     "contacts",
     "contacts",
     kSource,
     {"oversize=64", "drop=1", "only=getcontactRange", "times=1"}},
    {"SourcePhotoListCut",
     "photos",
     "photo",
     kSource,
     {"cut=2", "only=getdcimindexinfo", "times=2"}},
    {"DestinationWriteReplyCut",
     "calllogs",
     "calls",
     kDestination,
     {"cut=1", "only=AddCallHistory", "times=1"}},
    {"DestinationDiskFullRecords", "calendar", "calendar", kDestination, {"diskfull=1"}},
    {"DestinationDiskFullFiles", "photos", "photo", kDestination, {"diskfull=1"}},
    {"DestinationFileCheckOversized",
     "photos",
     "photo",
     kDestination,
     {"oversize=16", "drop=1", "only=checkFileisExist", "times=1"}},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

} // namespace
