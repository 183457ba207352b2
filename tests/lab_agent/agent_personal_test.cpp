// The agent's personal-data commands against its store, over a socketpair.
#include "agent_client.h"
#include "session.h"

#include <chrono>

using labtest::AgentConnection;
using labtest::hex;

namespace {

std::string smsCommand(const std::string& address, const std::string& body,
                       const std::string& date = "1700000000000", const std::string& type = "1") {
    return "SendSMS:" + hex(address) + "-" + hex(body) + "-" + hex(date) + "-" + hex("1") + "-" +
           hex("-1") + "-" + hex(type) + ";";
}

std::string callCommand(int i) {
    return "AddCallHistory:" + hex("+49 30 " + std::to_string(1000 + i)) + "-" +
           hex(std::to_string(1700000000000LL + i)) + "-" + hex(std::to_string(i % 6 + 1)) + "-" +
           hex("42") + ";";
}

TEST(LabAgentPersonal, HandshakeAndUnknownCommands) {
    AgentConnection c(labtest::phoneConfig("hello"));
    EXPECT_EQ(c.reply("hello-android;"), "HI-PC");
    EXPECT_EQ(c.intReply("noSuchCommand:12;"), -1);
    EXPECT_EQ(c.intReply(";"), -1);
    // The connection still answers after refusals.
    EXPECT_EQ(c.reply("hello-android;"), "HI-PC");
}

TEST(LabAgentPersonal, PagesOfFiveWalkTwelveRecords) {
    AgentConnection c(labtest::phoneConfig("pages"));
    EXPECT_EQ(c.intReply("getcalllogcount;"), 0);
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(c.intReply(callCommand(i)), 1);
    EXPECT_EQ(c.intReply("getcalllogcount;"), 12);
    std::vector<std::string> numbers;
    for (int start : {0, 5, 10}) {
        auto page =
            AgentConnection::records(c.reply("getcalllogpart10:" + std::to_string(start) + ";"));
        EXPECT_EQ(page.size(), start == 10 ? 2u : 5u);
        for (auto& r : page) {
            EXPECT_EQ(r["DURATION"], "42");
            EXPECT_FALSE(r["ID"].empty());
            numbers.push_back(r["NUMBER"]);
        }
    }
    ASSERT_EQ(numbers.size(), 12u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(numbers[static_cast<std::size_t>(i)], "+49 30 " + std::to_string(1000 + i));
    EXPECT_EQ(c.reply("getcalllogpart10:12;"), "");
    EXPECT_EQ(c.reply("getcalllogpart10:-5;"), "");
    EXPECT_EQ(c.intReply("ClearCallHistory;"), 1);
    EXPECT_EQ(c.intReply("getcalllogcount;"), 0);
}

// A range holds whole records only, within the reader's byte budget, and
// never stops before its first record.
TEST(LabAgentPersonal, RangesHoldWholeRecordsWithinTheirBudget) {
    AgentConnection c(labtest::phoneConfig("ranges"));
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(c.intReply(callCommand(i)), 1);
    const std::string all = c.reply("getcalllogRange:0:100:100000;");
    ASSERT_EQ(AgentConnection::records(all).size(), 12u);
    const std::string five = c.reply("getcalllogpart10:0;");
    EXPECT_EQ(all.compare(0, five.size(), five), 0)
        << "a range begins with the same bytes as the page of five";
    const std::string first3 = c.reply("getcalllogRange:0:3:100000;");
    EXPECT_EQ(AgentConnection::records(first3).size(), 3u);
    // A budget of exactly three records' bytes holds three; one byte less, two.
    const std::string budget = std::to_string(first3.size());
    EXPECT_EQ(c.reply("getcalllogRange:0:10:" + budget + ";"), first3);
    const std::string shorter = std::to_string(first3.size() - 1);
    EXPECT_EQ(AgentConnection::records(c.reply("getcalllogRange:0:10:" + shorter + ";")).size(),
              2u);
    auto lone = AgentConnection::records(c.reply("getcalllogRange:11:10:1;"));
    ASSERT_EQ(lone.size(), 1u) << "the first record goes out even when it alone is larger";
    EXPECT_EQ(lone[0]["NUMBER"], "+49 30 1011");
    EXPECT_EQ(AgentConnection::records(c.reply("getcalllogRange:10:10:100000;")).size(), 2u);
    EXPECT_EQ(c.reply("getcalllogRange:12:10:100000;"), "");
    for (const char* bad : {"getcalllogRange:0;", "getcalllogRange:-1:5:100;",
                            "getcalllogRange:0:0:100;", "getcalllogRange:0:5:x;"})
        EXPECT_EQ(c.intReply(bad), -1) << bad;
}

TEST(LabAgentPersonal, LongAndOddValuesAreStoredWhole) {
    auto config = labtest::phoneConfig("long", 18); // below 4.4: no SMS role needed
    AgentConnection c(config);
    std::string body;
    while (body.size() < 5 * 1024)
        body += "Grüße 👋 \"quoted\"; a:b-c.\n";
    std::string withNul = std::string("before\0after", 12);
    ASSERT_EQ(c.intReply(smsCommand("+49 (30) 123", body)), 1);
    ASSERT_EQ(c.intReply(smsCommand("+4930123", withNul, "1700000000001", "2")), 1);
    auto page = AgentConnection::records(c.reply("getsmsPart10:0;"));
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0]["BODY"], body);
    EXPECT_EQ(page[1]["BODY"], withNul);
    EXPECT_EQ(page[1]["TYPE"], "2");
    EXPECT_EQ(page[0]["READ"], "1");
    // Both spellings of the number belong to one conversation.
    EXPECT_EQ(page[0]["THREAD_ID"], page[1]["THREAD_ID"]);
    // Lower-case hex is still hex; broken hex stores nothing.
    EXPECT_EQ(c.intReply("SendSMS:3132-6869-31-31-2D31-31;"), 1);
    EXPECT_EQ(c.intReply("SendSMS:313-6869-31-31-2D31-31;"), -1);
    EXPECT_EQ(c.intReply("SendSMS:31-ZZ-31-31-2D31-31;"), -1);
    EXPECT_EQ(c.intReply("SendSMS:31-6869;"), -1);
    EXPECT_EQ(c.intReply("getsmsCount;"), 3);
}

