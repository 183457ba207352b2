// Messages, contacts, call log and calendar written to one virtual phone,
// copied page by page to the other (as the transfer job does) and compared
// field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "android_lab.h"
#include "greenlink.h"

namespace {

using Fields = std::map<std::string, std::string>;

std::string text(const char* s) { return s ? s : ""; }

Fields fieldsOf(const SMessage* m) {
    return {{"address", text(m->address)},
            {"body", text(m->body)},
            {"date", text(m->date)},
            {"type", text(m->type)},
            {"read", text(m->read)}};
}
Fields fieldsOf(const ABPerson* p) {
    const char* const* t = &p->contactId;
    static const char* names[] = {"contactId", "name", "last",  "nick",     "mobile", "home",
                                  "work",      "page", "hmail", "birthday", "group",  "note",
                                  "org",       "dept", "x1",    "x2",       "haddr",  "waddr",
                                  "hfax",      "wfax", "wmail"};
    Fields f;
    for (int i = 1; i <= 20; ++i)
        if (i != 2 && i != 14 && i != 15)
            f[names[i]] = text(t[i]);
    return f;
}
Fields fieldsOf(const CallHistory* c) {
    return {{"number", text(c->number)},
            {"date", text(c->date)},
            {"type", text(c->type)},
            {"duration", text(c->duration)}};
}
Fields fieldsOf(const Calendar* e) {
    return {{"title", text(e->title)},    {"start", text(e->start)},
            {"end", text(e->end)},        {"location", text(e->location)},
            {"tz", text(e->timeZone)},    {"description", text(e->description)},
            {"alarm", text(e->hasAlarm)}, {"minutes", text(e->alarmMinutes)},
            {"rrule", text(e->rrule)}};
}

// Reads a whole kind from a position page by page; remembers page sizes.
template <typename R>
std::vector<Fields> readAll(int position, int (*count)(int), int (*flush)(int, int),
                            int (*get)(R**), std::vector<int>* pageSizes = nullptr) {
    std::vector<Fields> all;
    int n = count(position);
    for (int start = 0; start < n; start += 5) {
        flush(position, start);
        R* head = nullptr;
        get(&head);
        int page = 0;
        for (R* r = head; r; r = r->next, ++page)
            all.push_back(fieldsOf(r));
        if (pageSizes)
            pageSizes->push_back(page);
    }
    std::sort(all.begin(), all.end());
    return all;
}

// The transfer job's way: a page from the source, each record to the destination.
template <typename R>
int copyAll(int src, int dst, int (*count)(int), int (*flush)(int, int), int (*get)(R**),
            int (*add)(R*, int)) {
    int n = count(src), copied = 0;
    for (int start = 0; start < n; start += 5) {
        flush(src, start);
        R* head = nullptr;
        get(&head);
        for (R* r = head; r; r = r->next)
            if (add(r, dst) >= 0)
                ++copied;
    }
    return copied;
}

bool takeSmsRole(int position) {
    if (AndroidTSF_CheckAndroidVersionAt44(position) != 1)
        return true;
    AndroidTSF_SetDefaultMessage(position);
    for (int i = 0; i < 40; ++i) {
        if (AndroidTSF_CheckDefaultMessangeOK(position) == 0)
            return true;
        usleep(250000);
    }
    return false;
}

} // namespace

