// Messages, contacts, call log and calendar: counts, pages of records into
// the library's lists, clears and single-record writes.
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "channel.h"
#include "greenlink.h"
#include "greenlink_log.h"
#include "hexcodec.h"
#include "page_buffer.h"
#include "personal_commands.h"
#include "record_traits.h"
#include "reply_parser.h"

namespace greenlink {
namespace {

std::atomic<int> st_sms_count{0}, st_sms_index{0};
std::atomic<int> st_Contact_count{0}, st_Contact_index{0};
std::atomic<int> st_CallLog_count{0}, st_CallLog_index{0};
std::atomic<int> st_abort_flushdb{0};

struct PageKind {
    const char* countCommand;
    const char* pageCommand;  // followed by the start index and ";"
    const char* rangeCommand; // followed by "START:LIMIT:BYTES;"
    int (*parse)(char*);
    int (*clear)();
};

const PageKind smsKind{"getsmsCount;", "getsmsPart10:", "getsmsRange:", android_sms_prase,
                       Clear_SMS_NodeList};
const PageKind contactKind{"getcontactCount;",
                           "getcontactpart10:", "getcontactRange:", android_contact_prase,
                           Clear_AddressBook_NodeList};
const PageKind callKind{"getcalllogcount;",
                        "getcalllogpart10:", "getcalllogRange:", android_callLog_prase,
                        Clear_CallHistory_list};
const PageKind calendarKind{"getcalendarcount;",
                            "getcalendarpart10:", "getcalendarRange:", android_Calendar_prase,
                            Clear_CALENDAR_list};

// Positions whose agent answered a range as an unknown command (an agent
// from before ranges): they are read in pages of five until the agent is
// installed again.
std::atomic<bool> st_pagesOfFive[2] = {false, false};

bool onlyPagesOfFive(int deviceindex) {
    return deviceindex >= 0 && deviceindex < 2 && st_pagesOfFive[deviceindex];
}

int countOf(const PageKind& kind, int deviceindex) {
    int value = sendIntCommand(kind.countCommand, deviceindex);
    return value > 0 ? value : -1;
}

// One page into the kind's list (not cleared here). Returns the number of
// records parsed, or -1 when the page did not arrive whole.
int fetchPage(const PageKind& kind, int deviceindex, int start) {
    char* buffer = nullptr;
    int size = getTemp_StDataBuffer(&buffer);
    if (size <= 0)
        return -1;
    std::string command = std::string(kind.pageCommand) + std::to_string(start) + ";";
    int n =
        SendCommandToAndroidServices(command.c_str(), buffer, size - 1, nullptr, 0, deviceindex);
    if (n < 2) {
        // An empty page (0 bytes) is a page without records.
        if (n == 0)
            return 0;
        WriteLog("error: ret = %d\n", n);
        return -1;
    }
    buffer[n] = '\0';
    return kind.parse(buffer);
}

// True for the agent's int -1, its answer to a command it does not know. A
// record reply is text and never holds these bytes.
bool isMinusOne(const char* reply, int length) {
    return length == 4 && std::memcmp(reply, "\xff\xff\xff\xff", 4) == 0;
}

// Up to `limit` records from `start` into the kind's list (not cleared here)
// in one exchange: as many as fit in the page buffer. Returns the number of
// records parsed, or -1 when the range did not arrive whole or was damaged.
// An agent that does not know ranges gets a page of five instead, and so
// does every later read of its position.
int fetchRange(const PageKind& kind, int deviceindex, int start, int limit) {
    if (limit <= 5 || onlyPagesOfFive(deviceindex))
        return fetchPage(kind, deviceindex, start);
    char* buffer = nullptr;
    int size = getTemp_StDataBuffer(&buffer);
    if (size <= 0)
        return -1;
    // The agent keeps the reply within the buffer (less the closing NUL).
    std::string command = std::string(kind.rangeCommand) + std::to_string(start) + ":" +
                          std::to_string(limit) + ":" + std::to_string(size - 1) + ";";
    int n =
        SendCommandToAndroidServices(command.c_str(), buffer, size - 1, nullptr, 0, deviceindex);
    if (n == 0)
        return 0; // past the end
    if (n < 0) {
        WriteLog("error: range from %d not read\n", start);
        return -1;
    }
    if (isMinusOne(buffer, n)) {
        WriteLog("the agent at position %d does not read ranges: pages of five\n", deviceindex);
        if (deviceindex >= 0 && deviceindex < 2)
            st_pagesOfFive[deviceindex] = true;
        return fetchPage(kind, deviceindex, start);
    }
    buffer[n] = '\0';
    const int parsed = kind.parse(buffer);
    // A reply that holds no whole record, or more than were asked for, is
    // not a range of this kind.
    if (parsed == 0 || parsed > limit) {
        WriteLog("error: a range from %d of %d bytes held %d records\n", start, n, parsed);
        return -1;
    }
    return parsed;
}

// 0, or -1 when the page did not arrive whole or was damaged: its records
// are then not to be taken as all there was.
int readPage(const PageKind& kind, const char* name, int deviceindex, int start) {
    WriteLog("Call Function: %s\n", name);
    kind.clear();
    if (fetchPage(kind, deviceindex, start) >= 0)
        return 0;
    kind.clear(); // nothing of a damaged page is handed out
    return -1;
}

int readRange(const PageKind& kind, const char* name, int deviceindex, int start, int limit) {
    WriteLog("Call Function: %s\n", name);
    kind.clear();
    const int parsed = fetchRange(kind, deviceindex, start, limit);
    if (parsed < 0)
        kind.clear();
    return parsed;
}

int readAll(const PageKind& kind, int deviceindex, std::atomic<int>& total,
            std::atomic<int>& index) {
    kind.clear();
    total = 0;
    index = 0;
    int count = countOf(kind, deviceindex);
    if (count <= 0)
        return -1;
    total = count;
    for (int start = 0; start < count;) {
        index = start;
        int parsed = fetchRange(kind, deviceindex, start, kRangeRecords);
        // No record where the count promised one: the rest cannot be read.
        if (parsed <= 0)
            return -1;
        WriteLog("dataCount = %d, index = %d, prasecount = %d\n", count, start, parsed);
        start += parsed;
        if (st_abort_flushdb == 1)
            return 0;
    }
    return 0;
}

// Appends "-" and the hex of a value (nothing for null or empty).
void appendField(std::string& command, const char* value) {
    command += '-';
    EncryptionData(value, command);
}

const char* const kUpdateKeys[21] = {
    nullptr,    "FIRSTNAME", "LASTNAME",    "NICKNAME",    "MOBILE",  "HOMENUMBER",  "WORKNUMBER",
    "HOMEPAGE", "HOMEEMAIL", "BIRTHDAY",    "GROUP",       "NOTE",    "ORGANZATION", "DEPARTMENT",
    nullptr,    nullptr,     "HOMEADDRESS", "WORKADDRESS", "HOMEFAX", "WORKFAX",     "WORKEMAIL"};

const char* personField(const ABPerson* person, int position) {
    return person->*(RecordTexts<ABPerson>::fields[static_cast<size_t>(position)]);
}

} // namespace

void forgetAgentPages(int deviceindex) {
    if (deviceindex >= 0 && deviceindex < 2)
        st_pagesOfFive[deviceindex] = false;
}

// The name a new contact gets: first and last name, with a space between
// them when both are given.
std::string contactDisplayName(const ABPerson* person) {
    std::string name;
    if (person->firstName && *person->firstName)
        name = person->firstName;
    if (person->lastName && *person->lastName) {
        if (!name.empty())
            name += ' ';
        name += person->lastName;
    }
    return name;
}

std::string buildSendSmsCommand(const SMessage* m) {
    std::string command = "SendSMS:";
    EncryptionData(m->address, command);
    appendField(command, m->body);
    appendField(command, m->date);
    appendField(command, m->read);
    appendField(command, "-1");
    appendField(command, m->type);
    command += ';';
    return command;
}

std::string buildAddPerson3Command(const ABPerson* person) {
    std::string command = "AddPerson3:";
    std::string name = contactDisplayName(person);
    EncryptionData(name.c_str(), command);
    for (int position = ABPERSON_FIRST_SENT_FIELD; position <= ABPERSON_LAST_SENT_FIELD; ++position)
        appendField(command, personField(person, position));
    appendField(command, " ");
    // Given and family name apart, after the closing blank, so that an agent
    // that knows only the display name still reads the command as before.
    if (person->lastName && *person->lastName) {
        appendField(command, person->firstName);
        appendField(command, person->lastName);
    }
    command += ';';
    return command;
}

std::string buildAddCallHistoryCommand(const CallHistory* e) {
    std::string command = "AddCallHistory:";
    EncryptionData(e->number, command);
    appendField(command, e->date);
    appendField(command, e->type);
    appendField(command, e->duration);
    // The name the phone showed for the call; older agents ignore it.
    if (e->name && *e->name)
        appendField(command, e->name);
    command += ';';
    return command;
}

std::string buildAddCalenderCommand(const Calendar* e) {
    std::string command = "AddCalender:";
    EncryptionData(e->title, command);
    appendField(command, e->start);
    appendField(command, e->end);
    appendField(command, e->location);
    appendField(command, e->timeZone);
    appendField(command, e->description);
    appendField(command, e->hasAlarm);
    appendField(command, e->alarmMinutes);
    appendField(command, e->rrule && *e->rrule ? e->rrule : " ");
    command += ';';
    return command;
}

// "" when nothing is to be sent for this field.
std::string buildUpdatePersonCommand(const char* contactId, int field, const char* value) {
    if (!contactId || !*contactId || !value || !*value || std::strcmp(value, "\"") == 0)
        return {};
    if (field < 1 || field > 20 || !kUpdateKeys[field])
        return {};
    std::string command = "UpdatePerson:";
    command += contactId;
    command += ':';
    EncryptionData(value, command);
    command += ':';
    command += kUpdateKeys[field];
    command += ';';
    return command;
}

} // namespace greenlink

