/* libdbsifter: reads an iPhone's message, contact, call-history and calendar
 * databases into record lists. The lists belong to the library, one set per
 * calling thread: loading a kind replaces that thread's list, so a list stays
 * valid until the same thread loads that kind again or ends, and threads
 * never see each other's records. Every load opens the database read-only
 * and never changes the file or the folder it lies in (a -wal beside it is
 * read too).
 *
 * Records come in the database's order and carry the shared conventions
 * (instants in ms since 1970 UTC, Android's message and call types, birthdays
 * "YYYY-MM-DD" or "--MM-DD" without a year). Forms particular to this library:
 * - SMessage.threadId is the conversation's ROWID; a message outside any
 *   conversation gets "h<handle ROWID>" or, without a handle, "m<ROWID>".
 *   A message sent into a group has the members' addresses joined by ",".
 * - ABPerson: numbers, e-mails, web pages and addresses whose label has no
 *   field of its own go to the first free field of their kind, and those left
 *   over to extraText1 as "Label: value" lines. department holds the job
 *   title and the department, joined by ", ".
 * - Calendar: all-day events run from midnight UTC to midnight UTC with
 *   timeZone "UTC"; the birthday calendar and reminders are left out.
 *   hasAlarm "1"/"0"; alarmMinutes is NULL without an alarm. */
#ifndef KESTROVA_DBSIFTER_H
#define KESTROVA_DBSIFTER_H

#include "records.h"
#include "tsf_export.h"

/* Load one kind from the database file at dbPath. version is the phone's
 * system version when known, 0 otherwise (the schema is then read from the
 * file itself). 0 on success, -1 when the file cannot be read as that kind
 * (the list is then empty and the reason is logged). */
TSF_API int DbsifterTSF_FlushSMS(char* dbPath, int version);
TSF_API int DbsifterTSF_FlushContact(char* dbPath, int version);
TSF_API int DbsifterTSF_FlushCallLog(char* dbPath, int version);
TSF_API int DbsifterTSF_FlushCalendar(char* dbPath, int version);

TSF_API int DbsifterTSF_GetContactCount(void);
TSF_API int DbsifterTSF_GetSMSCount(void);
TSF_API int DbsifterTSF_GetCallLogCount(void);
TSF_API int DbsifterTSF_GetRemindersCount(void);

/* *out = head of the list (NULL when empty); 0. */
TSF_API int DbsifterTSF_GetContact(ABPerson** out);
TSF_API int DbsifterTSF_GetSMS(SMessage** out);
TSF_API int DbsifterTSF_GetCallLog(CallHistory** out);
/* The calendar is read through the reminders functions. */
TSF_API int DbsifterTSF_GetReminders(Calendar** out);

#endif
