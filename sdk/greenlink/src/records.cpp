// The library's record lists, one per kind, and their exported operations.
#include "greenlink_records.h"

#include <cstring>

#include "record_list.h"
#include "record_lists.h"

using greenlink::Insert;
using greenlink::RecordList;

namespace {

RecordList<ABPerson, Insert::AtHead> pABPersonNodeList;
RecordList<SMessage, Insert::AtHead> pSmsList;
RecordList<CallHistory, Insert::AtTail> pCallhistoryList;
RecordList<Calendar, Insert::AtTail> pCalendarList;
RecordList<Calendar, Insert::AtTail> pRemindersList;
RecordList<Notes, Insert::AtTail> pnotesList;

template <typename R> int storeHead(R* head, R** out) {
    if (out)
        *out = head;
    return 0;
}

struct PersonKey {
    const char* key;
    char* ABPerson::*field;
};

// The keys the agent's update path and the program use to address one text.
constexpr PersonKey kPersonKeys[] = {
    {"personFirstName", &ABPerson::firstName},     {"personMobile", &ABPerson::mobile},
    {"personHome", &ABPerson::homeNumber},         {"personWork", &ABPerson::workNumber},
    {"personHomePage", &ABPerson::homePage},       {"personhomeEmail", &ABPerson::homeEmail},
    {"personworkEmail", &ABPerson::workEmail},     {"groupName", &ABPerson::groupName},
    {"personDepartment", &ABPerson::department},   {"personOrganzation", &ABPerson::organization},
    {"personWorkAddress", &ABPerson::workAddress}, {"personHomeAddress", &ABPerson::homeAddress},
    {"personhomeFax", &ABPerson::homeFax},         {"personworkFax", &ABPerson::workFax},
};

} // namespace

// Contacts ------------------------------------------------------------------

int Add_AddressBook_NodeList(const ABPerson* record) { return pABPersonNodeList.add(record); }
int Get_AddressBook_NodeList(ABPerson** out) { return storeHead(pABPersonNodeList.head(), out); }
int Get_AddressBook_Count(void) { return pABPersonNodeList.count(); }
int Clear_AddressBook_NodeList(void) {
    pABPersonNodeList.clear();
    return 0;
}
void FREE_AddressBook(ABPerson* record) { greenlink::freeTexts(record); }

ABPerson* SearchPersonById(const char* contactId) {
    if (!contactId)
        return nullptr;
    for (ABPerson* p = pABPersonNodeList.head(); p; p = p->next)
        if (p->contactId && std::strcmp(p->contactId, contactId) == 0)
            return p;
    return nullptr;
}

int Change_AddressBook_Mobile_NodeList(ABPerson* record, const char* key, const char* value) {
    if (!record || !key)
        return -1;
    for (const PersonKey& k : kPersonKeys)
        if (std::strcmp(k.key, key) == 0)
            return greenlink::replaceText(record, k.field, value) ? 0 : -1;
    return -1;
}

// Text messages -------------------------------------------------------------

int Add_SMS_NodeList(const SMessage* record) { return pSmsList.add(record); }
int Get_SMS_NodeList(SMessage** out) { return storeHead(pSmsList.head(), out); }
int Get_SMS_Count_NodeList(void) { return pSmsList.count(); }
int Clear_SMS_NodeList(void) {
    pSmsList.clear();
    return 0;
}
void Free_sms_item(SMessage* record) { greenlink::freeTexts(record); }

// Call log ------------------------------------------------------------------

int Add_CallHistory_NodeList(const CallHistory* record) { return pCallhistoryList.add(record); }
int Get_CallHistory_NodeList(CallHistory** out) { return storeHead(pCallhistoryList.head(), out); }
int Get_CallHistory_Count_NodeList(void) { return pCallhistoryList.count(); }
int Clear_CallHistory_list(void) {
    pCallhistoryList.clear();
    return 0;
}
int Change_CallHistory_Text(CallHistory*, const char*, const char*) { return 0; }

namespace greenlink {
uint64_t smsListGeneration() { return pSmsList.generation(); }
uint64_t callLogListGeneration() { return pCallhistoryList.generation(); }
} // namespace greenlink

// Calendar and reminders ------------------------------------------------------

int Add_CALENDAR_NodeList(const Calendar* record) { return pCalendarList.add(record); }
int Get_CALENDAR_NodeList(Calendar** out) { return storeHead(pCalendarList.head(), out); }
int Clear_CALENDAR_list(void) {
    pCalendarList.clear();
    return 0;
}
int Change_CALENDAR_Text(Calendar* record, const char*, const char* value) {
    if (!record)
        return -1;
    return greenlink::replaceText(record, &Calendar::location, value) ? 0 : -1;
}

int Add_Reminders_NodeList(const Calendar* record) { return pRemindersList.add(record); }
int Get_Reminders_NodeList(Calendar** out) { return storeHead(pRemindersList.head(), out); }
int Clear_Reminders_list(void) {
    pRemindersList.clear();
    return 0;
}
int Change_Reminders_Text(Calendar* record, const char* key, const char* value) {
    return Change_CALENDAR_Text(record, key, value);
}

// Notes ---------------------------------------------------------------------

int Add_NOTES_NodeList(const Notes* record) { return pnotesList.add(record); }
int Get_NOTES_NodeList(Notes** out) { return storeHead(pnotesList.head(), out); }
int Clear_NOTES_list(void) {
    pnotesList.clear();
    return 0;
}
int Change_NOTES_Text(Notes* record, const char* value) {
    if (!record)
        return -1;
    return greenlink::replaceText(record, &Notes::noteText, value) ? 0 : -1;
}

// Single records for other owners ---------------------------------------------

ABPerson* Copy_AddressBook_Record(const ABPerson* r) { return greenlink::cloneRecord(r); }
SMessage* Copy_SMS_Record(const SMessage* r) { return greenlink::cloneRecord(r); }
CallHistory* Copy_CallHistory_Record(const CallHistory* r) { return greenlink::cloneRecord(r); }
Calendar* Copy_CALENDAR_Record(const Calendar* r) { return greenlink::cloneRecord(r); }
void Free_AddressBook_Record(ABPerson* r) { greenlink::freeRecord(r); }
void Free_SMS_Record(SMessage* r) { greenlink::freeRecord(r); }
void Free_CallHistory_Record(CallHistory* r) { greenlink::freeRecord(r); }
void Free_CALENDAR_Record(Calendar* r) { greenlink::freeRecord(r); }