TEST(LabPersonal, EveryFieldOfEveryKindArrivesAndPagesHoldFive) {
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(2));
    ASSERT_TRUE(takeSmsRole(0));
    ASSERT_TRUE(takeSmsRole(1));

    // Twelve messages, one of 5 KB, two from the hour that repeats when New
    // York's clocks go back (05:30 and 06:30 UTC, both "01:30" there).
    setenv("TZ", "America/New_York", 1);
    tzset();
    std::string longBody(5 * 1024, 'L');
    longBody += "\xF0\x9F\x98\x80 end";
    for (int i = 0; i < 12; ++i) {
        std::string address = "+1 212 555 01" + std::to_string(10 + i);
        std::string body = i == 0 ? longBody : "message " + std::to_string(i) + " ; : . - ünï";
        std::string date = i == 1   ? "1793511000000"
                           : i == 2 ? "1793514600000"
                                    : std::to_string(1700000000000LL + i * 60000LL);
        std::string type = std::to_string(1 + i % 6);
        std::string read = i % 2 ? "1" : "0";
        SMessage m{};
        m.address = address.data();
        m.body = body.data();
        m.date = date.data();
        m.type = type.data();
        m.read = read.data();
        EXPECT_GT(AndroidTSF_SendSMS(&m, 0), 0) << i;
    }
    std::vector<int> pages;
    auto sourceSms = readAll<SMessage>(0, AndroidTSF_FlushSMS_Count, AndroidTSF_FlushSMS,
                                       AndroidTSF_GetSMS, &pages);
    EXPECT_EQ(pages, (std::vector<int>{5, 5, 2}));
    ASSERT_EQ(sourceSms.size(), 12u);

    // Seven contacts with every field the phone keeps.
    for (int i = 0; i < 7; ++i) {
        std::vector<std::string> v(21);
        for (int f = 1; f <= 20; ++f)
            v[static_cast<size_t>(f)] = "v" + std::to_string(i) + "-" + std::to_string(f) + " ä";
        v[1] = "Contact " + std::to_string(i) + " Ωmega";
        v[2].clear();
        v[9] = "1990-0" + std::to_string(1 + i) + "-15";
        v[11] = std::string(2000, 'n'); // a note far beyond 510 bytes
        v[14].clear();
        v[15].clear();
        ABPerson p{};
        char** t = &p.contactId;
        for (int f = 1; f <= 20; ++f)
            t[f] = v[static_cast<size_t>(f)].empty() ? nullptr : v[static_cast<size_t>(f)].data();
        EXPECT_EQ(AndroidTSF_AddPerson2(&p, 0), 0);
    }
    // Call log: each type; calendar: with and without recurrence.
    for (int i = 0; i < 6; ++i) {
        std::string number = "0301234" + std::to_string(i),
                    date = std::to_string(1690000000000LL + i);
        std::string type = std::to_string(1 + i), duration = std::to_string(i * 37);
        CallHistory c{};
        c.number = number.data();
        c.date = date.data();
        c.type = type.data();
        c.duration = duration.data();
        EXPECT_GT(AndroidTSF_AddCallHistory(&c, 0), 0);
    }
    for (int i = 0; i < 3; ++i) {
        std::string title = "Event " + std::to_string(i), start = "1793511000000",
                    end = "1793514600000", loc = "Room " + std::to_string(i),
                    tz = "America/New_York", desc = std::string(700, 'd'), alarm = i ? "1" : "0",
                    minutes = i ? "15" : "",
                    rrule = i == 2 ? "FREQ=WEEKLY;BYDAY=MO,WE;COUNT=10" : "";
        Calendar e{};
        e.title = title.data();
        e.start = start.data();
        e.end = end.data();
        e.location = loc.data();
        e.timeZone = tz.data();
        e.description = desc.data();
        e.hasAlarm = alarm.data();
        e.alarmMinutes = minutes.empty() ? nullptr : minutes.data();
        e.rrule = rrule.empty() ? nullptr : rrule.data();
        EXPECT_GT(AndroidTSF_AddCalender(&e, 0), 0);
    }

    auto sourceContacts = readAll<ABPerson>(0, AndroidTSF_FlushContact_Count,
                                            AndroidTSF_FlushPerson, AndroidTSF_GetPerson);
    auto sourceCalls = readAll<CallHistory>(0, AndroidTSF_FlushCallLog_Count,
                                            AndroidTSF_FlushCallHistory, AndroidTSF_GetCallHistory);
    auto sourceEvents = readAll<Calendar>(0, AndroidTSF_FlushCalender_Count,
                                          AndroidTSF_FlushCalender, AndroidTSF_GetCalender);
    ASSERT_EQ(sourceContacts.size(), 7u);
    ASSERT_EQ(sourceCalls.size(), 6u);
    ASSERT_EQ(sourceEvents.size(), 3u);
    EXPECT_EQ(sourceContacts[0]["note"], std::string(2000, 'n'));

    // Copy 0 -> 1 and compare.
    EXPECT_EQ(copyAll<SMessage>(0, 1, AndroidTSF_FlushSMS_Count, AndroidTSF_FlushSMS,
                                AndroidTSF_GetSMS, AndroidTSF_SendSMS),
              12);
    EXPECT_EQ(copyAll<ABPerson>(0, 1, AndroidTSF_FlushContact_Count, AndroidTSF_FlushPerson,
                                AndroidTSF_GetPerson, AndroidTSF_AddPerson2),
              7);
    EXPECT_EQ(copyAll<CallHistory>(0, 1, AndroidTSF_FlushCallLog_Count, AndroidTSF_FlushCallHistory,
                                   AndroidTSF_GetCallHistory, AndroidTSF_AddCallHistory),
              6);
    EXPECT_EQ(copyAll<Calendar>(0, 1, AndroidTSF_FlushCalender_Count, AndroidTSF_FlushCalender,
                                AndroidTSF_GetCalender, AndroidTSF_AddCalender),
              3);

    EXPECT_EQ(
        readAll<SMessage>(1, AndroidTSF_FlushSMS_Count, AndroidTSF_FlushSMS, AndroidTSF_GetSMS),
        sourceSms);
    auto destContacts = readAll<ABPerson>(1, AndroidTSF_FlushContact_Count, AndroidTSF_FlushPerson,
                                          AndroidTSF_GetPerson);
    for (auto& c : sourceContacts)
        c.erase("contactId");
    for (auto& c : destContacts)
        c.erase("contactId");
    EXPECT_EQ(destContacts, sourceContacts);
    EXPECT_EQ(readAll<CallHistory>(1, AndroidTSF_FlushCallLog_Count, AndroidTSF_FlushCallHistory,
                                   AndroidTSF_GetCallHistory),
              sourceCalls);
    EXPECT_EQ(readAll<Calendar>(1, AndroidTSF_FlushCalender_Count, AndroidTSF_FlushCalender,
                                AndroidTSF_GetCalender),
              sourceEvents);

    // Clears empty the phone; a count of nothing is -1.
    EXPECT_GE(AndroidTSF_ClearSMS(1), 0);
    EXPECT_EQ(AndroidTSF_FlushSMS_Count(1), -1);
    AndroidTSF_ReSetDefaultMessage(0);
    AndroidTSF_ReSetDefaultMessage(1);
}
