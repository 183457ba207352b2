// Readers of the four databases. Each fills rows in the shared record
// conventions and returns false with a reason when the file cannot be read
// as that kind; a schema that lacks optional tables or columns still gives
// what it holds.
#ifndef KESTROVA_DBSIFTER_READERS_H
#define KESTROVA_DBSIFTER_READERS_H

#include "source_db.h"

#include <functional>
#include <string>
#include <vector>

namespace dbsifter {

struct MessageRow {
    Text smsId, person, address, body, date, type, read, threadId, contactId;
};

struct ContactRow {
    Text contactId, firstName, lastName, nickName, mobile, homeNumber, workNumber, homePage,
        homeEmail, birthday, groupName, note, organization, department, extraText1, extraText2,
        homeAddress, workAddress, homeFax, workFax, workEmail;
};

struct CallRow {
    Text callId, name, number, date, type, duration, extraText;
};

struct EventRow {
    Text eventId, calendarId, title, start, end, location, timeZone, description, hasAlarm,
        alarmMinutes, rrule;
};

// Receives each row as it is read; false stops the reader (out of memory).
template <class Row> using RowSink = std::function<bool(const Row&)>;

bool readMessages(SourceDb& db, const RowSink<MessageRow>& out, std::string* why);
bool readContacts(SourceDb& db, const RowSink<ContactRow>& out, std::string* why);
bool readCalls(SourceDb& db, const RowSink<CallRow>& out, std::string* why);
bool readEvents(SourceDb& db, const RowSink<EventRow>& out, std::string* why);

// Where a labelled value goes: the field for its label when that is free,
// else the first free field of its kind, else a "Label: value" line of
// extraText1, so that no number, address or e-mail is lost.
struct LabelledValue {
    std::string label; // as stored: "_$!<Mobile>!$_", "iPhone", "" ...
    std::string value;
};
enum class ValueKind { Phone, Email, Url, Address };
void placeValues(ContactRow& row, ValueKind kind, const std::vector<LabelledValue>& values);

// "1,234" style text of an integer.
inline std::string decimal(int64_t v) { return std::to_string(v); }

} // namespace dbsifter

#endif
