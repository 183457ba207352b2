// The hex codec and the readers of the agent's record replies, on canned
// replies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "greenlink_records.h"
#include "hexcodec.h"
#include "reply_parser.h"

using namespace greenlink;

namespace {

std::string item(const std::string& key, const std::string& value) {
    return key + ":" + DataToHex(value) + ";";
}

// The parsers work in place; give them a private copy.
template <typename F> int parse(F parser, const std::string& reply) {
    std::string copy = reply;
    return parser(copy.data());
}

class ReplyParsers : public ::testing::Test {
  protected:
    void SetUp() override { clearAll(); }
    void TearDown() override { clearAll(); }
    static void clearAll() {
        Clear_SMS_NodeList();
        Clear_AddressBook_NodeList();
        Clear_CallHistory_list();
        Clear_CALENDAR_list();
    }
};

} // namespace

TEST(HexCodec, RoundTripsEveryByteAndLongValuesWhole) {
    std::string all;
    for (int i = 1; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    EXPECT_EQ(HexToData(DataToHex(all)), all);
    EXPECT_EQ(DataToHex("\x01\xAB z"), "01AB207A");

    // Long values must not be cut at 510 or 1023 bytes.
    std::string body(5000, 'x');
    body += "END";
    std::string hex = EncryptionData(body.c_str());
    EXPECT_EQ(hex.size(), body.size() * 2);
    EXPECT_EQ(DecryptionData(hex), body);
}

TEST(HexCodec, EdgeForms) {
    EXPECT_EQ(EncryptionData(nullptr), "");
    EXPECT_EQ(EncryptionData(""), "");
    // Lower case is read as the same digits.
    EXPECT_EQ(HexToData("4a6b"), "Jk");
    // An odd last digit is the high half of a byte.
    EXPECT_EQ(HexToData("414"), std::string("A\x40"));
    // The text ends at an embedded NUL.
    EXPECT_EQ(DecryptionData("41004200"), "A");
    // A character that is no digit makes the value bad, never zero bytes.
    bool ok = true;
    EXPECT_EQ(HexToData("G1", &ok), "");
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(DecryptionData("41 2", &ok), "");
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(DecryptionData("4142", &ok), "AB");
    EXPECT_TRUE(ok);
}

TEST(ItemReader, SplitsKeyAndValueInPlace) {
    char text[] = "BODY:4142;DATE:31;.";
    dataParserStruct* it = nullptr;
    char* next = ParserCommandAndData(&it, text);
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(it->key, "BODY");
    EXPECT_STREQ(it->value, "4142");
    next = ParserCommandAndData(&it, next);
    EXPECT_STREQ(it->key, "DATE");
    EXPECT_EQ(ParserCommand_checkisNext(next), next + 1);

    // An empty value does not swallow the next item.
    char empty[] = "READ:;TYPE:32;";
    next = ParserCommandAndData(&it, empty);
    EXPECT_STREQ(it->key, "READ");
    EXPECT_STREQ(it->value, "");
    next = ParserCommandAndData(&it, next);
    EXPECT_STREQ(it->key, "TYPE");

    char unfinished[] = "BODY:41";
    EXPECT_EQ(ParserCommandAndData(&it, unfinished), nullptr);
}

TEST_F(ReplyParsers, MessagesFillEveryFieldAndComeOutNewestFirst) {
    std::string reply = item("ID", "7") + item("PERSON", "Ann") + item("ADDRESS", "+4930123") +
                        item("BODY", "Hello; world.") + item("DATE", "1667093400000") +
                        item("TYPE", "1") + item("READ", "0") + item("THREAD_ID", "3") +
                        item("PROTOCOL", "0") + item("STATUS", "-1") + "." + item("ID", "8") +
                        item("BODY", "second") + ".";
    EXPECT_EQ(parse(android_sms_prase, reply), 2);
    SMessage* head = nullptr;
    EXPECT_EQ(Get_SMS_NodeList(&head), 0);
    ASSERT_NE(head, nullptr);
    EXPECT_STREQ(head->smsId, "8"); // new records go to the head
    SMessage* first = head->next;
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->person, "Ann");
    EXPECT_STREQ(first->address, "+4930123");
    EXPECT_STREQ(first->body, "Hello; world.");
    EXPECT_STREQ(first->date, "1667093400000");
    EXPECT_STREQ(first->type, "1");
    EXPECT_STREQ(first->read, "0");
    EXPECT_STREQ(first->threadId, "3");
    EXPECT_EQ(first->contactId, nullptr);
    EXPECT_EQ(first->reserved1, 0);
}