using namespace greenlink;

int AndroidTSF_FlushSMS_Count(int deviceindex) { return countOf(smsKind, deviceindex); }
int AndroidTSF_FlushContact_Count(int deviceindex) { return countOf(contactKind, deviceindex); }
int AndroidTSF_FlushCallLog_Count(int deviceindex) { return countOf(callKind, deviceindex); }
int AndroidTSF_FlushCalender_Count(int deviceindex) { return countOf(calendarKind, deviceindex); }

int AndroidTSF_FlushSMS(int deviceindex, int start) {
    return readPage(smsKind, "AndroidTSF_FlushSMS", deviceindex, start);
}
int AndroidTSF_FlushPerson(int deviceindex, int start) {
    return readPage(contactKind, "AndroidTSF_FlushPerson", deviceindex, start);
}
int AndroidTSF_FlushCallHistory(int deviceindex, int start) {
    return readPage(callKind, "AndroidTSF_FlushCallHistory", deviceindex, start);
}
int AndroidTSF_FlushCalender(int deviceindex, int start) {
    return readPage(calendarKind, "AndroidTSF_FlushCalender", deviceindex, start);
}

int AndroidTSF_FlushSMSRange(int deviceindex, int start, int limit) {
    return readRange(smsKind, "AndroidTSF_FlushSMSRange", deviceindex, start, limit);
}
int AndroidTSF_FlushPersonRange(int deviceindex, int start, int limit) {
    return readRange(contactKind, "AndroidTSF_FlushPersonRange", deviceindex, start, limit);
}
int AndroidTSF_FlushCallHistoryRange(int deviceindex, int start, int limit) {
    return readRange(callKind, "AndroidTSF_FlushCallHistoryRange", deviceindex, start, limit);
}
int AndroidTSF_FlushCalenderRange(int deviceindex, int start, int limit) {
    return readRange(calendarKind, "AndroidTSF_FlushCalenderRange", deviceindex, start, limit);
}

