// The database generators other parts of the lab build on: the same seed
// gives the same data, and the command-line tool writes the four files
// under their iOS names.
#include "ios_fixtures.h"
#include "test_util.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

extern char** environ;

namespace {

int runTool(std::vector<std::string> args) {
    args.insert(args.begin(), std::string(KESTROVA_BIN_DIR) + "/kestrova-iosfixture");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Fixtures, SameSeedSameRecordsOtherSeedOtherRecords) {
    dbstest::TempDir dir;
    iosfix::Options opt;
    opt.count = 30;
    std::vector<iosfix::ExpectedMessage> a, b, c;
    ASSERT_TRUE(iosfix::writeSmsDb(dir.file("a.db"), opt, &a));
    ASSERT_TRUE(iosfix::writeSmsDb(dir.file("b.db"), opt, &b));
    opt.seed = 2;
    ASSERT_TRUE(iosfix::writeSmsDb(dir.file("c.db"), opt, &c));
    ASSERT_EQ(a.size(), 30u);
    ASSERT_EQ(b.size(), 30u);
    bool allSame = true, anyDifferent = false;
    for (size_t i = 0; i < a.size(); ++i) {
        allSame &= a[i].body == b[i].body && a[i].date == b[i].date && a[i].address == b[i].address;
        anyDifferent |= a[i].body != c[i].body;
    }
    EXPECT_TRUE(allSame);
    EXPECT_TRUE(anyDifferent);
}

TEST(Fixtures, ToolWritesTheFourDatabasesAndRefusesBadArguments) {
    dbstest::TempDir dir;
    const std::string out = dir.file("phone/Library");
    ASSERT_EQ(runTool({"--ios", "6", "--seed", "4", "--count", "12", "--out", out}), 0);
    for (const char* name :
         {"sms.db", "AddressBook.sqlitedb", "call_history.db", "Calendar.sqlitedb"})
        EXPECT_EQ(::access((out + "/" + name).c_str(), R_OK), 0) << name;
    ASSERT_EQ(runTool({"--ios", "14", "--count", "3", "--out", out, "--wal-tail"}), 0);
    EXPECT_EQ(::access((out + "/CallHistory.storedata-wal").c_str(), R_OK), 0);
    EXPECT_EQ(runTool({"--ios", "4", "--out", out}), 2);
    EXPECT_EQ(runTool({"--count", "x", "--out", out}), 2);
    EXPECT_EQ(runTool({"--ios", "17"}), 2);
}

TEST(Fixtures, LocationsFollowTheVersion) {
    EXPECT_EQ(iosfix::callHistoryFileName(7), "call_history.db");
    EXPECT_EQ(iosfix::callHistoryFileName(8), "CallHistory.storedata");
    const auto old = iosfix::dbLocation(iosfix::DbKind::CallHistory, 7);
    EXPECT_EQ(old.domain, "WirelessDomain");
    EXPECT_EQ(old.relativePath, "Library/CallHistory/call_history.db");
    const auto sms = iosfix::dbLocation(iosfix::DbKind::Sms, 17);
    EXPECT_EQ(sms.domain + "-" + sms.relativePath, "HomeDomain-Library/SMS/sms.db");
}

} // namespace