TEST_F(ReplyParsers, UnclosedAndMalformedRecordsAreNotAdded) {
    // A record without its "." (a cut page) is never taken.
    EXPECT_EQ(parse(android_sms_prase, item("ID", "1") + "." + item("ID", "2")), 1);
    EXPECT_EQ(Get_SMS_Count_NodeList(), 1);
    Clear_SMS_NodeList();
    EXPECT_EQ(parse(android_sms_prase, item("ID", "1") + "BODY:4142"), 0);
    EXPECT_EQ(Get_SMS_Count_NodeList(), 0);
    // A value with a bad digit damages the whole page: -1, not a record
    // with a made-up text.
    Clear_SMS_NodeList();
    EXPECT_EQ(parse(android_sms_prase, item("ID", "1") + "." + "ID:32;BODY:4Z;."), -1);
    // A lone "." is one record with no texts.
    EXPECT_EQ(parse(android_callLog_prase, "."), 1);
    EXPECT_EQ(android_sms_prase(nullptr), -1);
    EXPECT_EQ(android_contact_prase(nullptr), 0);
}

TEST_F(ReplyParsers, ContactsCallsAndEventsMapTheirKeys) {
    std::string contact =
        item("CONTACTID", "12") + item("NAME", "Zoë Ångström") + item("NICKNAME", "Z") +
        item("PHONE_PHONE", "0151") + item("PHONE_HOME", "030") + item("PHONE_WORK", "040") +
        item("WEBSITE", "w") + item("EMAIL_HOME", "h@x") + item("BIRTHDAY", "1990-02-28") +
        item("GROUP", "Friends") + item("NOTE", "n") + item("ORG_NAME", "o") +
        item("ORG_TITLE", "t") + item("ADDRESS_HOME", "ah") + item("ADDRESS_WORK", "aw") +
        item("PHONE_HOMEFAX", "hf") + item("PHONE_WORKFAX", "wf") + item("EMAIL_WORK", "w@x") +
        item("NAME", "Zoë") + ".";
    EXPECT_EQ(parse(android_contact_prase, contact), 1);
    ABPerson* p = nullptr;
    Get_AddressBook_NodeList(&p);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->contactId, "12");
    EXPECT_STREQ(p->firstName, "Zoë"); // the later item wins
    EXPECT_EQ(p->lastName, nullptr);
    EXPECT_STREQ(p->mobile, "0151");
    EXPECT_STREQ(p->birthday, "1990-02-28");
    EXPECT_STREQ(p->groupName, "Friends");
    EXPECT_STREQ(p->department, "t");
    EXPECT_STREQ(p->homeFax, "hf");
    EXPECT_STREQ(p->workEmail, "w@x");

    std::string calls = item("ID", "1") + item("NAME", "Bo") + item("NUMBER", "112") +
                        item("DATE", "1000") + item("TYPE", "3") + item("DURATION", "0") + "." +
                        item("ID", "2") + ".";
    EXPECT_EQ(parse(android_callLog_prase, calls), 2);
    CallHistory* c = nullptr;
    Get_CallHistory_NodeList(&c);
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->callId, "1"); // call log keeps reply order
    EXPECT_STREQ(c->number, "112");
    EXPECT_STREQ(c->type, "3");
    EXPECT_STREQ(c->duration, "0");

    std::string event = item("ID", "5") + item("CALENDARID", "1") + item("TITLE", "Meet") +
                        item("START", "1700000000000") + item("END", "1700003600000") +
                        item("EVENTLOC", "Room") + item("EVENTTZ", "Europe/Berlin") +
                        item("DESCRIPTION", "d") + item("HASALARM", "1") + item("MINUTES", "15") +
                        item("RRULE", "FREQ=WEEKLY;BYDAY=MO") + ".";
    EXPECT_EQ(parse(android_Calendar_prase, event), 1);
    Calendar* e = nullptr;
    Get_CALENDAR_NodeList(&e);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->timeZone, "Europe/Berlin");
    EXPECT_STREQ(e->rrule, "FREQ=WEEKLY;BYDAY=MO");
    EXPECT_STREQ(e->alarmMinutes, "15");
}

