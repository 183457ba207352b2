/* Personal-data records that travel between every deliverable: the Android
 * library fills them from the agent, the iOS database parser from iPhone
 * databases, and the program hands them unchanged to the Android add
 * operations.
 *
 * Every text field is a heap copy of a NUL-terminated UTF-8 string, or NULL
 * when the source had no value. A record owns its texts. Numbers, dates and
 * flags are texts too, in the shared conventions: instants as decimal
 * milliseconds since 1970-01-01 UTC, birthdays as YYYY-MM-DD, message and call
 * types as Android numbers them. The two 32-bit values near the end are
 * carried along by copies and not interpreted by the Android library. */
#ifndef KESTROVA_RECORDS_H
#define KESTROVA_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#include "tsf_export.h"

TSF_BEGIN_DECLS

/* A bit of reserved2 that the producer of a record sets when a text of the
 * source held a NUL byte: a C string cannot carry it, so each NUL was
 * replaced by U+FFFD and the rest of the text kept. Copies keep the bit, so
 * whoever stores the record can say that it arrived changed. */
#define RECORD_TEXT_NUL_REPLACED 0x1

/* A contact. The add operations walk the eighteen texts from nickName to
 * workEmail by position (3 to 20, contactId being 0), so the order of the
 * fields is part of the contract. */
typedef struct ABPerson {
    char* contactId;
    char* firstName;
    char* lastName;
    char* nickName;
    char* mobile;
    char* homeNumber;
    char* workNumber;
    char* homePage;
    char* homeEmail;
    char* birthday;
    char* groupName;
    char* note;
    char* organization;
    char* department;
    char* extraText1;
    char* extraText2;
    char* homeAddress;
    char* workAddress;
    char* homeFax;
    char* workFax;
    char* workEmail;
    int32_t reserved1;
    int32_t reserved2;
    struct ABPerson* next;
} ABPerson;

/* Number of text fields of ABPerson and the positions the add operations walk. */
#define ABPERSON_TEXT_COUNT 21
#define ABPERSON_FIRST_SENT_FIELD 3
#define ABPERSON_LAST_SENT_FIELD 20

/* A text message. */
typedef struct SMessage {
    char* smsId;
    char* person;
    char* address;
    char* body;
    char* date;
    char* type;
    char* read;
    char* threadId;
    char* contactId;
    int32_t reserved1;
    int32_t reserved2;
    struct SMessage* next;
} SMessage;
#define SMESSAGE_TEXT_COUNT 9

/* A call-log entry. */
typedef struct CallHistory {
    char* callId;
    char* name;
    char* number;
    char* date;
    char* type;
    char* duration;
    char* extraText;
    int32_t reserved1;
    int32_t reserved2;
    struct CallHistory* next;
} CallHistory;
#define CALLHISTORY_TEXT_COUNT 7

/* A calendar event; reminders use the same record. */
typedef struct Calendar {
    char* eventId;
    char* calendarId;
    char* title;
    char* start;
    char* end;
    char* location;
    char* timeZone;
    char* description;
    char* hasAlarm;
    char* alarmMinutes;
    char* rrule;
    int32_t reserved1;
    int32_t reserved2;
    struct Calendar* next;
} Calendar;
#define CALENDAR_TEXT_COUNT 11

/* A note. Kept in a list but never transferred; only noteText is addressed. */
typedef struct Notes {
    char* noteId;
    char* title;
    char* createTime;
    char* noteText;
    char* modifyTime;
    char* folder;
    char* extraText;
    int32_t reserved1;
    int32_t reserved2;
    struct Notes* next;
} Notes;
#define NOTES_TEXT_COUNT 7

/* Conversation groups built over the message list. Nodes point into the
 * message list and own nothing but themselves. */
typedef struct TSMSTempNode {
    SMessage* sms;
    struct TSMSTempNode* next;
} TSMSTempNode;

typedef struct TSMSTempGroupList {
    TSMSTempNode* head;
    TSMSTempNode* tail;
    int64_t latest; /* newest member's date, seconds since 1970; 0 when unknown */
    struct TSMSTempGroupList* next;
} TSMSTempGroupList;

/* Call-log groups: entries with the same number. */
typedef struct TCallLogTempNode {
    CallHistory* call;
    struct TCallLogTempNode* next;
} TCallLogTempNode;

typedef struct TCallLogTempGroupList {
    TCallLogTempNode* head;
    TCallLogTempNode* tail;
    struct TCallLogTempGroupList* next;
} TCallLogTempGroupList;

/* The texts of each record lie one after another, so code may walk them as an
 * array of char*. These checks keep that true. */
TSF_STATIC_ASSERT(offsetof(ABPerson, nickName) == 3 * sizeof(char*), "ABPerson field order");
TSF_STATIC_ASSERT(offsetof(ABPerson, workEmail) == 20 * sizeof(char*), "ABPerson field order");
TSF_STATIC_ASSERT(offsetof(ABPerson, reserved1) == ABPERSON_TEXT_COUNT * sizeof(char*),
                  "ABPerson texts are contiguous");
TSF_STATIC_ASSERT(offsetof(SMessage, reserved1) == SMESSAGE_TEXT_COUNT * sizeof(char*),
                  "SMessage texts are contiguous");
TSF_STATIC_ASSERT(offsetof(CallHistory, reserved1) == CALLHISTORY_TEXT_COUNT * sizeof(char*),
                  "CallHistory texts are contiguous");
TSF_STATIC_ASSERT(offsetof(Calendar, reserved1) == CALENDAR_TEXT_COUNT * sizeof(char*),
                  "Calendar texts are contiguous");
TSF_STATIC_ASSERT(offsetof(Notes, noteText) == 3 * sizeof(char*), "noteText is the fourth text");
TSF_STATIC_ASSERT(offsetof(Notes, reserved1) == NOTES_TEXT_COUNT * sizeof(char*),
                  "Notes texts are contiguous");

TSF_END_DECLS

#endif
