// Connecting the virtual phones with the real adb: listing, properties,
// the USB identities, the authorisation states and the shell.
#include "lab_fixture.h"

#include "common/files.h"

TEST_F(LabTest, PhonesAreListedWithTheirPropertiesAndUsbIdentities) {
    up({"--android", "2"});
    EXPECT_EQ(listedState(0), "device");
    EXPECT_EQ(listedState(1), "device");
    EXPECT_NE(serial(0), serial(1));

    // One phone below 4.4, one at 10 or later, each read as the library reads it.
    EXPECT_EQ(adbOn(0, {"shell", "getprop", "ro.build.version.release"}).out, "4.2.2\n");
    EXPECT_EQ(adbOn(1, {"shell", "getprop", "ro.build.version.release"}).out, "10\n");
    EXPECT_EQ(adbOn(0, {"shell", "getprop", "ro.product.manufacturer"}).out, "samsung\n");
    EXPECT_EQ(adbOn(1, {"shell", "getprop", "ro.product.model"}).out, "Pixel 3a\n");
    EXPECT_EQ(adbOn(0, {"shell", "getprop", "ro.build.PDA"}).out, "I9300XXELLA\n");
    EXPECT_EQ(adbOn(1, {"shell", "getprop", "no.such.property"}).out, "\n");

    lab::ProcResult usb = lab::runProcess({m_env["KESTROVA_TOOL_DIR"] + "/getusb"});
    // Galaxy S3 and Pixel 3a, each with its ADB and MTP interfaces.
    EXPECT_EQ(usb.out, "VID:1256,PID:26720,IF:ff/42/01 06/01/01\n"
                       "VID:6353,PID:20001,IF:ff/42/01 06/01/01\n");
    for (const char* f : {"/adb", "/kestrova1.apk", "/kestrova2.apk"})
        EXPECT_TRUE(lab::readFile(m_env["KESTROVA_TOOL_DIR"] + f, 64)) << f;
}

TEST_F(LabTest, UnauthorizedUntilAllowedAndOfflineNeverAnswers) {
    up({"--android", "1", "--scenario", "unauthorized"});
    EXPECT_EQ(listedState(0), "unauthorized");
    lab::ProcResult r = adbOn(0, {"shell", "getprop"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("unauthorized"), std::string::npos) << r.err;

    ASSERT_EQ(ctl({"allow", "--phone", "0"}).exitCode, 0);
    EXPECT_TRUE(waitForState(0, "device"));
    EXPECT_EQ(adbOn(0, {"shell", "getprop", "ro.product.model"}).out, "GT-I9300\n");

    ASSERT_EQ(ctl({"state", "--phone", "0", "offline"}).exitCode, 0);
    EXPECT_TRUE(waitForState(0, "offline"));
    EXPECT_NE(adbOn(0, {"shell", "getprop"}, 10).exitCode, 0);

    ASSERT_EQ(ctl({"state", "--phone", "0", "device"}).exitCode, 0);
    EXPECT_TRUE(waitForState(0, "device"));
    EXPECT_NE(ctl({"state", "--phone", "0", "sleepy"}).exitCode, 0);
}

TEST_F(LabTest, ShellProtocolsQuotingAndExitCodes) {
    up({"--android", "2"});
    // Android 10 speaks the shell protocol: separate streams and exit codes.
    lab::ProcResult r = adbOn(1, {"shell", "ls", "/sdcard/nothing-here"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("No such file"), std::string::npos);
    EXPECT_EQ(adbOn(1, {"shell", "no-such-tool"}).exitCode, 127);
    r = adbOn(1, {"shell", "am", "start", "-n", "no.such/.Activity"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos);

    // adb joins the words with blanks: the phone's shell undoes the quoting.
    EXPECT_EQ(adbOn(1, {"shell", "echo", "'a  b'", "\"c'd\"", "'$(x)'"}).out, "a  b c'd $(x)\n");
    EXPECT_EQ(adbOn(1, {"shell", "echo", "'open"}).exitCode, 2);

    // Android 4.2 predates it: one merged stream, and adb reports 0.
    r = adbOn(0, {"shell", "ls", "/sdcard/nothing-here"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("No such file"), std::string::npos);
    EXPECT_EQ(adbOn(0, {"exec-out", "echo", "raw"}).out, "raw\n");

    // mkdir, ls and rm work on the phone folder.
    EXPECT_EQ(adbOn(1, {"shell", "mkdir", "-p", "'/sdcard/A B/c'"}).exitCode, 0);
    EXPECT_EQ(adbOn(1, {"shell", "ls", "'/sdcard/A B'"}).out, "c\n");
    EXPECT_EQ(adbOn(1, {"shell", "rm", "'/sdcard/A B'"}).exitCode, 1); // a folder needs -r
    EXPECT_EQ(adbOn(1, {"shell", "rm", "-r", "'/storage/emulated/0/A B'"}).exitCode, 0);
    EXPECT_FALSE(lab::readFile(phoneDir(1) + "/sdcard/A B/c"));
}

TEST_F(LabTest, ScreencapWritesAPng) {
    up({"--android", "1"});
    ASSERT_EQ(adbOn(0, {"shell", "/system/bin/screencap", "-p", "/sdcard/screenshot.png"}).exitCode,
              0);
    std::string local = localDir() + "/shot.png";
    ASSERT_EQ(adbOn(0, {"pull", "/sdcard/screenshot.png", local}).exitCode, 0);
    EXPECT_EQ(readWhole(local).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST_F(LabTest, PhonesComeBackAfterAClientRestartsTheAdbServer) {
    up({"--android", "2"});
    ASSERT_EQ(adb({"kill-server"}).exitCode, 0);
    ASSERT_EQ(adb({"start-server"}).exitCode, 0);
    EXPECT_TRUE(waitForState(0, "device"));
    EXPECT_TRUE(waitForState(1, "device"));
    EXPECT_EQ(adbOn(1, {"shell", "getprop", "ro.product.model"}).out, "Pixel 3a\n");
}