TEST(LabAgentPersonal, ContactsByAddAndUpdateAndByOneCommand) {
    AgentConnection c(labtest::phoneConfig("contacts"));
    int64_t id =
        c.int64Reply("AddPerson:" + hex("Zoë Müller") + ":" + hex("+1-202-555-0143") + ";");
    ASSERT_GT(id, 0);
    std::string ids = std::to_string(id);
    EXPECT_EQ(c.intReply("UpdatePerson:" + ids + ":" + hex("z@example.org") + ":WORKEMAIL;"), 1);
    EXPECT_EQ(c.intReply("UpdatePerson:" + ids + ":" + hex("Acme") + ":ORGANZATION;"), 1);
    EXPECT_EQ(c.intReply("UpdatePerson:" + ids + ":" + hex("x") + ":NOSUCHKEY;"), -1);
    EXPECT_EQ(c.intReply("UpdatePerson:999999:" + hex("x") + ":NOTE;"), 0);

    // AddPerson3 carries eighteen fields by position (3 to 20), then a blank.
    std::vector<std::string> fields(18);
    for (int i = 0; i < 18; ++i)
        fields[static_cast<std::size_t>(i)] = "f" + std::to_string(i + 3);
    std::string cmd = "AddPerson3:" + hex("王伟");
    for (const auto& f : fields)
        cmd += "-" + hex(f);
    cmd += "-" + hex(" ") + ";";
    int64_t id3 = c.int64Reply(cmd);
    EXPECT_GT(id3, id);

    auto page = AgentConnection::records(c.reply("getcontactpart10:0;"));
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0]["NAME"], "Zoë Müller");
    EXPECT_EQ(page[0]["PHONE_PHONE"], "+1-202-555-0143");
    EXPECT_EQ(page[0]["EMAIL_WORK"], "z@example.org");
    EXPECT_EQ(page[0]["ORG_NAME"], "Acme");
    EXPECT_EQ(page[0].count("NOTE"), 0u); // empty values are left out
    const std::map<std::string, std::string> byPosition = {
        {"NICKNAME", "f3"},      {"PHONE_PHONE", "f4"},    {"PHONE_HOME", "f5"},
        {"PHONE_WORK", "f6"},    {"WEBSITE", "f7"},        {"EMAIL_HOME", "f8"},
        {"BIRTHDAY", "f9"},      {"GROUP", "f10"},         {"NOTE", "f11"},
        {"ORG_NAME", "f12"},     {"ORG_TITLE", "f13"},     {"ADDRESS_HOME", "f16"},
        {"ADDRESS_WORK", "f17"}, {"PHONE_HOMEFAX", "f18"}, {"PHONE_WORKFAX", "f19"},
        {"EMAIL_WORK", "f20"}};
    for (const auto& [key, value] : byPosition)
        EXPECT_EQ(page[1][key], value) << key;
    EXPECT_EQ(page[1]["NAME"], "王伟");
    EXPECT_EQ(page[1].count("FAMILYNAME"), 0u); // a name kept whole
    EXPECT_EQ(page[1]["CONTACTID"], std::to_string(id3));

    // Given and family name after the blank are kept apart and listed apart.
    cmd = "AddPerson3:" + hex("Ada Lovelace") + std::string(18, '-') + "-" + hex(" ") + "-" +
          hex("Ada") + "-" + hex("Lovelace") + ";";
    ASSERT_GT(c.int64Reply(cmd), id3);
    page = AgentConnection::records(c.reply("getcontactpart10:2;"));
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0]["NAME"], "Ada Lovelace");
    EXPECT_EQ(page[0]["GIVENNAME"], "Ada");
    EXPECT_EQ(page[0]["FAMILYNAME"], "Lovelace");
    EXPECT_EQ(c.intReply("ClearPerson;"), 1);
    EXPECT_EQ(c.intReply("getcontactCount;"), 0);
}

