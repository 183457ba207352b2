// The agent's door as the library keeps it, against virtual phones (the
// lab's agent here, the agent's real core under the java_agent. prefix):
// the token of each preparation reaches the agent without showing in any
// process's arguments or in any log; strangers at the forwarded port or on
// the phone get nothing while a job runs; the forward goes when the program
// lets go of the phone, and a crashed run's leftovers go at the next
// preparation; an agent that stopped after its idle time is started again.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "agent_token.h"
#include "android_lab.h"
#include "channel.h"
#include "greenlink.h"
#include "log.h"

using namespace std::chrono_literals;

namespace {

// Every command line seen in /proc while it runs (the process's own threads
// are not processes and do not show).
class CommandLineWatch {
  public:
    CommandLineWatch() : thread_([this] { run(); }) {}
    ~CommandLineWatch() { stop(); }
    std::set<std::string> stop() {
        if (!stopped_.exchange(true))
            thread_.join();
        return seen_;
    }

  private:
    void run() {
        while (!stopped_) {
            if (DIR* d = opendir("/proc")) {
                while (dirent* e = readdir(d)) {
                    if (e->d_name[0] < '0' || e->d_name[0] > '9')
                        continue;
                    // A process may end while it is read: plain reads, no streams.
                    int fd = open((std::string("/proc/") + e->d_name + "/cmdline").c_str(),
                                  O_RDONLY | O_CLOEXEC);
                    if (fd < 0)
                        continue;
                    std::string line;
                    char buf[4096];
                    ssize_t n;
                    while ((n = read(fd, buf, sizeof buf)) > 0)
                        line.append(buf, static_cast<size_t>(n));
                    close(fd);
                    if (!line.empty())
                        seen_.insert(line);
                }
                closedir(d);
            }
        }
    }
    std::atomic<bool> stopped_{false};
    std::set<std::string> seen_;
    std::thread thread_;
};

int connectTo(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    timeval tv{12, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

// Another user of this computer at the forwarded port: sends `bytes` after
// `delay`, then reads until the end. What came back, "<open>" when the
// connection was still open after 12 s.
std::string stranger(uint16_t port, const std::string& bytes,
                     std::chrono::milliseconds delay = 0ms) {
    int fd = connectTo(port);
    if (fd < 0)
        return "<no connection>";
    std::this_thread::sleep_for(delay);
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string got;
    char buf[256];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0)
        got.append(buf, static_cast<size_t>(n));
    close(fd);
    return n < 0 ? "<open>" : got;
}

// The adb forwards of a serial, as "LOCAL REMOTE" lines.
std::vector<std::string> forwardsOf(AndroidLab& lab, const std::string& serial) {
    std::string out;
    lab.adb({"forward", "--list"}, &out);
    std::vector<std::string> mine;
    std::istringstream lines(out);
    std::string who, local, remote;
    while (lines >> who >> local >> remote)
        if (who == serial)
            mine.push_back(local + " " + remote);
    return mine;
}

bool holds(const std::vector<std::string>& forwards, const std::string& remote) {
    for (const auto& f : forwards)
        if (f.size() > remote.size() &&
            f.compare(f.size() - remote.size(), remote.size(), remote) == 0)
            return true;
    return false;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Files below a folder that hold the text.
std::vector<std::string> filesHolding(const std::string& dir, const std::string& text) {
    std::vector<std::string> found;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return found;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = dir + "/" + name;
        if (e->d_type == DT_DIR)
            for (auto& f : filesHolding(path, text))
                found.push_back(f);
        else if (e->d_type == DT_REG && readAll(path).find(text) != std::string::npos)
            found.push_back(path);
    }
    closedir(d);
    return found;
}

class AndroidDoor : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        logPath_ = std::string(KESTROVA_TEST_BUILD_DIR) + "/door-" + info->name() + "-" +
                   std::to_string(getpid()) + ".log";
        greenlink::setLogPathForTests(logPath_);
    }
    void TearDown() override {
        greenlink::setLogPathForTests(logPath_ + ".late");
        if (!HasFailure()) {
            std::remove(logPath_.c_str());
            std::remove((logPath_ + ".late").c_str());
        }
    }
    std::string logPath_;
};

CallHistory call(std::vector<std::string>& keep, int i) {
    keep = {"",
            "Caller " + std::to_string(i),
            "+4930" + std::to_string(100000 + i),
            std::to_string(1700000000000LL + i),
            "1",
            "42"};
    CallHistory c{};
    c.name = keep[1].data();
    c.number = keep[2].data();
    c.date = keep[3].data();
    c.type = keep[4].data();
    c.duration = keep[5].data();
    return c;
}

} // namespace

