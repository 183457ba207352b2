// Record lists: insertion order, deep copies, counts, clears and the
// by-key replacement of contact texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "greenlink_records.h"

namespace {

SMessage message(const char* id, const char* thread = nullptr, const char* address = nullptr,
                 const char* date = nullptr) {
    SMessage m = {};
    m.smsId = const_cast<char*>(id);
    m.threadId = const_cast<char*>(thread);
    m.address = const_cast<char*>(address);
    m.date = const_cast<char*>(date);
    return m;
}

std::vector<std::string> smsIds() {
    std::vector<std::string> ids;
    SMessage* head = nullptr;
    Get_SMS_NodeList(&head);
    for (; head; head = head->next)
        ids.emplace_back(head->smsId ? head->smsId : "(null)");
    return ids;
}

class RecordLists : public ::testing::Test {
  protected:
    void TearDown() override {
        Clear_AddressBook_NodeList();
        Clear_SMS_NodeList();
        Clear_CallHistory_list();
        Clear_CALENDAR_list();
        Clear_Reminders_list();
        Clear_NOTES_list();
    }
};

TEST_F(RecordLists, MessagesAndContactsComeOutNewestFirstCallsAndEventsInOrder) {
    for (const char* id : {"A", "B", "C"}) {
        SMessage m = message(id);
        Add_SMS_NodeList(&m);
    }
    EXPECT_EQ(smsIds(), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(Get_SMS_Count_NodeList(), 3);

    for (const char* id : {"A", "B", "C"}) {
        CallHistory c = {};
        c.callId = const_cast<char*>(id);
        EXPECT_GT(Add_CallHistory_NodeList(&c), 0);
    }
    CallHistory* call = nullptr;
    Get_CallHistory_NodeList(&call);
    std::string order;
    for (; call; call = call->next)
        order += call->callId;
    EXPECT_EQ(order, "ABC");
    EXPECT_EQ(Get_CallHistory_Count_NodeList(), 3);

    for (const char* id : {"1", "2"}) {
        Calendar e = {};
        e.eventId = const_cast<char*>(id);
        Add_CALENDAR_NodeList(&e);
        Add_Reminders_NodeList(&e);
    }
    Calendar* event = nullptr;
    Get_CALENDAR_NodeList(&event);
    ASSERT_NE(event, nullptr);
    EXPECT_STREQ(event->eventId, "1");
    ASSERT_NE(event->next, nullptr);
    EXPECT_STREQ(event->next->eventId, "2");
    EXPECT_EQ(event->next->next, nullptr);
}

TEST_F(RecordLists, AddCopiesEveryTextAndTheCallerKeepsItsRecord) {
    std::string body(5000, 'x');
    body += "\xF0\x9F\x98\x80"; // an emoji at the end of a long text
    char id[] = "42";
    SMessage m = {};
    m.smsId = id;
    m.body = body.data();
    m.reserved1 = 7;
    m.reserved2 = -3;
    ASSERT_EQ(Add_SMS_NodeList(&m), 1);
    id[0] = '9'; // the list must not share the caller's texts

    SMessage* head = nullptr;
    Get_SMS_NodeList(&head);
    ASSERT_NE(head, nullptr);
    EXPECT_NE(head->smsId, m.smsId);
    EXPECT_STREQ(head->smsId, "42");
    EXPECT_EQ(std::string(head->body), body);
    EXPECT_EQ(head->person, nullptr);
    EXPECT_EQ(head->contactId, nullptr);
    EXPECT_EQ(head->reserved1, 7);
    EXPECT_EQ(head->reserved2, -3);
}

TEST_F(RecordLists, ClearingEmptiesAndAnEmptyListStaysEmpty) {
    EXPECT_EQ(Clear_SMS_NodeList(), 0);
    EXPECT_EQ(Get_SMS_Count_NodeList(), 0);
    SMessage m = message("1");
    Add_SMS_NodeList(&m);
    Clear_SMS_NodeList();
    SMessage* head = &m;
    Get_SMS_NodeList(&head);
    EXPECT_EQ(head, nullptr);
    EXPECT_EQ(Get_SMS_Count_NodeList(), 0);
    // A list started again counts from one.
    EXPECT_EQ(Add_SMS_NodeList(&m), 1);
}

TEST_F(RecordLists, ContactsAreFoundByIdAndChangedByKey) {
    for (const char* id : {"10", "11"}) {
        ABPerson p = {};
        p.contactId = const_cast<char*>(id);
        p.groupName = const_cast<char*>("Friends");
        Add_AddressBook_NodeList(&p);
    }
    EXPECT_EQ(Get_AddressBook_Count(), 2);
    EXPECT_EQ(SearchPersonById("12"), nullptr);
    EXPECT_EQ(SearchPersonById(nullptr), nullptr);
    ABPerson* p = SearchPersonById("11");
    ASSERT_NE(p, nullptr);

    EXPECT_EQ(Change_AddressBook_Mobile_NodeList(p, "personMobile", "+49 30 1234"), 0);
    EXPECT_STREQ(p->mobile, "+49 30 1234");
    EXPECT_EQ(Change_AddressBook_Mobile_NodeList(p, "personOrganzation", "ACME"), 0);
    EXPECT_STREQ(p->organization, "ACME");
    EXPECT_EQ(Change_AddressBook_Mobile_NodeList(p, "groupName", nullptr), 0);
    EXPECT_EQ(p->groupName, nullptr);
    EXPECT_EQ(Change_AddressBook_Mobile_NodeList(p, "personNickName", "x"), -1);
    EXPECT_EQ(p->nickName, nullptr);

    FREE_AddressBook(p); // frees the texts, keeps the record in the list
    EXPECT_EQ(p->contactId, nullptr);
    EXPECT_EQ(p->mobile, nullptr);
}

TEST_F(RecordLists, CalendarNotesAndCallTextChanges) {
    Calendar e = {};
    e.location = const_cast<char*>("old");
    Add_CALENDAR_NodeList(&e);
    Calendar* event = nullptr;
    Get_CALENDAR_NodeList(&event);
    EXPECT_EQ(Change_CALENDAR_Text(event, "anything", "Berlin"), 0);
    EXPECT_STREQ(event->location, "Berlin");

    Notes n = {};
    Add_NOTES_NodeList(&n);
    Notes* note = nullptr;
    Get_NOTES_NodeList(&note);
    EXPECT_EQ(Change_NOTES_Text(note, "text"), 0);
    EXPECT_STREQ(note->noteText, "text");

    CallHistory c = {};
    c.number = const_cast<char*>("123");
    Add_CallHistory_NodeList(&c);
    CallHistory* call = nullptr;
    Get_CallHistory_NodeList(&call);
    Change_CallHistory_Text(call, "number", "999");
    EXPECT_STREQ(call->number, "123");
}

TEST(RecordCopies, CopyAndFreeOfSingleRecords) {
    ABPerson p = {};
    p.firstName = const_cast<char*>("Zoë");
    p.workEmail = const_cast<char*>("z@example.org");
    ABPerson* copy = Copy_AddressBook_Record(&p);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->firstName, "Zoë");
    EXPECT_STREQ(copy->workEmail, "z@example.org");
    EXPECT_EQ(copy->next, nullptr);
    Free_AddressBook_Record(copy);
    EXPECT_EQ(Copy_AddressBook_Record(nullptr), nullptr);
}

} // namespace
