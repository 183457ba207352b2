// Generators of realistic iPhone databases (messages, contacts, call history,
// calendar) in the schemas of several iOS versions, from a seed and a size.
//
// Every writer creates a fresh database at path (an existing file and its -wal
// and -shm are replaced) and, when out is given, returns the records it wrote
// in the form a reader of that database must deliver them (the shared record
// conventions: instants as decimal milliseconds since 1970 UTC, message type
// "1" received / "2" sent, read "1"/"0", call type 1 incoming, 2 outgoing,
// 3 missed, birthday "YYYY-MM-DD", calendar time zone as an Olson name, rrule
// as an RRULE, hasAlarm "1"/"0", alarmMinutes decimal). An empty string in an
// expected record means the reader delivers no value (NULL).
//
// The same seed, version and count always give the same bytes of content.
// Supported versions: 5 to 18; the schema changes at 6 (sms.db rebuild),
// 8 (CallHistory.storedata), 11 (nanosecond message dates) and 14/17 (more
// columns) are followed; other versions use the nearest older schema.
#ifndef KESTROVA_IOS_FIXTURES_H
#define KESTROVA_IOS_FIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

namespace iosfix {

struct Options {
    int iosVersion = 17;
    uint32_t seed = 1;
    int count = 10; // records of each kind (10 to 100,000)
    // When true, the last quarter of the records is left in the -wal file
    // (not checkpointed into the main file), as on a phone in use.
    bool walTail = false;
};

struct ExpectedMessage {
    std::string smsId; // message ROWID
    // The other party; for a message sent into a group the members joined
    // by ","; empty for a message with neither handle nor conversation.
    std::string address;
    std::string body;
    std::string date; // ms since 1970
    std::string type; // "1" received, "2" sent, "5" failed to send
    std::string read; // "1" / "0"
    // Conversation: chat ROWID (iOS 6+) or msg_group ROWID (before);
    // "m<ROWID>" for a message outside any conversation.
    std::string threadId;
};

struct ExpectedContact {
    std::string contactId; // ABPerson ROWID
    std::string firstName, lastName, nickName;
    std::string mobile, homeNumber, workNumber, homeFax, workFax;
    std::string homeEmail, workEmail, homePage;
    std::string birthday; // YYYY-MM-DD
    std::string groupName, note, organization, department;
    std::string homeAddress, workAddress;
    // Numbers, e-mails and addresses whose label fits no field above, one per
    // line as "label: value" (labels like "iPhone", "main", "pager", "other").
    std::string extraText1;
};

struct ExpectedCall {
    std::string callId;   // ROWID / Z_PK
    std::string number;   // empty for a withheld number
    std::string name;     // the name the phone cached, if any
    std::string date;     // ms since 1970
    std::string type;     // "1" incoming, "2" outgoing, "3" missed
    std::string duration; // whole seconds
};

struct ExpectedEvent {
    std::string eventId; // CalendarItem ROWID
    std::string calendarId;
    std::string title, start, end; // start/end ms since 1970
    std::string location, timeZone, description;
    std::string hasAlarm, alarmMinutes, rrule;
};

bool writeSmsDb(const std::string& path, const Options& opt,
                std::vector<ExpectedMessage>* out = nullptr);
bool writeAddressBook(const std::string& path, const Options& opt,
                      std::vector<ExpectedContact>* out = nullptr);
// call_history.db before iOS 8, CallHistory.storedata from 8 on.
bool writeCallHistory(const std::string& path, const Options& opt,
                      std::vector<ExpectedCall>* out = nullptr);
// Also writes a birthday calendar and a disabled account's calendar, with
// events the reader must skip; they are not in out.
bool writeCalendar(const std::string& path, const Options& opt,
                   std::vector<ExpectedEvent>* out = nullptr);

// Where each database lives on the phone and in a backup.
enum class DbKind { Sms, AddressBook, CallHistory, Calendar };
struct DbLocation {
    std::string fileName;     // "sms.db", "CallHistory.storedata", ...
    std::string domain;       // backup domain: "HomeDomain" or "WirelessDomain"
    std::string relativePath; // in the domain: "Library/SMS/sms.db"
    std::string devicePath;   // on the phone: "/var/mobile/Library/SMS/sms.db"
};
DbLocation dbLocation(DbKind kind, int iosVersion);
std::string callHistoryFileName(int iosVersion);

// Why the last writer on this thread failed.
std::string lastError();

// Writes the four databases under dir with their file names (dir and its
// parents are created when missing). Any of the outs may be null.
bool writeAll(const std::string& dir, const Options& opt,
              std::vector<ExpectedMessage>* sms = nullptr,
              std::vector<ExpectedContact>* contacts = nullptr,
              std::vector<ExpectedCall>* calls = nullptr,
              std::vector<ExpectedEvent>* events = nullptr);

} // namespace iosfix

#endif
