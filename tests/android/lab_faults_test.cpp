// A virtual phone misbehaving: a stalled agent, replies cut short or with a
// length beyond what follows, lost replies to writes, an adb server restart,
// and the connection dropping in the middle of a file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>

#include "android_lab.h"
#include "channel.h"
#include "greenlink.h"

using namespace std::chrono_literals;

namespace {

// Agent faults for the next matching commands of one phone.
void agentFault(AndroidLab& lab, int position, const std::string& lines) {
    writeFile(lab.phoneDir(lab.phoneAt(position)) + "/agent-faults", lines);
}
void clearAgentFault(AndroidLab& lab, int position) {
    std::remove((lab.phoneDir(lab.phoneAt(position)) + "/agent-faults").c_str());
}

SMessage message(std::string& address, std::string& body, std::string& date) {
    SMessage m{};
    m.address = address.data();
    m.body = body.data();
    m.date = date.data();
    return m;
}

class LabFaults : public ::testing::Test {
  protected:
    void SetUp() override { greenlink::setChannelTimeouts(700ms, 2000ms); }
    void TearDown() override { greenlink::setChannelTimeouts(60000ms, 20000ms); }
};

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (char& c : out)
        c = static_cast<char>(gen());
    return out;
}

} // namespace

TEST_F(LabFaults, BadRepliesAreErrorsAndNeverHalfTaken) {
    AndroidLab lab(1, {"--scenario", "legacy"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(1));
    std::string address = "555", body = "x", date = "1700000000000";
    for (int i = 0; i < 7; ++i) {
        body = "message " + std::to_string(i);
        SMessage m = message(address, body, date);
        ASSERT_GT(AndroidTSF_SendSMS(&m, 0), 0);
    }

    // A page cut short is not parsed: the list stays empty, nothing partial.
    agentFault(lab, 0, "cut=40\nonly=getsmsPart10\n");
    EXPECT_EQ(AndroidTSF_FlushSMS(0, 0), -1); // and says so
    SMessage* head = nullptr;
    EXPECT_EQ(AndroidTSF_GetSMS(&head), 0);
    EXPECT_EQ(head, nullptr);

    // A length field beyond the bytes that follow: the same.
    agentFault(lab, 0, "oversize=64\nonly=getsmsPart10\n");
    AndroidTSF_FlushSMS(0, 0);
    EXPECT_EQ(AndroidTSF_GetSMS(&head), 0);

    // A stalled agent: the count fails within the (shortened) time-out.
    agentFault(lab, 0, "stall=5\nonly=getsmsCount\n");
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(AndroidTSF_FlushSMS_Count(0), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 30s);

    // Once the phone behaves again, the very next commands get whole answers.
    clearAgentFault(lab, 0);
    EXPECT_EQ(AndroidTSF_FlushSMS_Count(0), 7);
    AndroidTSF_FlushSMS(0, 5);
    EXPECT_EQ(AndroidTSF_GetSMS(&head), 2);
}

// A contact is made first and its fields are stored one by one: when an
// update is not confirmed the contact is reported as not copied (it is on the
// phone only in part), never as copied.
TEST_F(LabFaults, AContactWithAnUnconfirmedFieldIsNotReportedCopied) {
    AndroidLab lab(1, {"--scenario", "legacy"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(1));
    std::string first = "Ada", last = "Lovelace", mobile = "+44 20 7946 0000",
                email = "ada@example.org", id = "1";
    ABPerson p{};
    p.contactId = id.data();
    p.firstName = first.data();
    p.lastName = last.data();
    p.mobile = mobile.data();
    p.homeEmail = email.data();
    agentFault(lab, 0, "cut=2\nonly=UpdatePerson\ntimes=1\n");
    EXPECT_EQ(AndroidTSF_AddPerson2(&p, 0), -2);
    clearAgentFault(lab, 0);
    EXPECT_EQ(AndroidTSF_AddPerson2(&p, 0), 0);
}

TEST_F(LabFaults, AWriteWhoseReplyIsLostIsStoredOnce) {
    AndroidLab lab(1, {"--scenario", "legacy"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(1));
    std::string address = "555", body = "only once", date = "1700000000000";
    SMessage m = message(address, body, date);

    agentFault(lab, 0, "stall=2\nonly=SendSMS\ntimes=1\n");
    EXPECT_EQ(AndroidTSF_SendSMS(&m, 0), 0); // no answer in time: reported as failed
    agentFault(lab, 0, "cut=2\nonly=AddCallHistory\ntimes=1\n");
    std::string number = "112", type = "3", duration = "4";
    CallHistory c{};
    c.number = number.data();
    c.date = date.data();
    c.type = type.data();
    c.duration = duration.data();
    EXPECT_EQ(AndroidTSF_AddCallHistory(&c, 0), 0);
    clearAgentFault(lab, 0);
    sleep(3); // the stalled reply's command has long been stored by now

    EXPECT_EQ(AndroidTSF_FlushSMS_Count(0), 1);
    EXPECT_EQ(AndroidTSF_FlushCallLog_Count(0), 1);
}

TEST_F(LabFaults, AdbServerRestartBetweenTwoCommands) {
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(2));
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(1), 0);
    ASSERT_TRUE(lab.adb({"kill-server"}));
    // The lab reconnects its phones to the new server as a cable would.
    ASSERT_TRUE(lab.waitForPhones());
    // Both channels find their phones again (the forwarding is set up anew),
    // and a write after the restart is stored exactly once.
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(1), 0);
    int older = AndroidTSF_CheckAndroidVersionAt44(0) ? 1 : 0; // needs no SMS role
    std::string address = "555", body = "after restart", date = "1700000000000";
    SMessage m = message(address, body, date);
    EXPECT_GT(AndroidTSF_SendSMS(&m, older), 0);
    EXPECT_EQ(AndroidTSF_FlushSMS_Count(older), 1);
}

