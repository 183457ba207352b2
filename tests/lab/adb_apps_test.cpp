// Installing and removing apps, and the agent's ports that only answer
// while the agent app runs.
#include "lab_fixture.h"

#include <filesystem>
#include <sys/socket.h>
#include <unistd.h>

#include "common/files.h"
#include "common/net.h"

namespace fs = std::filesystem;

namespace {

const std::string kAgentComponent =
    "com.quellfin.kestrova/com.quellfin.kestrova.activity.ServiceActivity";

// Sends `data` through the forwarded port and reads as many bytes back.
std::string roundTrip(int port, const std::string& data) {
    int fd = lab::connectLoopback(static_cast<uint16_t>(port));
    if (fd < 0)
        return "<no connection>";
    std::string back(data.size(), '\0');
    bool ok = lab::writeAll(fd, data) && lab::readExact(fd, back.data(), back.size());
    close(fd);
    return ok ? back : "<closed>";
}

} // namespace

TEST_F(LabTest, InstallReplaceAndUninstallOnBothGenerations) {
    up({"--android", "2"});
    std::string apk = m_env["KESTROVA_TOOL_DIR"] + "/kestrova1.apk";
    for (int phone = 0; phone < 2; ++phone) {
        SCOPED_TRACE("phone " + std::to_string(phone));
        // 4.2 takes the push-to-/data/local/tmp route, 10 the streamed one.
        auto r = adbOn(phone, {"install", apk});
        EXPECT_NE(r.out.find("Success"), std::string::npos) << r.out << r.err;
        EXPECT_EQ(adbOn(phone, {"shell", "pm", "path", "com.quellfin.kestrova"}).out,
                  "package:/data/app/com.quellfin.kestrova-1/base.apk\n");
        EXPECT_TRUE(fs::is_empty(phoneDir(phone) + "/data/local/tmp"));
        r = adbOn(phone, {"install", "-r", apk});
        EXPECT_NE(r.out.find("Success"), std::string::npos) << r.out << r.err;
    }
    // Only the old package manager refuses a reinstall without -r; only the
    // new one refuses the SD-card location.
    EXPECT_NE(adbOn(0, {"install", apk}).out.find("INSTALL_FAILED_ALREADY_EXISTS"),
              std::string::npos);
    EXPECT_NE(adbOn(0, {"install", "-r", "-s", apk}).out.find("Success"), std::string::npos);
    auto r = adbOn(1, {"install", "-s", apk});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE((r.out + r.err).find("INSTALL_FAILED_INVALID_INSTALL_LOCATION"), std::string::npos);

    // A file that is no package is refused.
    std::string junk = localDir() + "/junk.apk";
    writeWhole(junk, "not a package");
    EXPECT_EQ(adbOn(1, {"install", junk}).out.find("Success"), std::string::npos);

    // uninstall -k keeps the app's data; a plain uninstall does not.
    EXPECT_NE(adbOn(1, {"shell", "cmd", "package", "uninstall", "-k", "com.quellfin.kestrova"})
                  .out.find("Success"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(phoneDir(1) + "/data/data/com.quellfin.kestrova"));
    EXPECT_EQ(adbOn(1, {"shell", "pm", "path", "com.quellfin.kestrova"}).exitCode, 1);
    EXPECT_NE(adbOn(0, {"uninstall", "com.quellfin.kestrova"}).out.find("Success"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(phoneDir(0) + "/data/data/com.quellfin.kestrova"));
    EXPECT_NE(adbOn(0, {"uninstall", "com.quellfin.kestrova"}).out.find("Failure"),
              std::string::npos);
}

TEST_F(LabTest, AgentPortsAnswerOnlyWhileTheAgentRuns) {
    up({"--android", "1", "--agent-stub", "echo"});
    int port = forward(0, 15531);
    ASSERT_GT(port, 0);
    EXPECT_EQ(roundTrip(port, "x"), "<closed>"); // nothing listens yet

    std::string apk = m_env["KESTROVA_TOOL_DIR"] + "/kestrova1.apk";
    auto r = adbOn(0, {"shell", "am", "start", "-n", kAgentComponent});
    EXPECT_NE((r.out + r.err).find("does not exist"), std::string::npos); // one stream on 4.2
    ASSERT_EQ(adbOn(0, {"install", apk}).exitCode, 0);
    ASSERT_EQ(adbOn(0, {"shell", "am", "start", "-n", kAgentComponent}).exitCode, 0);
    for (size_t size : {size_t(1), size_t(4096), size_t(65537), size_t(3000001)}) {
        std::string data = randomBytes(size, static_cast<unsigned>(size));
        EXPECT_EQ(roundTrip(port, data), data) << size;
    }
    int second = forward(0, 15532);
    EXPECT_EQ(roundTrip(second, "second port"), "second port");
    EXPECT_EQ(roundTrip(forward(0, 15533), "x"), "<closed>");

    // A connection open while the app is stopped is cut.
    int fd = lab::connectLoopback(static_cast<uint16_t>(port));
    ASSERT_TRUE(lab::writeAll(fd, "ping"));
    char buf[4];
    ASSERT_TRUE(lab::readExact(fd, buf, 4));
    ASSERT_EQ(adbOn(0, {"shell", "am", "force-stop", "com.quellfin.kestrova"}).exitCode, 0);
    EXPECT_EQ(read(fd, buf, sizeof buf), 0);
    close(fd);
    EXPECT_EQ(roundTrip(port, "x"), "<closed>");

    ASSERT_EQ(adbOn(0, {"shell", "am", "start", "-n", kAgentComponent}).exitCode, 0);
    EXPECT_EQ(roundTrip(port, "again"), "again");
    ASSERT_EQ(adbOn(0, {"uninstall", "com.quellfin.kestrova"}).exitCode, 0);
    EXPECT_EQ(roundTrip(port, "x"), "<closed>");
}

TEST_F(LabTest, TheRealAgentGreetsThroughTheForward) {
    up({"--android", "1"});
    ASSERT_EQ(adbOn(0, {"install", m_env["KESTROVA_TOOL_DIR"] + "/kestrova1.apk"}).exitCode, 0);
    ASSERT_EQ(startAgent(0).exitCode, 0);
    int port = forward(0, 15531);
    int fd = lab::connectLoopback(static_cast<uint16_t>(port));
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(lab::writeAll(fd, kLabTestToken + "hello-android;"));
    char got[9];
    ASSERT_TRUE(lab::readExact(fd, got, sizeof got));
    EXPECT_EQ(std::string(got, 9), std::string("\x05\0\0\0HI-PC", 9));
    close(fd);
}
