// Databases written by the generators in the schema of each iOS version,
// read through the exported operations and compared field by field with
// what the generator wrote.
#include "dbsifter.h"
#include "ios_fixtures.h"
#include "test_util.h"

#include <gtest/gtest.h>

using dbstest::sameText;

namespace {

struct Case {
    int ios;
    bool walTail;
};

class GeneratedDatabases : public ::testing::TestWithParam<Case> {};

std::string path(const dbstest::TempDir& dir, iosfix::DbKind kind, int ios) {
    return dir.file(iosfix::dbLocation(kind, ios).fileName);
}

TEST_P(GeneratedDatabases, EveryRecordReadsBackAsWritten) {
    const Case c = GetParam();
    dbstest::TempDir dir;
    iosfix::Options opt;
    opt.iosVersion = c.ios;
    opt.seed = 11;
    opt.count = 80;
    opt.walTail = c.walTail;
    std::vector<iosfix::ExpectedMessage> sms;
    std::vector<iosfix::ExpectedContact> people;
    std::vector<iosfix::ExpectedCall> calls;
    std::vector<iosfix::ExpectedEvent> events;
    ASSERT_TRUE(iosfix::writeAll(dir.path(), opt, &sms, &people, &calls, &events))
        << iosfix::lastError();
    if (c.walTail) {
        ASSERT_FALSE(dbstest::readFile(path(dir, iosfix::DbKind::Sms, c.ios) + "-wal").empty());
    }

    std::string p = path(dir, iosfix::DbKind::Sms, c.ios);
    ASSERT_EQ(DbsifterTSF_FlushSMS(p.data(), 0), 0);
    ASSERT_EQ(DbsifterTSF_GetSMSCount(), int(sms.size()));
    SMessage* m = nullptr;
    DbsifterTSF_GetSMS(&m);
    for (const auto& e : sms) {
        ASSERT_NE(m, nullptr);
        SCOPED_TRACE("message " + e.smsId);
        EXPECT_TRUE(sameText(m->smsId, e.smsId));
        EXPECT_TRUE(sameText(m->address, e.address));
        EXPECT_TRUE(sameText(m->body, e.body));
        EXPECT_TRUE(sameText(m->date, e.date));
        EXPECT_TRUE(sameText(m->type, e.type));
        EXPECT_TRUE(sameText(m->read, e.read));
        EXPECT_TRUE(sameText(m->threadId, e.threadId));
        m = m->next;
    }
    EXPECT_EQ(m, nullptr);

    p = path(dir, iosfix::DbKind::AddressBook, c.ios);
    ASSERT_EQ(DbsifterTSF_FlushContact(p.data(), 0), 0);
    ASSERT_EQ(DbsifterTSF_GetContactCount(), int(people.size()));
    ABPerson* a = nullptr;
    DbsifterTSF_GetContact(&a);
    for (const auto& e : people) {
        ASSERT_NE(a, nullptr);
        SCOPED_TRACE("contact " + e.contactId);
        EXPECT_TRUE(sameText(a->contactId, e.contactId));
        EXPECT_TRUE(sameText(a->firstName, e.firstName));
        EXPECT_TRUE(sameText(a->lastName, e.lastName));
        EXPECT_TRUE(sameText(a->nickName, e.nickName));
        EXPECT_TRUE(sameText(a->mobile, e.mobile));
        EXPECT_TRUE(sameText(a->homeNumber, e.homeNumber));
        EXPECT_TRUE(sameText(a->workNumber, e.workNumber));
        EXPECT_TRUE(sameText(a->homeFax, e.homeFax));
        EXPECT_TRUE(sameText(a->workFax, e.workFax));
        EXPECT_TRUE(sameText(a->homeEmail, e.homeEmail));
        EXPECT_TRUE(sameText(a->workEmail, e.workEmail));
        EXPECT_TRUE(sameText(a->homePage, e.homePage));
        EXPECT_TRUE(sameText(a->birthday, e.birthday));
        EXPECT_TRUE(sameText(a->groupName, e.groupName));
        EXPECT_TRUE(sameText(a->note, e.note));
        EXPECT_TRUE(sameText(a->organization, e.organization));
        EXPECT_TRUE(sameText(a->department, e.department));
        EXPECT_TRUE(sameText(a->homeAddress, e.homeAddress));
        EXPECT_TRUE(sameText(a->workAddress, e.workAddress));
        EXPECT_TRUE(sameText(a->extraText1, e.extraText1));
        a = a->next;
    }
    EXPECT_EQ(a, nullptr);

    p = path(dir, iosfix::DbKind::CallHistory, c.ios);
    ASSERT_EQ(DbsifterTSF_FlushCallLog(p.data(), 0), 0);
    ASSERT_EQ(DbsifterTSF_GetCallLogCount(), int(calls.size()));
    CallHistory* h = nullptr;
    DbsifterTSF_GetCallLog(&h);
    for (const auto& e : calls) {
        ASSERT_NE(h, nullptr);
        SCOPED_TRACE("call " + e.callId);
        EXPECT_TRUE(sameText(h->callId, e.callId));
        EXPECT_TRUE(sameText(h->number, e.number));
        EXPECT_TRUE(sameText(h->name, e.name));
        EXPECT_TRUE(sameText(h->date, e.date));
        EXPECT_TRUE(sameText(h->type, e.type));
        EXPECT_TRUE(sameText(h->duration, e.duration));
        h = h->next;
    }
    EXPECT_EQ(h, nullptr);

    p = path(dir, iosfix::DbKind::Calendar, c.ios);
    ASSERT_EQ(DbsifterTSF_FlushCalendar(p.data(), 0), 0);
    ASSERT_EQ(DbsifterTSF_GetRemindersCount(), int(events.size())); // birthdays left out
    Calendar* ev = nullptr;
    DbsifterTSF_GetReminders(&ev);
    for (const auto& e : events) {
        ASSERT_NE(ev, nullptr);
        SCOPED_TRACE("event " + e.eventId);
        EXPECT_TRUE(sameText(ev->eventId, e.eventId));
        EXPECT_TRUE(sameText(ev->calendarId, e.calendarId));
        EXPECT_TRUE(sameText(ev->title, e.title));
        EXPECT_TRUE(sameText(ev->start, e.start));
        EXPECT_TRUE(sameText(ev->end, e.end));
        EXPECT_TRUE(sameText(ev->location, e.location));
        EXPECT_TRUE(sameText(ev->timeZone, e.timeZone));
        EXPECT_TRUE(sameText(ev->description, e.description));
        EXPECT_TRUE(sameText(ev->hasAlarm, e.hasAlarm));
        EXPECT_TRUE(sameText(ev->alarmMinutes, e.alarmMinutes));
        EXPECT_TRUE(sameText(ev->rrule, e.rrule));
        ev = ev->next;
    }
    EXPECT_EQ(ev, nullptr);
}

INSTANTIATE_TEST_SUITE_P(IosVersions, GeneratedDatabases,
                         ::testing::Values(Case{5, false}, Case{6, false}, Case{9, true},
                                           Case{11, false}, Case{14, true}, Case{17, false},
                                           Case{17, true}),
                         [](const ::testing::TestParamInfo<Case>& p) {
                             return "ios" + std::to_string(p.param.ios) +
                                    (p.param.walTail ? "_wal" : "");
                         });

// The generated data must hold the cases the reader is tested on.
TEST(GeneratedDatabases, FixturesHoldTheHardCases) {
    dbstest::TempDir dir;
    iosfix::Options opt;
    opt.count = 120;
    std::vector<iosfix::ExpectedMessage> sms;
    std::vector<iosfix::ExpectedContact> people;
    std::vector<iosfix::ExpectedEvent> events;
    ASSERT_TRUE(iosfix::writeAll(dir.path(), opt, &sms, &people, nullptr, &events));
    auto anyMessage = [&](auto pred) { return std::any_of(sms.begin(), sms.end(), pred); };
    EXPECT_TRUE(anyMessage([](auto& m) { return m.address.empty(); }));
    EXPECT_TRUE(anyMessage([](auto& m) { return m.address.find(',') != std::string::npos; }));
    EXPECT_TRUE(anyMessage([](auto& m) { return m.body.size() >= 5120; }));
    EXPECT_TRUE(anyMessage([](auto& m) { return m.type == "2"; }));
    EXPECT_TRUE(std::any_of(people.begin(), people.end(), [](auto& p) {
        return p.firstName.empty() && p.lastName.empty() && !p.organization.empty();
    }));
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](auto& e) {
        return e.timeZone == "UTC" && std::stoll(e.start) % 86400000 == 0;
    }));
    // 2021-03-28 00:30 UTC, the Berlin spring change.
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](auto& e) {
        return e.start == "1616891400000" && e.timeZone == "Europe/Berlin";
    }));
}

} // namespace
