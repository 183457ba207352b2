// The databases of an iOS 7 phone, generated in the phone's own schema,
// travel through the file relay and reach the parser whole.
#include "ios_fixtures.h"
#include "lab_fixture.h"

#include <dbsifter.h>
#include <fruitlink.h>

namespace {

class RelayDatabases : public fltest::IphoneLabTest {};

TEST_F(RelayDatabases, Ios7DatabasesReachTheParser) {
    auto cfg = phoneConfig(1);
    cfg.relay = viphone::RelayMode::Ios7;
    cfg.values["ProductVersion"] = "7.1.2";
    iosfix::Options opt;
    opt.iosVersion = 6; // the schema iOS 7 still uses
    opt.seed = 5;
    opt.count = 12;
    auto at = [&](iosfix::DbKind k) {
        std::string p = cfg.root + iosfix::dbLocation(k, 6).devicePath;
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        return p;
    };
    std::vector<iosfix::ExpectedMessage> sms;
    std::vector<iosfix::ExpectedContact> contacts;
    std::vector<iosfix::ExpectedCall> calls;
    std::vector<iosfix::ExpectedEvent> events;
    ASSERT_TRUE(iosfix::writeSmsDb(at(iosfix::DbKind::Sms), opt, &sms)) << iosfix::lastError();
    ASSERT_TRUE(iosfix::writeAddressBook(at(iosfix::DbKind::AddressBook), opt, &contacts));
    ASSERT_TRUE(iosfix::writeCallHistory(at(iosfix::DbKind::CallHistory), opt, &calls));
    ASSERT_TRUE(iosfix::writeCalendar(at(iosfix::DbKind::Calendar), opt, &events));
    addAndWait(cfg);

    std::string folder = dir_ + "/fetch";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(IphoneTSF_GetDeviceSqliteDB(folder.data(), 0), 0) << lastError();

    // What arrived reads exactly as the phone's own files do.
    struct Kind {
        int (*viaPhone)();
        int (*direct)(char*, int);
        int (*count)();
        iosfix::DbKind kind;
        size_t written;
    } kinds[] = {
        {IphoneTSF_FlushSMS, DbsifterTSF_FlushSMS, DbsifterTSF_GetSMSCount, iosfix::DbKind::Sms,
         sms.size()},
        {IphoneTSF_FlushContact, DbsifterTSF_FlushContact, DbsifterTSF_GetContactCount,
         iosfix::DbKind::AddressBook, contacts.size()},
        {IphoneTSF_FlushCallLog, DbsifterTSF_FlushCallLog, DbsifterTSF_GetCallLogCount,
         iosfix::DbKind::CallHistory, calls.size()},
        {IphoneTSF_FlushCalender, DbsifterTSF_FlushCalendar, DbsifterTSF_GetRemindersCount,
         iosfix::DbKind::Calendar, events.size()},
    };
    for (const auto& k : kinds) {
        EXPECT_EQ(k.viaPhone(), 0);
        int arrived = k.count();
        std::string original = at(k.kind);
        EXPECT_EQ(k.direct(original.data(), 0), 0);
        EXPECT_EQ(arrived, k.count());
        EXPECT_GT(arrived, 0);
        EXPECT_GT(k.written, 0u);
    }
}

} // namespace
