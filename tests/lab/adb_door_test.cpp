// The agent's door through the real adb, against the lab's agent and the
// agent's real core (Java) alike: strangers, both another app on the phone
// (kestrova-lab knock --phone) and another user of this computer at the
// forwarded port (kestrova-lab knock --local-port), get nothing and are
// closed, while the connection with the token is served; the token is in no
// log.
#include "lab_fixture.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "common/files.h"
#include "common/net.h"

namespace fs = std::filesystem;

namespace {

// Sends the bytes and reads one framed reply; its body, or "<closed>".
std::string ask(int fd, const std::string& bytes) {
    if (!lab::writeAll(fd, bytes))
        return "<closed>";
    unsigned char head[4];
    if (!lab::readExact(fd, head, 4))
        return "<closed>";
    uint32_t n = head[0] | head[1] << 8 | head[2] << 16 | static_cast<uint32_t>(head[3]) << 24;
    std::string body(n, '\0');
    if (n > (1u << 20) || !lab::readExact(fd, body.data(), n))
        return "<closed>";
    return body;
}

bool nothingAndClosed(const std::string& report) {
    return report.rfind("ok received=0 closed=1 ", 0) == 0;
}

// Every file below the lab folder that holds the text.
std::vector<std::string> filesHolding(const std::string& dir, const std::string& text) {
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::end(it); it.increment(ec)) {
        if (ec || !it->is_regular_file(ec) || it->file_size(ec) > (64u << 20))
            continue;
        if (lab::readFile(it->path().string(), size_t(64) << 20).value_or("").find(text) !=
            std::string::npos)
            found.push_back(it->path().string());
    }
    return found;
}

class LabDoor : public LabTest {
  protected:
    void door(const std::string& agent);
};

void LabDoor::door(const std::string& agent) {
    up({"--android", "1", "--agent", agent});
    ASSERT_EQ(adbOn(0, {"install", m_env["KESTROVA_TOOL_DIR"] + "/kestrova1.apk"}).exitCode, 0);
    ASSERT_EQ(startAgent(0).exitCode, 0);
    int port = forward(0, 15531);
    ASSERT_GT(port, 0);
    int desktop = lab::connectLoopback(static_cast<uint16_t>(port));
    ASSERT_GE(desktop, 0);
    ASSERT_EQ(ask(desktop, kLabTestToken + "hello-android;"), "HI-PC");

    std::string wrong = kLabTestToken;
    wrong.back() = wrong.back() == 'F' ? 'E' : 'F';
    // Longer than a token: refused at once, without waiting for the deadline.
    std::string commands =
        "hello-android;getsmsCount;getcontactCount;getcalllogcount;getsmsPart10:0;";
    const std::string port0 = std::to_string(port);

    // Another app on the phone, at 127.0.0.1:15531 there.
    EXPECT_TRUE(nothingAndClosed(knock({"--phone", "0", "--send", commands})));
    EXPECT_TRUE(nothingAndClosed(knock({"--phone", "0", "--send", wrong + "getsmsCount;"})));
    EXPECT_TRUE(
        nothingAndClosed(knock({"--phone", "0", "--port", "15532", "--send", "getsmsCount;"})))
        << "the second port, and a command shorter than a token: closed at the deadline";
    // The knock itself is a faithful connection: with the token it is served.
    EXPECT_EQ(
        knock({"--phone", "0", "--send", kLabTestToken + "hello-android;", "--wait-ms", "1500"})
            .substr(0, 24),
        "ok received=9 closed=0 m");

    // Another user of this computer, at the port adb forwards.
    EXPECT_TRUE(nothingAndClosed(knock({"--local-port", port0, "--send", commands})));
    EXPECT_TRUE(nothingAndClosed(knock({"--local-port", port0, "--send", wrong + "getsmsCount;"})));
    // The right token, after the deadline (five seconds).
    std::string late = knock({"--local-port", port0, "--delay-ms", "5600", "--send",
                              kLabTestToken + "hello-android;", "--wait-ms", "3000"});
    EXPECT_TRUE(nothingAndClosed(late)) << late;

    // The desktop's connection was never disturbed.
    EXPECT_EQ(ask(desktop, "hello-android;"), "HI-PC");
    std::string count = ask(desktop, "getcalllogcount;");
    EXPECT_EQ(count.size(), 4u);

    // A new start brings a new token: new connections need it, the open one stays.
    std::string next = kLabTestToken;
    std::reverse(next.begin(), next.end());
    ASSERT_EQ(startAgent(0, next).exitCode, 0);
    EXPECT_TRUE(
        nothingAndClosed(knock({"--local-port", port0, "--send", kLabTestToken + commands})))
        << "the old start's token";
    int fresh = lab::connectLoopback(static_cast<uint16_t>(port));
    EXPECT_EQ(ask(fresh, next + "hello-android;"), "HI-PC");
    close(fresh);
    EXPECT_EQ(ask(desktop, "hello-android;"), "HI-PC");
    close(desktop);

    // Stopped, the agent answers no one.
    ASSERT_EQ(adbOn(0, {"shell", "am", "force-stop", "com.quellfin.kestrova"}).exitCode, 0);
    EXPECT_EQ(knock({"--phone", "0", "--send", next + "hello-android;"}), "ok refused");

    // The tokens are in no log of the lab (the test itself gave them to adb).
    ctl({"down"});
    m_up = false;
    EXPECT_EQ(filesHolding(m_dir, kLabTestToken), std::vector<std::string>{});
    EXPECT_EQ(filesHolding(m_dir, next), std::vector<std::string>{});
    if (!HasFailure())
        fs::remove_all(m_dir);
}

} // namespace

TEST_F(LabDoor, StrangersAreShutOutOfTheLabAgent) { door("lab"); }
TEST_F(LabDoor, StrangersAreShutOutOfTheJavaAgent) { door("java"); }
