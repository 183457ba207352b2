// Command texts of the writes, media naming and the app helpers.
#include <gtest/gtest.h>

#include <string>

#include "app_ops.h"
#include "channel.h"
#include "hexcodec.h"
#include "media_naming.h"
#include "personal_commands.h"

using namespace greenlink;

TEST(WriteCommands, MessageAlwaysCarriesSixPositionsAndWholeValues) {
    std::string body(5 * 1024, 'b');
    SMessage m{};
    m.address = const_cast<char*>("+49 30 1234");
    m.body = body.data();
    m.date = const_cast<char*>("1667093400000");
    m.type = const_cast<char*>("2");
    std::string command = buildSendSmsCommand(&m);
    EXPECT_EQ(command, "SendSMS:" + DataToHex("+49 30 1234") + "-" + DataToHex(body) + "-" +
                           DataToHex("1667093400000") + "--" + DataToHex("-1") + "-" +
                           DataToHex("2") + ";");
}

TEST(WriteCommands, ContactNameJoinsFirstAndLastName) {
    ABPerson p{};
    p.firstName = const_cast<char*>("Anna");
    EXPECT_EQ(contactDisplayName(&p), "Anna");
    p.lastName = const_cast<char*>("Berg");
    EXPECT_EQ(contactDisplayName(&p), "Anna Berg");
    p.firstName = nullptr;
    EXPECT_EQ(contactDisplayName(&p), "Berg");
}

TEST(WriteCommands, AddPerson3HasEighteenFieldsAndATrailingSpace) {
    ABPerson p{};
    p.firstName = const_cast<char*>("A");
    p.mobile = const_cast<char*>("1");
    p.workEmail = const_cast<char*>("w");
    std::string command = buildAddPerson3Command(&p);
    std::string expected =
        "AddPerson3:41-" + std::string("-") + "31" + std::string(16, '-') + "77-20;";
    EXPECT_EQ(command, expected);

    // A last name: the display name first as before, the two parts after the
    // blank (the given name empty when there is none).
    p.lastName = const_cast<char*>("B");
    EXPECT_EQ(buildAddPerson3Command(&p), "AddPerson3:412042-" + std::string("-") + "31" +
                                              std::string(16, '-') + "77-20-41-42;");
    p.firstName = nullptr;
    EXPECT_EQ(buildAddPerson3Command(&p),
              "AddPerson3:42-" + std::string("-") + "31" + std::string(16, '-') + "77-20--42;");
}

TEST(WriteCommands, UpdatePersonSkipsWhatMustNotBeSent) {
    EXPECT_EQ(buildUpdatePersonCommand("12", 4, "0151"), "UpdatePerson:12:30313531:MOBILE;");
    EXPECT_EQ(buildUpdatePersonCommand("12", 12, "x"), "UpdatePerson:12:78:ORGANZATION;");
    EXPECT_EQ(buildUpdatePersonCommand("12", 4, "\""), "");
    EXPECT_EQ(buildUpdatePersonCommand("12", 4, ""), "");
    EXPECT_EQ(buildUpdatePersonCommand("", 4, "x"), "");
    EXPECT_EQ(buildUpdatePersonCommand("12", 14, "x"), "");
    EXPECT_EQ(buildUpdatePersonCommand("12", 21, "x"), "");
}

TEST(WriteCommands, CalendarWithoutRuleSendsASpace) {
    Calendar e{};
    e.title = const_cast<char*>("T");
    std::string command = buildAddCalenderCommand(&e);
    EXPECT_EQ(command, "AddCalender:54--------20;");
    CallHistory c{};
    c.number = const_cast<char*>("1");
    c.type = const_cast<char*>("3");
    EXPECT_EQ(buildAddCallHistoryCommand(&c), "AddCallHistory:31--33-;");
    c.name = const_cast<char*>("Bo");
    EXPECT_EQ(buildAddCallHistoryCommand(&c), "AddCallHistory:31--33--426F;");
}

TEST(CommandRetry, OnlyReadsAndClearsAreSentAgain) {
    EXPECT_TRUE(isRepeatableCommand("getsmsPart10:5;"));
    for (const char* range : {"getsmsRange:0:500:9;", "getcontactRange:0:500:9;",
                              "getcalllogRange:0:500:9;", "getcalendarRange:0:500:9;"})
        EXPECT_TRUE(isRepeatableCommand(range)) << range;
    EXPECT_TRUE(isRepeatableCommand("getdcimdata:1:0:10240;"));
    EXPECT_TRUE(isRepeatableCommand("checkFileisExist:a.jpg;"));
    EXPECT_FALSE(isRepeatableCommand("SendSMS:41-42-----;"));
    EXPECT_FALSE(isRepeatableCommand("AddPerson:41:;"));
    EXPECT_FALSE(isRepeatableCommand("write_videofile:100;"));
    EXPECT_FALSE(isRepeatableCommand("getsmsCountX;"));
    EXPECT_FALSE(isRepeatableCommand(nullptr));
}