TEST(LabAgentPersonal, CalendarKeepsZoneRuleAndAlarm) {
    AgentConnection c(labtest::phoneConfig("calendar"));
    auto add = [&](const std::string& rrule) {
        return c.intReply("AddCalender:" + hex("Standup") + "-" + hex("1767225600000") + "-" +
                          hex("1767227400000") + "-" + hex("Room 4") + "-" + hex("Europe/Berlin") +
                          "-" + hex("notes") + "-" + hex("1") + "-" + hex("15") + "-" + hex(rrule) +
                          ";");
    };
    ASSERT_EQ(add("FREQ=WEEKLY;BYDAY=MO,WE"), 1);
    ASSERT_EQ(add(" "), 1); // a single blank means no recurrence
    auto page = AgentConnection::records(c.reply("getcalendarpart10:0;"));
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0]["RRULE"], "FREQ=WEEKLY;BYDAY=MO,WE");
    EXPECT_EQ(page[0]["EVENTTZ"], "Europe/Berlin");
    EXPECT_EQ(page[0]["MINUTES"], "15");
    EXPECT_EQ(page[0]["HASALARM"], "1");
    EXPECT_EQ(page[0]["START"], "1767225600000");
    EXPECT_EQ(page[1].count("RRULE"), 0u);
    EXPECT_EQ(c.intReply("getcalendarcount;"), 2);
}

TEST(LabAgentPersonal, DefaultSmsRoleGatesMessagesFromAndroid44) {
    auto quick = labtest::phoneConfig("role-quick");
    quick.smsPromptAcceptAfterSeconds = 1;
    AgentConnection c(quick);
    EXPECT_EQ(c.reply("GetDefaultMessage_pkgName;"), "com.android.messaging");
    EXPECT_EQ(c.intReply(smsCommand("123", "refused")), -1);
    EXPECT_EQ(c.intReply("SetDefaultMessage;"), 0);
    // The user accepts after about a second; poll as the library does.
    std::string holder;
    for (int i = 0; i < 600 && holder != "com.quellfin.kestrova"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        holder = c.reply("GetDefaultMessage_pkgName;");
    }
    ASSERT_EQ(holder, "com.quellfin.kestrova");
    EXPECT_EQ(c.intReply(smsCommand("123", "stored")), 1);
    EXPECT_EQ(c.intReply("ReSetDefaultMessage;"), 1);
    EXPECT_EQ(c.reply("GetDefaultMessage_pkgName;"), "com.android.messaging");
    EXPECT_EQ(c.intReply(smsCommand("123", "refused again")), -1);
    auto page = AgentConnection::records(c.reply("getsmsPart10:0;"));
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0]["BODY"], "stored");

    // A user who never accepts; by now the quick phone's second has passed.
    auto never = labtest::phoneConfig("role-never");
    never.smsPromptAcceptAfterSeconds = -1;
    AgentConnection n(never);
    EXPECT_EQ(n.intReply("SetDefaultMessage;"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(n.reply("GetDefaultMessage_pkgName;"), "com.android.messaging");
    EXPECT_EQ(n.intReply(smsCommand("123", "refused")), -1);
    EXPECT_EQ(n.intReply("getsmsCount;"), 0);
}

TEST(LabAgentPersonal, StoreIsSharedBetweenConnections) {
    auto config = labtest::phoneConfig("shared");
    AgentConnection a(config);
    ASSERT_EQ(a.intReply(callCommand(1)), 1);
    EXPECT_EQ(a.intReply("getcalllogcount;"), 1); // caches its id list
    lab::Agent& agent = a.agent();
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    std::thread second([&] { agent.serve(fds[1]); });
    ASSERT_TRUE(lab::sendAll(fds[0], labtest::kTestToken + callCommand(2)));
    char reply[8];
    ASSERT_EQ(::recv(fds[0], reply, 8, MSG_WAITALL), 8);
    ::shutdown(fds[0], SHUT_RDWR);
    second.join();
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(a.intReply("getcalllogcount;"), 2);
    EXPECT_EQ(AgentConnection::records(a.reply("getcalllogpart10:0;")).size(), 2u);
}

} // namespace

namespace {

TEST(LabAgentPersonal, SmsWritersRestrictedFromAndroid44) {
    auto version = [](const std::string& text, int sdk = 0) {
        lab::PhoneConfig c;
        c.androidVersion = text;
        c.sdk = sdk;
        return lab::restrictsSmsWriters(c);
    };
    EXPECT_TRUE(version("4.4.2"));
    EXPECT_TRUE(version("10"));
    EXPECT_FALSE(version("4.3"));
    EXPECT_FALSE(version("4.0.4"));
    EXPECT_FALSE(version(""));
    EXPECT_TRUE(version("4.3", 19)); // the API level wins when it is known
    EXPECT_FALSE(version("10", 18));
}

} // namespace
