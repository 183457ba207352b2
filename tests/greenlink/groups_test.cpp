// Conversation and call-log groups over the record lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "greenlink_records.h"

namespace {

void addMessage(const char* id, const char* thread, const char* address, const char* date) {
    SMessage m = {};
    m.smsId = const_cast<char*>(id);
    m.threadId = const_cast<char*>(thread);
    m.address = const_cast<char*>(address);
    m.date = const_cast<char*>(date);
    Add_SMS_NodeList(&m);
}

int memberCount(const TSMSTempGroupList* g) {
    int n = 0;
    for (const TSMSTempNode* node = g->head; node; node = node->next)
        ++n;
    return n;
}

class Groups : public ::testing::Test {
  protected:
    void TearDown() override {
        Clear_SMS_NodeList();
        Clear_CallHistory_list();
    }
};

TEST_F(Groups, ThreadOrNumberJoinsAndLoneMessagesStandAlone) {
    addMessage("1", "7", "+100", "1700000000000");
    addMessage("2", "8", "+100", "1700000100000"); // other thread, same number
    addMessage("3", nullptr, nullptr, nullptr);    // neither: a group of its own
    addMessage("4", "9", "+200", "1600000000000");

    TSMSTempGroupList* groups = nullptr;
    ASSERT_EQ(AndroidTSF_GetSMSTempGroup(&groups), 0);
    int count = 0;
    int largest = 0;
    for (TSMSTempGroupList* g = groups; g; g = g->next) {
        ++count;
        largest = std::max(largest, memberCount(g));
    }
    EXPECT_EQ(count, 3);
    EXPECT_EQ(largest, 2);
}

TEST_F(Groups, SortedNewestFirstWithHeadAndTailKeptTogether) {
    addMessage("a", "1", "+1", "1500000000000");
    addMessage("b", "2", "+2", "1700000000000");
    addMessage("c", "3", "+3", "1600000000000");
    addMessage("d", "2", "+2", "1400000000000");
    addMessage("e", "4", "+4", "2019-05-01 10:00:00"); // the older local text form
    TSMSTempGroupList* groups = nullptr;
    AndroidTSF_GetSMSTempGroup(&groups);
    ASSERT_NE(groups, nullptr);
    EXPECT_EQ(groups->latest, 1700000000);
    int64_t previous = groups->latest;
    for (TSMSTempGroupList* g = groups; g; g = g->next) {
        EXPECT_LE(g->latest, previous);
        previous = g->latest;
        // the tail is the group's last member, whatever the sort did
        const TSMSTempNode* last = g->head;
        while (last->next)
            last = last->next;
        EXPECT_EQ(last, g->tail);
    }
}

TEST_F(Groups, ClearingTheListDropsTheGroupsInsteadOfLeavingThemDangling) {
    addMessage("1", "1", "+1", "1500000000000");
    TSMSTempGroupList* groups = nullptr;
    AndroidTSF_GetSMSTempGroup(&groups);
    ASSERT_NE(groups, nullptr);
    Clear_SMS_NodeList();
    addMessage("2", "2", "+2", "1600000000000");
    AndroidTSF_GetSMSTempGroup(&groups);
    ASSERT_NE(groups, nullptr);
    EXPECT_STREQ(groups->head->sms->smsId, "2"); // read through ASan: no freed memory
    EXPECT_EQ(groups->next, nullptr);
}

// The groups are cached between readings; every change of the list they were
// built from must show in the next reading, also a change that leaves the
// list as long as it was.
TEST_F(Groups, EveryChangeOfTheListShowsInTheNextReading) {
    addMessage("1", "5", "+1", "1500000000000");
    TSMSTempGroupList* groups = nullptr;
    AndroidTSF_GetSMSTempGroup(&groups);
    ASSERT_NE(groups, nullptr);
    EXPECT_EQ(memberCount(groups), 1);

    addMessage("2", "5", "+1", "1600000000000");
    AndroidTSF_GetSMSTempGroup(&groups);
    ASSERT_NE(groups, nullptr);
    EXPECT_EQ(memberCount(groups), 2);
    EXPECT_EQ(groups->latest, 1600000000);

    Clear_SMS_NodeList();
    AndroidTSF_GetSMSTempGroup(&groups);
    EXPECT_EQ(groups, nullptr);
    addMessage("3", "6", "+2", "1400000000000");
    addMessage("4", "6", "+2", "1300000000000");
    AndroidTSF_GetSMSTempGroup(&groups);
    ASSERT_NE(groups, nullptr);
    std::set<std::string> members;
    for (const TSMSTempNode* node = groups->head; node; node = node->next)
        members.insert(node->sms->smsId);
    EXPECT_EQ(members, (std::set<std::string>{"3", "4"}));
    EXPECT_EQ(groups->latest, 1400000000);
    EXPECT_EQ(groups->next, nullptr);

    CallHistory call = {};
    call.number = const_cast<char*>("+1");
    Add_CallHistory_NodeList(&call);
    TCallLogTempGroupList* calls = nullptr;
    AndroidTSF_GetCallLogTempGroup(&calls);
    ASSERT_NE(calls, nullptr);
    call.number = const_cast<char*>("+2");
    Clear_CallHistory_list();
    Add_CallHistory_NodeList(&call);
    AndroidTSF_GetCallLogTempGroup(&calls);
    ASSERT_NE(calls, nullptr);
    EXPECT_STREQ(calls->head->call->number, "+2");
    EXPECT_EQ(calls->next, nullptr);
}

TEST_F(Groups, CallLogGroupsByNumberInListOrder) {
    for (const char* n : {"+1", "+2", "+1", "+1"}) {
        CallHistory c = {};
        c.number = const_cast<char*>(n);
        Add_CallHistory_NodeList(&c);
    }
    TCallLogTempGroupList* groups = nullptr;
    AndroidTSF_GetCallLogTempGroup(&groups);
    int count = 0;
    for (TCallLogTempGroupList* g = groups; g; g = g->next) {
        ++count;
        int members = 0;
        for (TCallLogTempNode* n = g->head; n; n = n->next)
            ++members;
        EXPECT_EQ(members, std::string(g->head->call->number) == "+1" ? 3 : 1);
    }
    EXPECT_EQ(count, 2);
}

} // namespace
