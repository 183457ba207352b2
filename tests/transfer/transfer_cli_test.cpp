// The headless driver's command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "transfer_cli.h"

using kestrova::Kind;
using kestrova::TransferRequest;

namespace {

bool parse(std::vector<std::string> args, TransferRequest* r, std::string* error) {
    args.insert(args.begin(), "kestrova-transfer");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return kestrova::parseTransferArgs(static_cast<int>(argv.size()), argv.data(), r, error);
}

TEST(TransferCli, SourcesDestinationsAndKinds) {
    TransferRequest r;
    std::string error;
    ASSERT_TRUE(parse({"--from", "backup:2", "--to", "android:0", "--kinds", "contacts,sms,photos"},
                      &r, &error))
        << error;
    EXPECT_EQ(r.sourceType, kDeviceItunesBackup);
    EXPECT_EQ(r.sourceIndex, 2);
    EXPECT_EQ(r.destinationIndex, 0);
    EXPECT_EQ(r.mode(), kModeItunes2Android);
    EXPECT_TRUE(r.kinds[Kind::Contacts] && r.kinds[Kind::Sms] && r.kinds[Kind::Photos]);
    EXPECT_FALSE(r.kinds[Kind::CallLogs] || r.kinds[Kind::Apps]);

    TransferRequest bySerial;
    ASSERT_TRUE(parse(
        {"--from", "android:127.0.0.1:5555", "--to", "android:emulator-5556", "--kinds", "apps"},
        &bySerial, &error));
    EXPECT_EQ(bySerial.sourceSerial, "127.0.0.1:5555");
    EXPECT_EQ(bySerial.destinationSerial, "emulator-5556");
    EXPECT_EQ(bySerial.sourceIndex, -1);

    TransferRequest all;
    ASSERT_TRUE(parse({"--from", "iphone:0", "--to", "android:1", "--all"}, &all, &error));
    EXPECT_EQ(all.mode(), kModeIphone2Android);
    for (bool k : all.kinds)
        EXPECT_TRUE(k);
}

TEST(TransferCli, DuplicatesAndDryRun) {
    TransferRequest r;
    std::string error;
    ASSERT_TRUE(parse({"--from", "android:0", "--to", "android:1", "--all"}, &r, &error));
    EXPECT_TRUE(r.skipExisting);
    EXPECT_FALSE(r.dryRun);
    TransferRequest keep;
    ASSERT_TRUE(parse(
        {"--from", "android:0", "--to", "android:1", "--all", "--duplicates", "keep", "--dry-run"},
        &keep, &error));
    EXPECT_FALSE(keep.skipExisting);
    EXPECT_TRUE(keep.dryRun);
    EXPECT_FALSE(
        parse({"--from", "android:0", "--to", "android:1", "--all", "--duplicates", "maybe"}, &r,
              &error));
}

TEST(TransferCli, RefusesWhatCannotBeRun) {
    TransferRequest r;
    std::string error;
    EXPECT_FALSE(parse({"--from", "android:0", "--to", "android:1"}, &r, &error));
    EXPECT_NE(error.find("kinds"), std::string::npos);
    EXPECT_FALSE(parse({"--from", "android:0", "--to", "iphone:1", "--all"}, &r, &error));
    EXPECT_FALSE(parse({"--from", "android:1", "--to", "android:1", "--all"}, &r, &error));
    EXPECT_FALSE(parse({"--from", "pixel:0", "--to", "android:1", "--all"}, &r, &error));
    EXPECT_FALSE(parse({"--from", "iphone:x", "--to", "android:1", "--all"}, &r, &error));
    EXPECT_FALSE(parse(
        {"--from", "iphone:not-a-udid-but-long-enough", "--to", "android:1", "--all"}, &r, &error));
    TransferRequest byUdid;
    ASSERT_TRUE(parse({"--from", "iphone:00008030-0011223344556601", "--to", "android:1", "--all"},
                      &byUdid, &error));
    EXPECT_EQ(byUdid.sourceType, kDeviceIphone);
    EXPECT_EQ(byUdid.sourceSerial, "00008030-0011223344556601");
    EXPECT_FALSE(parse({"--kinds", "contacts,notes", "--to", "android:1"}, &r, &error));
    EXPECT_FALSE(parse({"--from"}, &r, &error));
}

} // namespace

TEST(TransferCli, BackupPasswordComesFromAFileOrTheEnvironmentNeverAnArgument) {
    const std::string file = std::string(KESTROVA_TEST_BUILD_DIR) + "/transfer-cli-password";
    FILE* f = fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("pass word ü\r\nsecond line\n", f);
    fclose(f);
    TransferRequest r;
    std::string error;
    setenv("KESTROVA_BACKUP_PASSWORD", "from the environment", 1);
    ASSERT_TRUE(parse({"--from", "backup:0", "--to", "android:1", "--all", "--password-file", file},
                      &r, &error));
    ASSERT_TRUE(kestrova::loadBackupPassword(&r, &error)) << error;
    EXPECT_EQ(r.backupPassword, "pass word ü") << "the first line, without its line end";
    EXPECT_EQ(getenv("KESTROVA_BACKUP_PASSWORD"), nullptr) << "no child inherits it";

    TransferRequest fromEnv;
    setenv("KESTROVA_BACKUP_PASSWORD", "from the environment", 1);
    ASSERT_TRUE(parse({"--from", "backup:0", "--to", "android:1", "--all"}, &fromEnv, &error));
    ASSERT_TRUE(kestrova::loadBackupPassword(&fromEnv, &error));
    EXPECT_EQ(fromEnv.backupPassword, "from the environment");

    TransferRequest missing;
    ASSERT_TRUE(parse(
        {"--from", "backup:0", "--to", "android:1", "--all", "--password-file", file + ".none"},
        &missing, &error));
    EXPECT_FALSE(kestrova::loadBackupPassword(&missing, &error));
    TransferRequest plain;
    EXPECT_FALSE(parse({"--from", "backup:0", "--to", "android:1", "--all", "--password", "x"},
                       &plain, &error));
    EXPECT_NE(error.find("never taken as an argument"), std::string::npos);
    remove(file.c_str());
}
