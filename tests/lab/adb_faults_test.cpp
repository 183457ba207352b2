// Transport faults: a connection cut in the middle of a file, a full disk,
// a phone that vanishes; and the agent's faults set through the controller.
#include "lab_fixture.h"

#include <chrono>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "common/files.h"
#include "common/net.h"

namespace fs = std::filesystem;

TEST_F(LabTest, ConnectionDroppedInTheMiddleOfAFile) {
    up({"--android", "2"});
    std::string local = localDir();
    std::string data = randomBytes(3 * 1000 * 1000, 7);
    writeWhole(local + "/big.bin", data);
    for (int phone = 0; phone < 2; ++phone) {
        SCOPED_TRACE("phone " + std::to_string(phone));
        ASSERT_EQ(adbOn(phone, {"push", local + "/big.bin", "/sdcard/big.bin"}).exitCode, 0);

        // Pull: the copy stops part way and adb says so.
        ASSERT_EQ(ctl({"fault", "--phone", std::to_string(phone), "--kind", "drop-after-bytes",
                       "--value", "100000"})
                      .exitCode,
                  0);
        auto r = adbOn(phone, {"pull", "/sdcard/big.bin", local + "/half.bin"});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(readWhole(local + "/half.bin"), data);

        // The fault is spent; the phone comes back and copies whole. adb may
        // still list the cut connection for a moment, so allow a few tries.
        for (int attempt = 0; attempt < 5; ++attempt) {
            ASSERT_TRUE(waitForState(phone, "device"));
            r = adbOn(phone, {"pull", "/sdcard/big.bin", local + "/whole.bin"});
            if (r.exitCode == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(readWhole(local + "/whole.bin"), data);

        // Push: no half-written file stays on the phone.
        ASSERT_EQ(ctl({"fault", "--phone", std::to_string(phone), "--kind", "drop-after-bytes",
                       "--value", "200000"})
                      .exitCode,
                  0);
        EXPECT_NE(adbOn(phone, {"push", local + "/big.bin", "/sdcard/cut.bin"}).exitCode, 0);
        // adb may report the failure before the phone's side of the cut
        // connection has finished removing what it had written.
        bool gone = false;
        for (int i = 0; i < 30 && !gone; ++i) {
            gone = !fs::exists(phoneDir(phone) + "/sdcard/cut.bin");
            if (!gone)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_TRUE(gone);
        ASSERT_TRUE(waitForState(phone, "device"));
    }
}

TEST_F(LabTest, FullDiskFailsThePushAndLeavesNoFile) {
    up({"--android", "1", "--scenario", "modern"});
    std::string local = localDir();
    writeWhole(local + "/f.bin", randomBytes(500000, 3));
    ASSERT_EQ(ctl({"fault", "--phone", "0", "--kind", "disk-full", "--value", "1000"}).exitCode, 0);
    auto r = adbOn(0, {"push", local + "/f.bin", "/sdcard/Music/f.bin"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE((r.out + r.err).find("No space left on device"), std::string::npos) << r.out << r.err;
    EXPECT_FALSE(fs::exists(phoneDir(0) + "/sdcard/Music/f.bin"));
    EXPECT_NE(readWhole(phoneDir(0) + "/agent-faults").find("diskfull=1"), std::string::npos);

    ASSERT_EQ(ctl({"fault", "--phone", "0", "--kind", "clear"}).exitCode, 0);
    EXPECT_EQ(adbOn(0, {"push", local + "/f.bin", "/sdcard/Music/f.bin"}).exitCode, 0);
    EXPECT_EQ(readWhole(phoneDir(0) + "/sdcard/Music/f.bin"), readWhole(local + "/f.bin"));
    EXPECT_FALSE(fs::exists(phoneDir(0) + "/agent-faults"));
}

TEST_F(LabTest, VanishedPhoneLeavesTheListsUntilPluggedAgain) {
    up({"--android", "2"});
    ASSERT_EQ(ctl({"unplug", "--phone", "1"}).exitCode, 0);
    EXPECT_TRUE(waitForState(1, ""));
    EXPECT_EQ(listedState(0), "device");
    auto usb = lab::runProcess({m_env["KESTROVA_TOOL_DIR"] + "/getusb"});
    EXPECT_EQ(usb.out, "VID:1256,PID:26720,IF:ff/42/01 06/01/01\n");
    // adb connect exits 0 either way; its text tells.
    auto r = adb({"connect", serial(1)});
    EXPECT_EQ(r.out.find("connected to"), std::string::npos) << r.out;
    EXPECT_TRUE(waitForState(1, ""));

    ASSERT_EQ(ctl({"plug", "--phone", "1"}).exitCode, 0);
    EXPECT_TRUE(waitForState(1, "device"));
    EXPECT_EQ(adbOn(1, {"shell", "getprop", "ro.product.model"}).out, "Pixel 3a\n");
}

TEST_F(LabTest, DropInTheMiddleOfAnAgentStream) {
    up({"--android", "1", "--agent-stub", "echo"});
    ASSERT_EQ(adbOn(0, {"install", m_env["KESTROVA_TOOL_DIR"] + "/kestrova1.apk"}).exitCode, 0);
    ASSERT_EQ(adbOn(0, {"shell", "am", "start", "-n", "com.quellfin.kestrova/.S"}).exitCode, 0);
    int port = forward(0, 15531);
    ASSERT_EQ(
        ctl({"fault", "--phone", "0", "--kind", "drop-after-bytes", "--value", "5000"}).exitCode,
        0);
    int fd = lab::connectLoopback(static_cast<uint16_t>(port));
    ASSERT_GE(fd, 0);
    std::string data = randomBytes(100000, 5), back;
    lab::writeAll(fd, data);
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        back.append(buf, static_cast<size_t>(n));
    close(fd);
    EXPECT_LT(back.size(), data.size());
    EXPECT_EQ(back, data.substr(0, back.size()));
}

TEST_F(LabTest, AgentFaultsAreSetThroughTheController) {
    up({"--android", "1"});
    ASSERT_EQ(adbOn(0, {"install", m_env["KESTROVA_TOOL_DIR"] + "/kestrova1.apk"}).exitCode, 0);
    ASSERT_EQ(startAgent(0).exitCode, 0);
    int port = forward(0, 15531);
    ASSERT_EQ(ctl({"fault", "--phone", "0", "--kind", "oversize", "--value", "10"}).exitCode, 0);
    int fd = lab::connectLoopback(static_cast<uint16_t>(port));
    ASSERT_TRUE(lab::writeAll(fd, kLabTestToken + "hello-android;"));
    unsigned char len[4];
    ASSERT_TRUE(lab::readExact(fd, len, 4));
    EXPECT_EQ(len[0], 15); // "HI-PC" announced 10 bytes too long
    close(fd);
    ASSERT_EQ(ctl({"fault", "--phone", "0", "--kind", "clear"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(phoneDir(0) + "/agent-faults"));
}