int AndroidTSF_GetSMS(SMessage** out) {
    WriteLog("Call Function: %s\n", "AndroidTSF_GetSMS");
    Get_SMS_NodeList(out);
    return Get_SMS_Count_NodeList();
}
int AndroidTSF_GetPerson(ABPerson** out) {
    WriteLog("Call Function: %s\n", "AndroidTSF_GetPerson");
    Get_AddressBook_NodeList(out);
    return Get_AddressBook_Count();
}
int AndroidTSF_GetCallHistory(CallHistory** out) {
    WriteLog("Call Function: %s\n", "AndroidTSF_GetCallHistory");
    Get_CallHistory_NodeList(out);
    return Get_CallHistory_Count_NodeList();
}
int AndroidTSF_GetCalender(Calendar** out) {
    WriteLog("Call Function: %s\n", "AndroidTSF_GetCalender");
    Get_CALENDAR_NodeList(out);
    return 0;
}

int AndroidTSF_ClearSMS(int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_ClearSMS");
    return sendIntCommand("ClearSMS;", deviceindex);
}
int AndroidTSF_ClearPerson(int deviceindex) { return sendIntCommand("ClearPerson;", deviceindex); }
int AndroidTSF_ClearCallHistory(int deviceindex) {
    return sendIntCommand("ClearCallHistory;", deviceindex);
}
int AndroidTSF_ClearCalender(int deviceindex) {
    return sendIntCommand("ClearCalender;", deviceindex);
}

int AndroidTSF_SendSMS(SMessage* message, int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_SendSMS");
    if (!message)
        return -1;
    return sendIntCommand(buildSendSmsCommand(message), deviceindex);
}

long long AndroidTSF_AddPerson(char* name, char* mobile, int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_AddPerson");
    std::string command = "AddPerson:";
    EncryptionData(name, command);
    command += ':';
    EncryptionData(mobile, command);
    command += ';';
    return sendInt64Command(command, deviceindex);
}