TEST_F(LabFaults, PhoneVanishingMidFileLeavesNoPartialFile) {
    greenlink::setChannelTimeouts(5000ms, 5000ms);
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(2));
    std::string src = lab.sdcard(lab.phoneAt(0)), dst = lab.sdcard(lab.phoneAt(1));
    mkdir((src + "/Movies").c_str(), 0755);
    std::string video = randomBytes(4 * 1024 * 1024, 11);
    writeFile(src + "/Movies/big.mp4", video);
    AndroidTSF_FlushDevicesVideo(0);
    ItemVideoInfo v{};
    ASSERT_EQ(AndroidTSF_GetVideoInfo(&v, 0, 0), 0);

    // The destination's connection drops after 1 MB of the agent stream.
    ASSERT_TRUE(lab.fault(lab.phoneAt(1), "drop-after-bytes", 1000000));
    EXPECT_EQ(AndroidTSF_TransferVideofromDevice(v.id, v.displayName, v.size, 0, 1), -1);
    lab.fault(lab.phoneAt(1), "clear");
    sleep(1);
    EXPECT_EQ(listFolder(dst + "/Videos"), std::vector<std::string>{}) << "partial file left";

    // The same with adb push.
    std::string local = lab.scratch("vanish") + "/pushed.mp4";
    writeFile(local, video);
    ASSERT_TRUE(lab.fault(lab.phoneAt(1), "drop-after-bytes", 1000000));
    char name[] = "pushed.mp4";
    EXPECT_EQ(AndroidTSF_AddVideoToDevice(local.data(), name, 1), -1);
    lab.fault(lab.phoneAt(1), "clear");
    for (int i = 0; i < 20 && fileExists(dst + "/Videos/pushed.mp4"); ++i)
        usleep(250000);
    EXPECT_FALSE(fileExists(dst + "/Videos/pushed.mp4"));

    // And the phone serves whole files again once it is back.
    ASSERT_TRUE(lab.waitForPhones());
    EXPECT_EQ(AndroidTSF_TransferVideofromDevice(v.id, v.displayName, v.size, 0, 1), 0);
    EXPECT_EQ(readFile(dst + "/Videos/big.mp4"), video);
}