TEST_F(AndroidDoor, TheTokenShowsInNoCommandLineAndNoLog) {
    AndroidLab lab(1);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(0), 0);
    const std::string serial = lab.serialAt(0);
    ::testing::internal::CaptureStdout(); // the log's echo
    CommandLineWatch watch;
    ASSERT_EQ(AndroidTSF_ReadyTodoing(0), 0);
    std::set<std::string> seen = watch.stop();
    const std::string token = greenlink::agentTokenFor(serial);
    ASSERT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
    std::string echoed = ::testing::internal::GetCapturedStdout();

    ASSERT_EQ(token.size(), 64u) << "256 bits as hexadecimal";
    EXPECT_EQ(token.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    // The watch saw the preparation's adb children, and none held the token.
    bool sawAdb = false;
    for (const std::string& line : seen) {
        sawAdb = sawAdb || line.find("force-stop") != std::string::npos ||
                 line.find("install") != std::string::npos ||
                 line.find("forward") != std::string::npos;
        EXPECT_EQ(line.find(token), std::string::npos) << "in a command line: " << line;
        EXPECT_EQ(line.find(greenlink::kAgentTokenExtra), std::string::npos) << line;
    }
    EXPECT_TRUE(sawAdb) << seen.size() << " command lines seen";
    EXPECT_EQ(readAll(logPath_).find(token), std::string::npos);
    EXPECT_NE(readAll(logPath_).find("ReadyTodoing"), std::string::npos) << "the log was written";
    EXPECT_EQ(echoed.find(token), std::string::npos);
    EXPECT_EQ(filesHolding(lab.session().dir().toStdString(), token), std::vector<std::string>{});

    // Each preparation makes a new one.
    ASSERT_EQ(AndroidTSF_ReadyTodoing(0), 0);
    EXPECT_NE(greenlink::agentTokenFor(serial), token);
    EXPECT_EQ(greenlink::agentTokenFor(serial).size(), 64u);
    AndroidTSF_UnInit();
    EXPECT_EQ(greenlink::agentTokenFor(serial), "") << "forgotten when the program lets go";
}

