// The headless driver's command line, its progress lines and its list.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device_listing.h"
#include "fruitlink.h"
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
    EXPECT_FALSE(parse({"--from", "0", "--to", "android:1", "--all"}, &r, &error));
    EXPECT_NE(error.find("android:0"), std::string::npos) << "a bare number is ambiguous";
    EXPECT_FALSE(parse({"--all", "--wait", "soon"}, &r, &error));
    EXPECT_FALSE(parse({"--all", "android:1"}, &r, &error));
    EXPECT_NE(error.find("unexpected argument"), std::string::npos);
    EXPECT_FALSE(parse({"--all", "--frm", "android:0"}, &r, &error));
    EXPECT_FALSE(parse({"--from", "emulator-5554", "--to", "00008030-0011223344556601", "--all"},
                       &r, &error))
        << "an iPhone is no destination";
}

// What --list prints beside each position, a serial or UDID alone, is taken.
TEST(TransferCli, SerialsAndUdidsAloneAndTheActionsThatNeedNoKinds) {
    TransferRequest r;
    std::string error;
    ASSERT_TRUE(parse({"--from", "00008030-0011223344556601", "--to", "127.0.0.1:5557", "--kinds",
                       "contacts", "--kinds", "sms"},
                      &r, &error))
        << error;
    EXPECT_EQ(r.sourceType, kDeviceIphone);
    EXPECT_EQ(r.sourceSerial, "00008030-0011223344556601");
    EXPECT_EQ(r.destinationSerial, "127.0.0.1:5557");
    EXPECT_EQ(r.destinationIndex, -1);
    EXPECT_TRUE(r.kinds[Kind::Contacts] && r.kinds[Kind::Sms]) << "--kinds given twice adds up";

    for (auto [argument, action] : {std::pair{"--help", kestrova::CliAction::Help},
                                    {"-h", kestrova::CliAction::Help},
                                    {"--version", kestrova::CliAction::Version},
                                    {"--list", kestrova::CliAction::List}}) {
        TransferRequest a;
        ASSERT_TRUE(parse({argument, "--json"}, &a, &error)) << argument << ": " << error;
        EXPECT_EQ(a.action, action) << argument;
    }
    const std::string help = kestrova::transferHelpText();
    for (const char* part :
         {"--from", "--list", "Exit status", "3  a source or destination", "kestrova.log"})
        EXPECT_NE(help.find(part), std::string::npos) << part;
    EXPECT_EQ(help.find("--fast-sms-countdown"), std::string::npos) << "for tests only";
}

TEST(TransferCli, ProgressLinesSayBytesAndTimeLeftForMediaAndRepeatNothing) {
    EXPECT_EQ(kestrova::byteText(999), "999 B");
    EXPECT_EQ(kestrova::byteText(2'450'000), "2.4 MB");
    EXPECT_EQ(kestrova::byteText(12'000'000'000), "12.0 GB");

    kestrova::ProgressSnapshot s;
    s.running = Kind::Photos;
    auto& photos = s.kinds[Kind::Photos];
    photos.current = 3;
    photos.total = 10;
    photos.totalSize = 10'000'000;
    photos.doneSize = 2'000'000;
    s.fileDone = 500'000;
    EXPECT_EQ(kestrova::progressText(s, 1000), "photos 3/10 2.5 MB of 10.0 MB");
    EXPECT_EQ(kestrova::progressText(s, 5000), "photos 3/10 2.5 MB of 10.0 MB, about 15 s left");
    // Sizes known only file by file: the time left by files done.
    photos.totalSize = 0;
    EXPECT_EQ(kestrova::progressText(s, 4000), "photos 3/10 2.5 MB, about 16 s left");
    photos.totalSize = 10'000'000;
    s.running = Kind::Contacts;
    s.kinds[Kind::Contacts].current = 4;
    s.kinds[Kind::Contacts].total = 40;
    EXPECT_EQ(kestrova::progressText(s, 5000), "contacts 4/40");
    s.running.reset();
    s.preparing = 430;
    EXPECT_EQ(kestrova::progressText(s, 0), "Reading the iPhone: 43%");

    // A line is printed once; while only bytes move, at most once a second.
    char buffer[4096] = {};
    FILE* out = fmemopen(buffer, sizeof buffer - 1, "w");
    ASSERT_NE(out, nullptr);
    kestrova::ProgressPrinter printer(out);
    s.preparing = -1;
    printer.update(s, 0); // nothing runs yet: no line
    s.running = Kind::Contacts;
    printer.update(s, 100);
    printer.update(s, 300);
    s.running = Kind::Photos;
    s.fileDone = 0;
    printer.update(s, 400);
    s.fileDone = 100'000;
    printer.update(s, 600); // bytes only, too soon
    s.fileDone = 200'000;
    printer.update(s, 1500);
    photos.current = 4;
    printer.update(s, 1600); // a new count at once
    std::fclose(out);
    EXPECT_STREQ(buffer, "progress contacts 4/40\n"
                         "progress photos 3/10 2.0 MB of 10.0 MB\n"
                         "progress photos 3/10 2.2 MB of 10.0 MB\n"
                         "progress photos 4/10 2.2 MB of 10.0 MB\n");
}

TEST(TransferCli, UsageReportAndListAreJson) {
    const QJsonObject usage =
        QJsonDocument::fromJson(QByteArray::fromStdString(kestrova::usageJson("bad \"x\"")))
            .object();
    EXPECT_FALSE(usage.value("success").toBool(true));
    EXPECT_EQ(usage.value("error").toString(), "usage");
    EXPECT_EQ(usage.value("message").toString(), "bad \"x\"");

    kestrova::DeviceListing listing;
    kestrova::ListedPhone android;
    android.type = "android";
    android.position = 1;
    android.id = "127.0.0.1:5557";
    kestrova::describeAndroidState(-2, &android);
    kestrova::ListedPhone iphone;
    iphone.type = "iphone";
    iphone.id = "00008030-0011223344556601";
    iphone.model = "iPhone14,2 (Ana's \"phone\")";
    kestrova::describeIphoneState(-1, IPHONE_ERROR_TRUST_PENDING, &iphone);
    kestrova::ListedBackup backup;
    backup.index = 0;
    backup.name = "Ana";
    backup.encrypted = true;
    listing.phones = {android, iphone};
    listing.backups = {backup};
    const QJsonObject list =
        QJsonDocument::fromJson(QByteArray::fromStdString(kestrova::listingJson(listing))).object();
    const QJsonArray phones = list.value("phones").toArray();
    ASSERT_EQ(phones.size(), 2);
    EXPECT_EQ(phones[0].toObject().value("argument").toString(), "android:1");
    EXPECT_EQ(phones[0].toObject().value("state").toString(), "unauthorized");
    EXPECT_FALSE(phones[0].toObject().value("ready").toBool(true));
    EXPECT_EQ(phones[1].toObject().value("state").toString(), "waiting_for_trust");
    EXPECT_EQ(phones[1].toObject().value("model").toString(), "iPhone14,2 (Ana's \"phone\")");
    const QJsonObject first = list.value("backups").toArray()[0].toObject();
    EXPECT_EQ(first.value("argument").toString(), "backup:0");
    EXPECT_TRUE(first.value("encrypted").toBool());
    EXPECT_NE(kestrova::listingText(listing).find("waiting for Trust"), std::string::npos);
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
