// The agent channel against a scripted stand-in agent on a loopback socket:
// framing, bad replies, retries and the write-once rule.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "agent_token.h"
#include "channel.h"
#include "device_table.h"
#include "greenlink.h"
#include "hexcodec.h"
#include "media_family.h"
#include "personal_commands.h"

using namespace greenlink;
using namespace std::chrono_literals;

namespace {

std::string frame(const std::string& body) {
    uint32_t n = static_cast<uint32_t>(body.size());
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<char>((n >> (8 * i)) & 0xFF);
    return out + body;
}

std::string intBody(int32_t v) {
    std::string out(4, '\0');
    std::memcpy(out.data(), &v, 4);
    return out;
}

// What the stand-in does with one command.
struct Action {
    enum Kind { Reply, CutShort, Oversized, Drop, Stall } kind = Reply;
    std::string body;
};

class FakeAgent {
  public:
    using Script = std::function<Action(const std::string& command, int seen)>;

    // With a token, each connection must open with it (as the agent's door
    // wants); what each connection opened with is kept.
    explicit FakeAgent(Script script, std::string token = {})
        : script_(std::move(script)), token_(std::move(token)) {
        listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listenFd_, 8);
        socklen_t len = sizeof addr;
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~FakeAgent() {
        stopping_ = true;
        shutdown(listenFd_, SHUT_RDWR);
        close(listenFd_);
        acceptor_.join();
        std::lock_guard lock(mutex_);
        for (int fd : fds_)
            shutdown(fd, SHUT_RDWR);
        for (std::thread& t : workers_)
            t.join();
        for (int fd : fds_)
            close(fd);
    }
    uint16_t port() const { return port_; }
    int seen(const std::string& command) {
        std::lock_guard lock(mutex_);
        return counts_[command];
    }
    int connections() const { return connections_; }
    std::vector<std::string> openings() {
        std::lock_guard lock(mutex_);
        return openings_;
    }

  private:
    void acceptLoop() {
        while (!stopping_) {
            int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0)
                return;
            ++connections_;
            std::lock_guard lock(mutex_);
            fds_.push_back(fd);
            workers_.emplace_back([this, fd] { serve(fd); });
        }
    }
    void serve(int fd) {
        std::string pending;
        char buf[4096];
        if (!token_.empty()) {
            while (pending.size() < token_.size()) {
                ssize_t n = recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    return;
                pending.append(buf, static_cast<size_t>(n));
            }
            std::string opening = pending.substr(0, token_.size());
            {
                std::lock_guard lock(mutex_);
                openings_.push_back(opening);
            }
            if (opening != token_) {
                shutdown(fd, SHUT_RDWR);
                return;
            }
            pending.erase(0, token_.size());
        }
        for (;;) {
            size_t semi;
            while ((semi = pending.find(';')) == std::string::npos) {
                ssize_t n = recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    return;
                pending.append(buf, static_cast<size_t>(n));
            }
            std::string command = pending.substr(0, semi + 1);
            pending.erase(0, semi + 1);
            int count;
            {
                std::lock_guard lock(mutex_);
                count = ++counts_[command];
            }
            if (command == "hello-android;") {
                send(fd, frame("HI-PC").data(), 9, MSG_NOSIGNAL);
                continue;
            }
            Action a = script_(command, count);
            std::string framed = frame(a.body);
            switch (a.kind) {
            case Action::Reply:
                send(fd, framed.data(), framed.size(), MSG_NOSIGNAL);
                break;
            case Action::CutShort:
                // The rest never comes on this connection, but it stays open:
                // a client that kept reading here would take it for the next reply.
                send(fd, framed.data(), framed.size() - 2, MSG_NOSIGNAL);
                break;
            case Action::Oversized: {
                std::string header = frame(std::string(a.body.size() + 100, 'x'));
                send(fd, header.data(), header.size(), MSG_NOSIGNAL);
                break;
            }
            case Action::Drop:
                shutdown(fd, SHUT_RDWR);
                return;
            case Action::Stall:
                std::this_thread::sleep_for(600ms);
                send(fd, framed.data(), framed.size(), MSG_NOSIGNAL);
                break;
            }
        }
    }

