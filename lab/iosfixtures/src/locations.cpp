// Where the databases live on a phone and in a backup, and the one call that
// writes all four.
#include "fixture_db.h"
#include "ios_fixtures.h"

#include <sys/stat.h>

#include <cerrno>

namespace iosfix {

DbLocation dbLocation(DbKind kind, int iosVersion) {
    switch (kind) {
    case DbKind::Sms:
        return {"sms.db", "HomeDomain", "Library/SMS/sms.db", "/var/mobile/Library/SMS/sms.db"};
    case DbKind::AddressBook:
        return {"AddressBook.sqlitedb", "HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
                "/var/mobile/Library/AddressBook/AddressBook.sqlitedb"};
    case DbKind::CallHistory:
        if (iosVersion >= 8)
            return {"CallHistory.storedata", "HomeDomain",
                    "Library/CallHistoryDB/CallHistory.storedata",
                    "/var/mobile/Library/CallHistoryDB/CallHistory.storedata"};
        return {"call_history.db", "WirelessDomain", "Library/CallHistory/call_history.db",
                "/var/wireless/Library/CallHistory/call_history.db"};
    case DbKind::Calendar:
        return {"Calendar.sqlitedb", "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
                "/var/mobile/Library/Calendar/Calendar.sqlitedb"};
    }
    return {};
}

bool writeAll(const std::string& dir, const Options& opt, std::vector<ExpectedMessage>* sms,
              std::vector<ExpectedContact>* contacts, std::vector<ExpectedCall>* calls,
              std::vector<ExpectedEvent>* events) {
    for (size_t pos = 1; pos != std::string::npos; ++pos) {
        pos = dir.find('/', pos);
        const std::string part = dir.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            setLastError("cannot create " + part);
            return false;
        }
        if (pos == std::string::npos)
            break;
    }
    const int v = opt.iosVersion;
    auto at = [&](DbKind k) { return dir + "/" + dbLocation(k, v).fileName; };
    return writeSmsDb(at(DbKind::Sms), opt, sms) &&
           writeAddressBook(at(DbKind::AddressBook), opt, contacts) &&
           writeCallHistory(at(DbKind::CallHistory), opt, calls) &&
           writeCalendar(at(DbKind::Calendar), opt, events);
}

} // namespace iosfix
