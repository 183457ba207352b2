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

    EXPECT_EQ(IphoneTSF_FlushSMS(), 0);
    EXPECT_EQ(DbsifterTSF_GetSMSCount(), static_cast<int>(sms.size()));
    EXPECT_EQ(IphoneTSF_FlushContact(), 0);
    EXPECT_EQ(DbsifterTSF_GetContactCount(), static_cast<int>(contacts.size()));
    EXPECT_EQ(IphoneTSF_FlushCallLog(), 0);
    EXPECT_EQ(DbsifterTSF_GetCallLogCount(), static_cast<int>(calls.size()));
    EXPECT_EQ(IphoneTSF_FlushCalender(), 0);
    EXPECT_EQ(DbsifterTSF_GetRemindersCount(), static_cast<int>(events.size()));
}

} // namespace
