// Faults the agent acts out on request: stalls, cut-short and oversized
// replies, a full disk, and their limits by command and count.
#include "agent_client.h"

#include "faults.h"

#include <poll.h>

using labtest::AgentConnection;
using labtest::hex;

namespace {

std::string call(int i) {
    return "AddCallHistory:" + hex("555" + std::to_string(i)) + "-" + hex("1700000000000") + "-" +
           hex("1") + "-" + hex("5") + ";";
}

lab::Faults faults(const std::string& text) { return lab::parseFaults(text); }

TEST(LabAgentFaults, FileFormatRoundTrips) {
    lab::Faults f = faults("stall=3\ncut=10\noversize=7\ndrop=1\ndiskfull=1\nsmsaccept=-1\n"
                           "only=getsms\ntimes=2\nbogus=1\nstall2=x\n");
    EXPECT_EQ(f.stallSeconds, 3);
    EXPECT_EQ(f.cutBytes, 10);
    EXPECT_EQ(f.oversizeBytes, 7);
    EXPECT_TRUE(f.dropAfterReply);
    EXPECT_TRUE(f.diskFull);
    EXPECT_EQ(f.smsAcceptSeconds, -1);
    EXPECT_EQ(f.onlyPrefix, "getsms");
    EXPECT_EQ(f.times, 2);
    EXPECT_EQ(lab::formatFaults(lab::parseFaults(lab::formatFaults(f))), lab::formatFaults(f));
    EXPECT_EQ(lab::formatFaults(faults("")), "");
}

TEST(LabAgentFaults, StalledReplyComesLate) {
    auto config = labtest::phoneConfig("stall");
    AgentConnection c(config);
    ASSERT_TRUE(lab::writeFaults(config.dir, faults("stall=1\ntimes=1\n")));
    c.send("hello-android;");
    pollfd p{c.client(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 200), 0); // nothing yet: the agent holds the reply back
    auto r = c.readRaw();
    ASSERT_TRUE(r.gotHeader);
    EXPECT_EQ(r.bytes, "HI-PC");
    EXPECT_EQ(lab::formatFaults(lab::readFaults(config.dir)), ""); // used up
}

TEST(LabAgentFaults, StopEndsAStall) {
    auto config = labtest::phoneConfig("stop");
    AgentConnection c(config);
    ASSERT_TRUE(lab::writeFaults(config.dir, faults("stall=3600\n")));
    c.send("hello-android;");
    c.agent().stop();
    EXPECT_TRUE(c.readRaw().closed);
}

TEST(LabAgentFaults, CutShortReplyDropsTheConnection) {
    auto config = labtest::phoneConfig("cut");
    {
        AgentConnection c(config);
        ASSERT_TRUE(lab::writeFaults(config.dir, faults("cut=2\n")));
        c.send("hello-android;");
        auto r = c.readRaw();
        ASSERT_TRUE(r.gotHeader);
        EXPECT_EQ(r.length, 5);
        EXPECT_EQ(r.bytes, "HI");
        EXPECT_TRUE(r.closed);
    }
    ASSERT_TRUE(lab::writeFaults(config.dir, {}));
    AgentConnection again(config);
    EXPECT_EQ(again.reply("hello-android;"), "HI-PC");
}

TEST(LabAgentFaults, OversizedLengthFieldOnlyForMatchingCommands) {
    auto config = labtest::phoneConfig("oversize");
    AgentConnection c(config);
    ASSERT_TRUE(lab::writeFaults(config.dir, faults("oversize=100\nonly=getcalllog\ntimes=1\n")));
    EXPECT_EQ(c.reply("hello-android;"), "HI-PC"); // not matched, not counted
    c.send("getcalllogcount;");
    std::string header(4, '\0');
    ASSERT_EQ(::recv(c.client(), header.data(), 4, MSG_WAITALL), 4);
    EXPECT_EQ(static_cast<uint8_t>(header[0]), 104); // 4 bytes announced as 104
    char count[4];
    ASSERT_EQ(::recv(c.client(), count, 4, MSG_WAITALL), 4);
    pollfd p{c.client(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 100), 0); // the other 100 never come
    // The fault was used up: the next exchange is framed right.
    EXPECT_EQ(c.intReply("getcalllogcount;"), 0);
}

TEST(LabAgentFaults, FullDiskRefusesEveryWrite) {
    auto config = labtest::phoneConfig("diskfull");
    AgentConnection c(config);
    ASSERT_EQ(c.intReply(call(1)), 1);
    ASSERT_EQ(c.intReply("open_photofile:" + hex("a.jpg") + ";"), 0);
    ASSERT_TRUE(lab::writeFaults(config.dir, faults("diskfull=1\n")));
    EXPECT_EQ(c.intReply(call(2)), -1);
    EXPECT_EQ(c.int64Reply("AddPerson:" + hex("x") + ":;"), -1);
    EXPECT_EQ(c.intReply("ClearCallHistory;"), -1);
    EXPECT_EQ(c.intReply("write_photofile:3;", "abc"), -1);
    EXPECT_EQ(c.intReply("close_photofile;"), 0);
    EXPECT_EQ(c.intReply("addphototodevice:" + hex("a.jpg") + ";"), -1);
    EXPECT_EQ(c.intReply("open_photofile:" + hex("b.jpg") + ";"), -1);
    // Reading still works, and nothing half-written stayed behind.
    EXPECT_EQ(c.intReply("getcalllogcount;"), 1);
    EXPECT_EQ(c.intReply("getdcimcount;"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(config.dir + "/sdcard/Images"));
}

TEST(LabAgentFaults, OverlongCommandAndPayloadEndTheConnection) {
    auto config = labtest::phoneConfig("overlong");
    {
        AgentConnection c(config);
        c.send("write_photofile:" + std::to_string((16 << 20) + 1) + ";");
        EXPECT_TRUE(c.readRaw().closed);
    }
    // The reader refuses a command one byte past its cap, at the cap it reads it.
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    ASSERT_TRUE(lab::sendAll(fds[0], std::string(16, 'a') + ";" + std::string(17, 'b') + ";"));
    lab::FdReader reader(fds[1], 16);
    std::string command;
    EXPECT_EQ(reader.readCommand(command), lab::FdReader::Status::Ok);
    EXPECT_EQ(command, std::string(16, 'a'));
    EXPECT_EQ(reader.readCommand(command), lab::FdReader::Status::TooLong);
    ::close(fds[0]);
    ::close(fds[1]);
}

} // namespace