int AndroidTSF_updatePerson(char* contactId, int field, char* value, int deviceindex) {
    std::string command = buildUpdatePersonCommand(contactId, field, value);
    if (command.empty())
        return -1;
    return sendIntCommand(command, deviceindex);
}

int AndroidTSF_AddPerson2(ABPerson* person, int deviceindex) {
    if (!person)
        return -1;
    // A last name follows as a field of its own after a contact made with the
    // first name alone: a phone that keeps the two apart keeps them apart, one
    // that keeps a single display name joins them again. (A last name that
    // no update may carry stays in the joined name.)
    const bool lastApart = !buildUpdatePersonCommand("0", 2, person->lastName).empty();
    std::string name = lastApart ? std::string(person->firstName ? person->firstName : "")
                                 : contactDisplayName(person);
    long long id = AndroidTSF_AddPerson(name.data(), person->mobile, deviceindex);
    if (id <= 0)
        return -1;
    // The field updates do not depend on each other's answers: they go out
    // back to back, which costs one round trip instead of sixteen.
    std::string idText = std::to_string(id);
    std::vector<std::string> updates;
    if (lastApart)
        updates.push_back(buildUpdatePersonCommand(idText.c_str(), 2, person->lastName));
    for (int position = ABPERSON_FIRST_SENT_FIELD; position <= ABPERSON_LAST_SENT_FIELD;
         ++position) {
        std::string command =
            buildUpdatePersonCommand(idText.c_str(), position, personField(person, position));
        if (!command.empty())
            updates.push_back(std::move(command));
    }
    bool complete = false;
    const std::vector<int32_t> replies = sendIntCommandsPipelined(updates, deviceindex, &complete);
    // The agent answers each update with the rows it changed: a contact is
    // only copied when every one of its fields was stored.
    size_t confirmed = 0;
    for (int32_t reply : replies)
        confirmed += reply >= 1 ? 1 : 0;
    if (!complete || confirmed != updates.size()) {
        WriteLog("AddPerson2: %zu of %zu fields of contact %s confirmed\n", confirmed,
                 updates.size(), idText.c_str());
        return -2;
    }
    return 0;
}

int AndroidTSF_AddPerson3(ABPerson* person, int deviceindex) {
    if (!person)
        return -1;
    return static_cast<int>(sendInt64Command(buildAddPerson3Command(person), deviceindex));
}

int AndroidTSF_AddCallHistory(CallHistory* entry, int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_AddCallHistory");
    if (!entry)
        return -1;
    return sendIntCommand(buildAddCallHistoryCommand(entry), deviceindex);
}

int AndroidTSF_AddCalender(Calendar* event, int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_AddCalender");
    if (!event)
        return -1;
    return sendIntCommand(buildAddCalenderCommand(event), deviceindex);
}

int AndroidTSF_FlushSMSAll(int deviceindex) {
    return readAll(smsKind, deviceindex, st_sms_count, st_sms_index);
}
int AndroidTSF_FlushPersonAll(int deviceindex) {
    return readAll(contactKind, deviceindex, st_Contact_count, st_Contact_index);
}
int AndroidTSF_FlushCallHistoryAll(int deviceindex) {
    return readAll(callKind, deviceindex, st_CallLog_count, st_CallLog_index);
}
int AndroidTSF_FlushSMSAll_Count(void) { return st_sms_count; }
int AndroidTSF_FlushSMSAll_Index(void) { return st_sms_index; }
int AndroidTSF_FlushContactAll_Count(void) { return st_Contact_count; }
int AndroidTSF_FlushContactAll_Index(void) { return st_Contact_index; }
int AndroidTSF_FlushCallLogAll_Count(void) { return st_CallLog_count; }
int AndroidTSF_FlushCallLogAll_Index(void) { return st_CallLog_index; }
int AndroidTSF_AbortFlushAllDB(void) {
    st_abort_flushdb = 1;
    return 0;
}
int AndroidTSF_ResetFlushAllDBStatus(void) {
    st_abort_flushdb = 0;
    return 0;
}

int AndroidTSF_DeleteSMS(char*, int) { return 0; }
int AndroidTSF_UpdateSMS(SMessage*, int) { return 0; }
int AndroidTSF_DeletePerson(char*, int) { return 0; }
int AndroidTSF_GetOnePersonInfo(char*, ABPerson*, int) { return 0; }
int AndroidTSF_GetPersonImage(char*, char*, int) { return 0; }
int AndroidTSF_UpdatePersonImage(char*, char*, int) { return 0; }
int AndroidTSF_DeletePersonImage(char*, int) { return 0; }
int AndroidTSF_DeleteCallHistory(char*, int) { return 0; }
int AndroidTSF_UpdateCallHistory(CallHistory*, int) { return 0; }
int AndroidTSF_DeleteCalender(char*, int) { return 0; }