TEST_F(AndroidDoor, StrangersGetNothingWhileAJobRuns) {
    AndroidLab lab(1, {"--scenario", "modern"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(1));
    const std::string serial = lab.serialAt(0);
    const std::string token = greenlink::agentTokenFor(serial);
    const uint16_t port = greenlink::channelFor(0)->localPort();
    ASSERT_GT(port, 0);
    std::string wrong = token;
    wrong.back() = wrong.back() == 'F' ? 'E' : 'F';

    // The job: call-log entries written one by one through the library.
    std::atomic<bool> strangersDone{false};
    std::atomic<int> written{0}, refused{0};
    std::thread job([&] {
        for (int i = 0; !strangersDone || i < 100; ++i) {
            std::vector<std::string> keep;
            CallHistory c = call(keep, i);
            (AndroidTSF_AddCallHistory(&c, 0) > 0 ? written : refused)++;
        }
    });
    const std::string ask = "hello-android;getcalllogcount;getcalllogpart10:0;getsmsPart10:0;";
    EXPECT_EQ(stranger(port, ask), "") << "no token";
    EXPECT_EQ(stranger(port, wrong + ask), "") << "wrong token";
    EXPECT_EQ(stranger(port, token + ask, 5600ms), "") << "the token after the deadline";
    std::string onPhone;
    ASSERT_TRUE(lab.lab({"knock", "--phone", std::to_string(lab.phoneAt(0)), "--send", wrong + ask},
                        &onPhone));
    EXPECT_EQ(onPhone.rfind("ok received=0 closed=1 ", 0), 0u)
        << "another app on the phone: " << onPhone;
    // A second client with the token is served beside the job.
    int second = connectTo(port);
    ASSERT_GE(second, 0);
    std::string first = token + "hello-android;";
    ASSERT_EQ(send(second, first.data(), first.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(first.size()));
    char reply[9] = {};
    EXPECT_EQ(recv(second, reply, sizeof reply, MSG_WAITALL), 9);
    EXPECT_EQ(std::string(reply + 4, 5), "HI-PC");
    close(second);

    strangersDone = true;
    job.join();
    EXPECT_EQ(refused.load(), 0) << "the job was not disturbed";
    EXPECT_GE(written.load(), 100);
    EXPECT_EQ(AndroidTSF_FlushCallLog_Count(0), written.load())
        << "every write once, no stranger's";
}

TEST_F(AndroidDoor, TheForwardGoesWhenTheProgramLetsGoAndLeftoversAtTheNextStart) {
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(0), 0);
    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(1), 0);
    const std::string serial = lab.serialAt(0), other = lab.serialAt(1);
    // What a crashed run and other tools left: a forward to the agent's port
    // of this phone (to go), one to another port and one of the other phone
    // (to stay).
    ASSERT_TRUE(lab.adb({"-s", serial, "forward", "tcp:0", "tcp:15531"}));
    ASSERT_TRUE(lab.adb({"-s", serial, "forward", "tcp:0", "tcp:15532"}));
    ASSERT_TRUE(lab.adb({"-s", serial, "forward", "tcp:0", "tcp:9999"}));
    ASSERT_TRUE(lab.adb({"-s", other, "forward", "tcp:0", "tcp:15531"}));
    ASSERT_EQ(forwardsOf(lab, serial).size(), 3u);

    ASSERT_EQ(AndroidTSF_ReadyTodoing(0), 0);
    auto now = forwardsOf(lab, serial);
    EXPECT_EQ(now.size(), 2u) << "the leftovers went, the new one came";
    EXPECT_TRUE(holds(now, "tcp:9999")) << "another tool's forward stays";
    EXPECT_TRUE(holds(now, "tcp:15531"));
    EXPECT_FALSE(holds(now, "tcp:15532"));
    EXPECT_TRUE(holds(forwardsOf(lab, other), "tcp:15531")) << "another phone's forward stays";

    // The job ends: the program lets go of the phone.
    EXPECT_EQ(AndroidTSF_LetGo(0), 0);
    now = forwardsOf(lab, serial);
    EXPECT_FALSE(holds(now, "tcp:15531"));
    EXPECT_TRUE(holds(now, "tcp:9999"));
    // The next job forwards and greets afresh.
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
    EXPECT_TRUE(holds(forwardsOf(lab, serial), "tcp:15531"));

    // The phone is unplugged: adb drops its forwards with it.
    ASSERT_TRUE(lab.lab({"unplug", "--phone", std::to_string(lab.phoneAt(0))}));
    bool gone = false;
    for (int i = 0; i < 50 && !gone; ++i) {
        gone = !holds(forwardsOf(lab, serial), "tcp:15531");
        if (!gone)
            usleep(100000);
    }
    EXPECT_TRUE(gone);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), -1);
    ASSERT_TRUE(lab.lab({"plug", "--phone", std::to_string(lab.phoneAt(0))}));
    ASSERT_TRUE(lab.waitForPhones());

    // Preparing the other phone removes what was forwarded to its agent
    // before (the test's forward stands for a crashed run's); the program's
    // end removes its own.
    ASSERT_EQ(AndroidTSF_ReadyTodoing(1), 0);
    now = forwardsOf(lab, other);
    EXPECT_EQ(now.size(), 1u);
    EXPECT_TRUE(holds(now, "tcp:15532"));
    AndroidTSF_UnInit();
    EXPECT_EQ(forwardsOf(lab, other), std::vector<std::string>{});
}

TEST_F(AndroidDoor, AnAgentStoppedAfterItsIdleTimeIsStartedAgain) {
    AndroidLab lab(1, {"--scenario", "modern", "--agent-idle", "3"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(1));
    const std::string serial = lab.serialAt(0);
    const std::string phone = std::to_string(lab.phoneAt(0));
    const std::string first = greenlink::agentTokenFor(serial);
    // Held by the program (its channel open), the agent stays.
    std::this_thread::sleep_for(4500ms);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
    EXPECT_EQ(greenlink::agentTokenFor(serial), first) << "no new start was needed";

    // Let go of, it stops after three seconds.
    AndroidTSF_LetGo(0);
    bool stopped = false;
    for (int i = 0; i < 150 && !stopped; ++i) {
        std::string status;
        lab.lab({"status"}, &status);
        stopped = status.find("agent=0") != std::string::npos;
        if (!stopped)
            std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(stopped);
    // The next job finds it gone and starts it again, with a new token.
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
    EXPECT_NE(greenlink::agentTokenFor(serial), first);
    EXPECT_EQ(greenlink::agentTokenFor(serial).size(), 64u);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
}