TEST(MediaNaming, ClashCandidates) {
    EXPECT_EQ(clashCandidate("IMG_0001.jpg", 1), "IMG_0001(1).jpg");
    EXPECT_EQ(clashCandidate("IMG_0001.jpg", 12), "IMG_0001(12).jpg");
    EXPECT_EQ(clashCandidate("a.tar.gz", 2), "a.tar(2).gz");
    EXPECT_EQ(clashCandidate("notes", 1), "notes(1)");
    EXPECT_EQ(clashCandidate(".nomedia", 1), ".nomedia(1)");
}

TEST(MediaNaming, HostileNamesStayOneFileInTheFolder) {
    EXPECT_EQ(phoneFileName("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(phoneFileName("a;b.jpg"), "a_b.jpg");
    EXPECT_EQ(phoneFileName(".."), "_");
    EXPECT_EQ(phoneFileName(""), "unnamed");
    EXPECT_EQ(phoneFileName("$(rm -rf x) \"q\" 'x'.jpg"), "$(rm -rf x) \"q\" 'x'.jpg");
    std::string longName;
    for (int i = 0; i < 100; ++i)
        longName += "ä"; // two bytes each
    longName += "x.jpeg";
    std::string cut = phoneFileName(longName + longName);
    EXPECT_LE(cut.size(), 240u);
    EXPECT_EQ(cut.substr(cut.size() - 5), ".jpeg");
    EXPECT_EQ(cut.substr(0, 2), "ä");
}

TEST(MediaNaming, PhonePathsBecomeSdcardPaths) {
    EXPECT_EQ(adbPathForPhonePath("/storage/emulated/0/DCIM/a.jpg", "/storage/emulated/0"),
              "/sdcard/DCIM/a.jpg");
    EXPECT_EQ(adbPathForPhonePath("/storage/emulated/01/a.jpg", "/storage/emulated/0"),
              "/storage/emulated/01/a.jpg");
    EXPECT_EQ(adbPathForPhonePath("/mnt/ext/a.jpg", "/storage/emulated/0"), "/mnt/ext/a.jpg");
}

TEST(Apps, PmPathAndInstallModes) {
    EXPECT_EQ(parsePmPath("package:/data/app/org.x-1/split_a.apk\r\n"
                          "package:/data/app/org.x-1/base.apk\r\n"),
              "/data/app/org.x-1/base.apk");
    EXPECT_EQ(parsePmPath("package:/system/app/X.apk\n"), "/system/app/X.apk");
    EXPECT_EQ(parsePmPath(""), "");
    // Every package file of a split app, the base first.
    EXPECT_EQ(
        parsePmPaths("package:/data/app/org.x-1/split_a.apk\r\n"
                     "package:/data/app/org.x-1/base.apk\r\n"
                     "package:/data/app/org.x-1/split_b.apk\n"),
        (std::vector<std::string>{"/data/app/org.x-1/base.apk", "/data/app/org.x-1/split_a.apk",
                                  "/data/app/org.x-1/split_b.apk"}));
    // A split keeps its plain name; any other name is replaced, never used as a path.
    EXPECT_EQ(splitFileName("/data/app/org.x-1/split_config.arm64_v8a.apk", 1),
              "split_config.arm64_v8a.apk");
    EXPECT_EQ(splitFileName("/data/app/org.x-1/../../.bashrc.apk", 2), "split2.apk");
    EXPECT_EQ(splitFileName("/data/app/org.x-1/base.apk", 3), "split3.apk");
    EXPECT_EQ(splitFileName("/data/app/org.x-1/a b.apk", 4), "split4.apk");
    EXPECT_EQ(splitFileName("/data/app/org.x-1/split.bin", 5), "split5.apk");
    EXPECT_TRUE(packageManagerSucceeded("Performing Streamed Install\nSuccess\n"));
    EXPECT_FALSE(packageManagerSucceeded("Failure [INSTALL_FAILED_INVALID_INSTALL_LOCATION]\n"));

    std::vector<std::string> options;
    EXPECT_TRUE(installModeOptions(5, &options));
    EXPECT_EQ(options, (std::vector<std::string>{"-r", "-s"}));
    EXPECT_TRUE(installModeOptions(4, &options));
    EXPECT_TRUE(options.empty());
    EXPECT_FALSE(installModeOptions(0, &options));
    EXPECT_FALSE(installModeOptions(6, &options));
}