TEST_F(ReplyParsers, ANulByteIsReplacedNotCutAndMarksTheRecord) {
    const std::string body("before\0after\0", 13);
    EXPECT_EQ(parse(android_sms_prase, item("ID", "1") + item("BODY", "clean") + "." +
                                           item("ID", "2") + item("BODY", body) + "."),
              2);
    SMessage* head = nullptr;
    Get_SMS_NodeList(&head);
    ASSERT_NE(head, nullptr);
    ASSERT_NE(head->next, nullptr);
    EXPECT_STREQ(head->body, "before\xEF\xBF\xBD"
                             "after\xEF\xBF\xBD");
    EXPECT_EQ(head->reserved2 & RECORD_TEXT_NUL_REPLACED, RECORD_TEXT_NUL_REPLACED);
    EXPECT_EQ(head->next->reserved2, 0); // the mark belongs to its own record only
}

TEST_F(ReplyParsers, GivenAndFamilyNameComeApartWhenTheAgentSendsThem) {
    std::string reply = item("CONTACTID", "1") + item("NAME", "Anna Berg") +
                        item("GIVENNAME", "Anna") + item("FAMILYNAME", "Berg") + "." +
                        // only a family name: no first name, not the family name twice
                        item("CONTACTID", "2") + item("NAME", "Berg") + item("FAMILYNAME", "Berg") +
                        "." +
                        // an agent that sends the display name alone
                        item("CONTACTID", "3") + item("NAME", "Anna Maria Berg") + ".";
    EXPECT_EQ(parse(android_contact_prase, reply), 3);
    ABPerson* p = nullptr;
    Get_AddressBook_NodeList(&p);
    std::vector<std::string> names;
    for (; p; p = p->next)
        names.push_back(std::string(p->contactId) + "|" + (p->firstName ? p->firstName : "-") +
                        "|" + (p->lastName ? p->lastName : "-"));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"1|Anna|Berg", "2|-|Berg", "3|Anna Maria Berg|-"}));
}

TEST(ItemParsers, MediaRecordsTakeTheFirstRecordAndCutTexts) {
    std::string longTitle(400, 'T');
    std::string reply = item("ID", "42") + item("TILTE", longTitle) +
                        item("PATH", "/storage/emulated/0/DCIM/a.jpg") +
                        item("SIZE", "3000000000") + item("MODIFTIME", "1700000000000") +
                        item("UNKNOWN", "x") + "." + item("ID", "43") + ".";
    ItemPhotoInfo photo{};
    EXPECT_EQ(android_DCIM_prase(reply.data(), &photo), 0);
    EXPECT_EQ(photo.id, 42);
    EXPECT_EQ(std::strlen(photo.title), 254u);
    EXPECT_STREQ(photo.path, "/storage/emulated/0/DCIM/a.jpg");
    EXPECT_EQ(photo.size, 3000000000LL); // sizes above 2 GiB stay whole
    EXPECT_EQ(photo.modifyTime, 1700000000000LL);

    std::string app = item("PKG", "org.example.app") + item("APPNAME", std::string(300, 'a')) +
                      item("VERSIONCODE", "99999999999") + item("INSTALLTIME", "1600000000000") +
                      item("PERMISSIONS", std::string(500, 'p')) + ".";
    ItemAppInfo a{};
    EXPECT_EQ(android_APP_prase(app.data(), &a), 0);
    EXPECT_STREQ(a.packageName, "org.example.app");
    EXPECT_EQ(std::strlen(a.appName), 254u);
    EXPECT_EQ(a.versionCode, INT32_MAX); // clamped, not wrapped
    EXPECT_EQ(a.installTime, 1600000000000LL);

    ItemVideoInfo v{};
    EXPECT_EQ(android_Video_prase(nullptr, &v), -1);
    std::string music = item("ID", "1") + item("ALBUMID", "2") + item("ARTIST", "Ärzte") + ".";
    ItemMusicInfo m{};
    EXPECT_EQ(android_MUSIC_prase(music.data(), &m), 0);
    EXPECT_EQ(m.albumId, 2);
    EXPECT_STREQ(m.artist, "Ärzte");
}

TEST(ItemParsers, DeviceInformationFigures) {
    std::string reply = item("MEMTOTAL", "4000000000") + item("SDAVAIL", "123") + ".";
    AndroidDeviceInfo info{};
    EXPECT_EQ(android_deviceinfo_prase(reply.data(), &info), 0);
    // The record is packed: copy the figures out before comparing.
    uint64_t memoryTotal = info.memoryTotal, sdAvailable = info.sdAvailable,
             phoneTotal = info.phoneTotal;
    EXPECT_EQ(memoryTotal, 4000000000ULL);
    EXPECT_EQ(sdAvailable, 123ULL);
    EXPECT_EQ(phoneTotal, 0ULL);
}
