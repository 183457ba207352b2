/* libdbsifter: reads an iPhone's message, contact, call-history and calendar
 * databases into record lists. The lists belong to the library; loading a
 * kind replaces its list, so a list stays valid until the next load of that
 * kind. Every load opens the database read-only and never changes the file. */
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