    Script script_;
    std::string token_;
    std::vector<std::string> openings_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<int> fds_;
    std::map<std::string, int> counts_;
};

class Channel : public ::testing::Test {
  protected:
    void SetUp() override { setChannelTimeouts(200ms, 2000ms); }
    void TearDown() override { setChannelTimeouts(60000ms, 20000ms); }

    static int32_t askInt(TCPConnect& ch, const char* command, int* received = nullptr) {
        char reply[4] = {1, 1, 1, 1};
        int n = ch.SendCommandToAndroidServices(command, reply, 4, nullptr, 0);
        if (received)
            *received = n;
        int32_t v;
        std::memcpy(&v, reply, 4);
        return v;
    }
};

} // namespace

TEST_F(Channel, RepliesOfEveryLengthIncludingEmpty) {
    FakeAgent agent([](const std::string& c, int) {
        if (c == "empty;")
            return Action{Action::Reply, ""};
        return Action{Action::Reply, intBody(12)};
    });
    TCPConnect ch;
    ch.setLocalPortForTests(agent.port());
    int n = 0;
    EXPECT_EQ(askInt(ch, "getsmsCount;", &n), 12);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(askInt(ch, "empty;", &n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(agent.connections(), 1); // one connection serves every exchange
}

TEST_F(Channel, CutShortReplyIsAnErrorAndItsRestIsNeverReadLater) {
    FakeAgent agent([](const std::string& c, int seen) {
        if (c == "getsmsCount;" && seen == 1)
            return Action{Action::CutShort, intBody(77)};
        if (c == "getsmsCount;")
            return Action{Action::Reply, intBody(12)};
        return Action{Action::Reply, intBody(5)};
    });
    TCPConnect ch;
    ch.setLocalPortForTests(agent.port());
    // A read is asked again on a fresh connection and gets the whole answer.
    EXPECT_EQ(askInt(ch, "getsmsCount;"), 12);
    EXPECT_EQ(agent.seen("getsmsCount;"), 2);
    EXPECT_EQ(askInt(ch, "getcontactCount;"), 5);
    EXPECT_EQ(agent.connections(), 2);
}

TEST_F(Channel, OversizedReplyFailsAfterThreeSendsAndLeavesTheChannelClean) {
    FakeAgent agent([](const std::string& c, int) {
        if (c == "getcontactpart10:0;")
            return Action{Action::Oversized, "xxxx"};
        return Action{Action::Reply, intBody(3)};
    });
    TCPConnect ch;
    ch.setLocalPortForTests(agent.port());
    char page[8] = {};
    EXPECT_EQ(ch.SendCommandToAndroidServices("getcontactpart10:0;", page, 4, nullptr, 0), -1);
    EXPECT_EQ(agent.seen("getcontactpart10:0;"), 3);
    EXPECT_EQ(askInt(ch, "getcalllogcount;"), 3);
}

TEST_F(Channel, WriteWhoseReplyIsLostIsNotSentAgain) {
    FakeAgent agent([](const std::string& c, int) {
        if (c.rfind("SendSMS:", 0) == 0)
            return Action{Action::Drop, ""};
        if (c.rfind("AddCallHistory:", 0) == 0)
            return Action{Action::Stall, intBody(1)};
        return Action{Action::Reply, intBody(1)};
    });
    TCPConnect ch;
    ch.setLocalPortForTests(agent.port());
    int n = 0;
    EXPECT_EQ(askInt(ch, "SendSMS:41-42----;", &n), 0);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(agent.seen("SendSMS:41-42----;"), 1);
    // A stalled write: the same, and the channel still serves reads afterwards.
    EXPECT_EQ(askInt(ch, "AddCallHistory:31---;", &n), 0);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(agent.seen("AddCallHistory:31---;"), 1);
    EXPECT_EQ(askInt(ch, "getsmsCount;"), 1);
}

TEST_F(Channel, StalledReadIsAskedThreeTimesThenFails) {
    FakeAgent agent([](const std::string&, int) { return Action{Action::Stall, intBody(9)}; });
    TCPConnect ch;
    ch.setLocalPortForTests(agent.port());
    int n = 0;
    EXPECT_EQ(askInt(ch, "getsmsCount;", &n), 0);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(agent.seen("getsmsCount;"), 3);
}

TEST_F(Channel, ConnectionClosedBetweenCommandsIsReopenedBeforeAWrite) {
    FakeAgent agent([](const std::string& c, int seen) {
        if (c == "getsmsCount;" && seen == 1)
            return Action{Action::Reply, intBody(2)};
        if (c == "close;")
            return Action{Action::Drop, ""};
        return Action{Action::Reply, intBody(1)};
    });
    TCPConnect ch;
    ch.setLocalPortForTests(agent.port());
    EXPECT_EQ(askInt(ch, "getsmsCount;"), 2);
    int n = 0;
    askInt(ch, "close;", &n); // the peer goes away (an adb restart does this)
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(askInt(ch, "SendSMS:41-----;", &n), 1);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(agent.seen("SendSMS:41-----;"), 1);
}

TEST_F(Channel, AttachedBytesFollowTheCommand) {
    std::string received;
    FakeAgent agent([](const std::string& c, int) { return Action{Action::Reply, intBody(4)}; });
    TCPConnect ch;
    ch.setLocalPortForTests(agent.port());
    char reply[4] = {};
    // The stand-in reads commands up to ";": the payload "a;b;" shows up as two
    // more commands, proving it arrived right behind the command in order.
    EXPECT_EQ(ch.SendCommandToAndroidServices("write_photofile:4;", reply, 4, "a;b;", 4), 4);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(agent.seen("write_photofile:4;"), 1);
    EXPECT_EQ(agent.seen("a;"), 1);
}

TEST_F(Channel, PipelinedWritesGetTheirRepliesInOrderAndAreNeverRepeated) {
    FakeAgent agent([](const std::string& c, int) {
        if (c == "UpdatePerson:1:33:NOTE;")
            return Action{Action::Drop, ""};
        return Action{Action::Reply, intBody(static_cast<int32_t>(c.size()))};
    });
    TCPConnect ch;
    ch.setLocalPortForTests(agent.port());
    bool complete = false;
    std::vector<std::string> commands = {"UpdatePerson:1:31:MOBILE;", "UpdatePerson:1:3232:GROUP;"};
    std::vector<int32_t> values = ch.sendPipelined(commands, &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(values, (std::vector<int32_t>{25, 26}));

    commands = {"UpdatePerson:1:31:MOBILE;", "UpdatePerson:1:33:NOTE;",
                "UpdatePerson:1:34:HOMEFAX;"};
    values = ch.sendPipelined(commands, &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(values[0], 25);
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(agent.seen("UpdatePerson:1:33:NOTE;"), 1);
    EXPECT_EQ(agent.seen("UpdatePerson:1:31:MOBILE;"), 2);
}

TEST_F(Channel, ExternalStoragePathIsKeptPerPhone) {
    FakeAgent first([](const std::string&, int) {
        return Action{Action::Reply, "/storage/emulated/0"};
    });
    FakeAgent second([](const std::string&, int) { return Action{Action::Reply, "/mnt/sdcard"}; });
    {
        std::lock_guard lock(deviceTableMutex());
        std::strcpy(st_connectAndroidDeviceSTRArray[0].serial, "PHONE-A");
        std::strcpy(st_connectAndroidDeviceSTRArray[1].serial, "PHONE-B");
    }
    ASSERT_EQ(AndroidConnectInit(0), 0);
    ASSERT_EQ(AndroidConnectInit(1), 0);
    channelFor(0)->setLocalPortForTests(first.port());
    channelFor(1)->setLocalPortForTests(second.port());
    EXPECT_EQ(externalStoragePath(0), "/storage/emulated/0");
    EXPECT_EQ(externalStoragePath(1), "/mnt/sdcard");
    EXPECT_EQ(externalStoragePath(0), "/storage/emulated/0");
    EXPECT_EQ(first.seen("getExternalStoragePath;"), 1); // asked once per phone
    for (int i = 0; i < 2; ++i) {
        AndroidConnectUnInit(i);
        forgetPhoneMediaState(i);
    }
    std::lock_guard lock(deviceTableMutex());
    clearDeviceSerials();
}

// Another thread replaces the position's channel (a preparation's retries do)
// while a command is on its way: the exchange in hand keeps its channel until
// it has its reply, and the next command gets a fresh channel.
TEST_F(Channel, ChannelReplacedDuringAnExchangeOutlivesIt) {
    setChannelTimeouts(5000ms, 2000ms);
    FakeAgent agent([](const std::string& c, int) {
        return Action{c == "slow;" ? Action::Stall : Action::Reply, intBody(42)};
    });
    {
        std::lock_guard lock(deviceTableMutex());
        std::strcpy(st_connectAndroidDeviceSTRArray[0].serial, "PHONE-A");
    }
    ASSERT_EQ(AndroidConnectInit(0), 0);
    const std::shared_ptr<TCPConnect> before = channelFor(0);
    before->setLocalPortForTests(agent.port());
    std::atomic<int> received{0};
    std::atomic<int32_t> value{0};
    std::thread exchange([&] {
        int n = 0;
        value = sendIntCommand("slow;", 0, &n);
        received = n;
    });
    for (int i = 0; i < 1000 && agent.seen("slow;") == 0; ++i)
        std::this_thread::sleep_for(2ms);
    AndroidConnectUnInit(0);
    EXPECT_NE(channelFor(0), before);
    exchange.join();
    EXPECT_EQ(received, 4);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(channelFor(0)->localPort(), 0) << "the next command starts afresh";
    AndroidConnectUnInit(0);
    std::lock_guard lock(deviceTableMutex());
    clearDeviceSerials();
}

TEST_F(Channel, EveryConnectionOpensWithTheTokenOfTheAgentsStart) {
    const std::string token = makeAgentToken();
    ASSERT_EQ(token.size(), 2 * kAgentTokenBytes);
    rememberAgentToken("door-serial", token);
    FakeAgent agent(
        [](const std::string& c, int) {
            if (c == "drop;")
                return Action{Action::Drop, ""};
            return Action{Action::Reply, intBody(4)};
        },
        token);
    TCPConnect ch;
    std::snprintf(ch.m_serial, sizeof ch.m_serial, "door-serial");
    ch.setLocalPortForTests(agent.port());
    EXPECT_EQ(askInt(ch, "getsmsCount;"), 4);
    askInt(ch, "drop;"); // the agent ends the connection
    EXPECT_EQ(askInt(ch, "getcontactCount;"), 4);
    EXPECT_EQ(agent.connections(), 2);
    EXPECT_EQ(agent.openings(), (std::vector<std::string>{token, token}));
    EXPECT_EQ(agent.seen("hello-android;"), 2) << "the greeting follows the token on each";

    // The library holds another start's token than the agent: refused.
    rememberAgentToken("door-serial", makeAgentToken());
    TCPConnect stale;
    std::snprintf(stale.m_serial, sizeof stale.m_serial, "door-serial");
    stale.setLocalPortForTests(agent.port());
    int n = 0;
    askInt(stale, "getsmsCount;", &n);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(agent.seen("getsmsCount;"), 1) << "nothing was served without the token";
    forgetAgentToken("door-serial");
    EXPECT_EQ(agentTokenFor("door-serial"), "");
}

namespace {

// `count` messages from position `first` (id = position), as the agent lists them.
std::string messageRecords(int first, int count) {
    std::string out;
    for (int id = first; id < first + count; ++id)
        out += "ID:" + EncryptionData(std::to_string(id).c_str()) +
               ";BODY:" + EncryptionData(("message " + std::to_string(id)).c_str()) + ";.";
    return out;
}

// An agent holding `total` messages that answers pages of five and, when
// `rangeCap` is above 0, ranges of at most that many records.
Action messagesAgent(const std::string& command, int total, int rangeCap) {
    int start = 0, limit = 0;
    long long bytes = 0;
    if (command == "getsmsCount;")
        return {Action::Reply, intBody(total)};
    if (std::sscanf(command.c_str(), "getsmsPart10:%d;", &start) == 1)
        return {Action::Reply, messageRecords(start, std::max(0, std::min(5, total - start)))};
    if (std::sscanf(command.c_str(), "getsmsRange:%d:%d:%lld;", &start, &limit, &bytes) == 3) {
        if (rangeCap <= 0)
            return {Action::Reply, intBody(-1)}; // an unknown command
        return {Action::Reply,
                messageRecords(start, std::max(0, std::min({limit, rangeCap, total - start})))};
    }
    return {Action::Reply, intBody(-1)};
}

// The ids of the messages in the library's list, in ascending order (the
// list keeps a page's messages newest first).
std::vector<int> listedIds() {
    std::vector<int> ids;
    SMessage* m = nullptr;
    AndroidTSF_GetSMS(&m);
    for (; m; m = m->next)
        ids.push_back(std::atoi(m->smsId));
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Position 0's channel on a stand-in agent.
class RangeReads : public Channel {
  protected:
    void SetUp() override {
        Channel::SetUp();
        std::lock_guard lock(deviceTableMutex());
        std::strcpy(st_connectAndroidDeviceSTRArray[0].serial, "PHONE-R");
    }
    void TearDown() override {
        AndroidConnectUnInit(0);
        forgetAgentPages(0);
        {
            std::lock_guard lock(deviceTableMutex());
            clearDeviceSerials();
        }
        Channel::TearDown();
    }
    void attach(const FakeAgent& agent) {
        ASSERT_EQ(AndroidConnectInit(0), 0);
        channelFor(0)->setLocalPortForTests(agent.port());
    }
};

} // namespace

// An agent that gives fewer records than asked (its own cap) is read on from
// where its range ended: every record once, in order, the last range ending
// exactly at the end.
TEST_F(RangeReads, EveryRecordOnceAcrossRangeBoundaries) {
    FakeAgent agent([](const std::string& c, int) { return messagesAgent(c, 23, 7); });
    attach(agent);
    std::vector<int> ids;
    int start = 0;
    for (int n; (n = AndroidTSF_FlushSMSRange(0, start, 10)) > 0; start += n) {
        const std::vector<int> page = listedIds();
        ASSERT_EQ(static_cast<int>(page.size()), n);
        ids.insert(ids.end(), page.begin(), page.end());
    }
    EXPECT_EQ(start, 23);
    ASSERT_EQ(ids.size(), 23u);
    for (int i = 0; i < 23; ++i)
        EXPECT_EQ(ids[static_cast<size_t>(i)], i);
    EXPECT_EQ(agent.seen("getsmsRange:21:10:" + std::to_string(5 * 1024 * 1024 - 1) + ";"), 1)
        << "the range asks for no more than the page buffer holds";
    EXPECT_EQ(AndroidTSF_FlushSMSRange(0, 23, 10), 0) << "past the end";
    // Read whole, the ranges add up in the list.
    EXPECT_EQ(AndroidTSF_FlushSMSAll(0), 0);
    EXPECT_EQ(listedIds().size(), 23u);
}

// An agent from before ranges answers them as unknown: the library reads
// pages of five instead, asks it for a range only once, and asks again after
// the agent is installed anew.
TEST_F(RangeReads, AnAgentWithoutRangesIsReadInPagesOfFive) {
    FakeAgent agent([](const std::string& c, int) { return messagesAgent(c, 12, 0); });
    attach(agent);
    std::vector<int> ids;
    int start = 0;
    for (int n; (n = AndroidTSF_FlushSMSRange(0, start, 500)) > 0; start += n) {
        EXPECT_LE(n, 5);
        for (int id : listedIds())
            ids.push_back(id);
    }
    EXPECT_EQ(start, 12);
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(agent.seen("getsmsPart10:10;"), 1);
    int ranges = 0;
    for (int at : {0, 5, 10, 12})
        ranges += agent.seen("getsmsRange:" + std::to_string(at) +
                             ":500:" + std::to_string(5 * 1024 * 1024 - 1) + ";");
    EXPECT_EQ(ranges, 1);
    forgetAgentPages(0);
    EXPECT_EQ(AndroidTSF_FlushSMSRange(0, 0, 500), 5);
    EXPECT_EQ(agent.seen("getsmsRange:0:500:" + std::to_string(5 * 1024 * 1024 - 1) + ";"), 2);
}

// A range that is not a whole answer fails and leaves the list empty; it
// does not make the position fall back to pages of five.
TEST_F(RangeReads, ARangeCutShortOrDamagedFailsWithoutARecord) {
    std::atomic<int> mode{-1}; // -1: whole ranges
    FakeAgent agent([&](const std::string& c, int) {
        if (c.rfind("getsmsRange:", 0) != 0 || mode < 0)
            return messagesAgent(c, 12, 10);
        switch (mode.load()) {
        case 0:
            return Action{Action::CutShort, messageRecords(0, 10)};
        case 1: // stops inside its first record
            return Action{Action::Reply, messageRecords(0, 1).substr(0, 10)};
        case 2: // more than asked for
            return Action{Action::Reply, messageRecords(0, 11)};
        default:
            return Action{Action::Reply, messageRecords(0, 3) + "ID:zz;."};
        }
    });
    attach(agent);
    ASSERT_EQ(AndroidTSF_FlushSMSRange(0, 0, 10), 10);
    for (int m = 0; m < 4; ++m) {
        mode = m;
        EXPECT_EQ(AndroidTSF_FlushSMSRange(0, 0, 10), -1) << "mode " << m;
        EXPECT_TRUE(listedIds().empty()) << "mode " << m;
    }
    EXPECT_EQ(agent.seen("getsmsPart10:0;"), 0);
    // A reply that ends inside a later record gives the whole ones before it;
    // the reader moves on by those and reads the cut one again.
    FakeAgent tail([](const std::string& c, int) {
        return Action{Action::Reply, messageRecords(0, 3) + messageRecords(3, 1).substr(0, 9)};
    });
    AndroidConnectUnInit(0);
    attach(tail);
    EXPECT_EQ(AndroidTSF_FlushSMSRange(0, 0, 10), 3);
    EXPECT_EQ(listedIds(), (std::vector<int>{0, 1, 2}));
}

TEST(ChannelPositions, OnlyPositionsZeroAndOneHaveAChannel) {
    EXPECT_EQ(channelFor(2), nullptr);
    EXPECT_EQ(channelFor(-1), nullptr);
    char reply[4] = {1, 2, 3, 4};
    EXPECT_EQ(SendCommandToAndroidServices("getsmsCount;", reply, 4, nullptr, 0, 2), -1);
    EXPECT_EQ(reply[0], 0);
}

TEST(ReplyLength, LittleEndian) {
    const unsigned char bytes[4] = {0x01, 0x02, 0x00, 0x00};
    EXPECT_EQ(decodeReplyLength(bytes), 513);
    const unsigned char negative[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(decodeReplyLength(negative), -1);
}
