/* Record lists kept by the Android library: one list per kind of personal
 * data, filled by the flush operations and read by the program. A list stays
 * valid until the next clear or flush of the same kind; nobody outside the
 * library frees its records. */
#ifndef KESTROVA_GREENLINK_RECORDS_H
#define KESTROVA_GREENLINK_RECORDS_H

#include "records.h"
#include "tsf_export.h"

/* Contacts: a new record becomes the head. Add returns the new count, or 0
 * when memory runs out (nothing is inserted then). */
TSF_API int Add_AddressBook_NodeList(const ABPerson* record);
TSF_API int Get_AddressBook_NodeList(ABPerson** out);
TSF_API int Get_AddressBook_Count(void);
TSF_API int Clear_AddressBook_NodeList(void);
TSF_API void FREE_AddressBook(ABPerson* record);
TSF_API ABPerson* SearchPersonById(const char* contactId);
/* Replaces one text chosen by key ("personMobile", "groupName", ...); 0 when
 * the key is known, -1 otherwise (nothing changes then). */
TSF_API int Change_AddressBook_Mobile_NodeList(ABPerson* record, const char* key,
                                               const char* value);

/* Text messages: a new record becomes the head. */
TSF_API int Add_SMS_NodeList(const SMessage* record);
TSF_API int Get_SMS_NodeList(SMessage** out);
TSF_API int Get_SMS_Count_NodeList(void);
TSF_API int Clear_SMS_NodeList(void);
TSF_API void Free_sms_item(SMessage* record);

/* Call log: appended at the tail. */
TSF_API int Add_CallHistory_NodeList(const CallHistory* record);
TSF_API int Get_CallHistory_NodeList(CallHistory** out);
TSF_API int Get_CallHistory_Count_NodeList(void);
TSF_API int Clear_CallHistory_list(void);
TSF_API int Change_CallHistory_Text(CallHistory* record, const char* key, const char* value);

/* Calendar and reminders: appended at the tail. Add returns the new length. */
TSF_API int Add_CALENDAR_NodeList(const Calendar* record);
TSF_API int Get_CALENDAR_NodeList(Calendar** out);
TSF_API int Clear_CALENDAR_list(void);
TSF_API int Change_CALENDAR_Text(Calendar* record, const char* key, const char* value);
TSF_API int Add_Reminders_NodeList(const Calendar* record);
TSF_API int Get_Reminders_NodeList(Calendar** out);
TSF_API int Clear_Reminders_list(void);
TSF_API int Change_Reminders_Text(Calendar* record, const char* key, const char* value);

/* Notes: appended at the tail; kept but never transferred. */
TSF_API int Add_NOTES_NodeList(const Notes* record);
TSF_API int Get_NOTES_NodeList(Notes** out);
TSF_API int Clear_NOTES_list(void);
TSF_API int Change_NOTES_Text(Notes* record, const char* value);

/* Deep copies and frees of single records, for other record owners (the iOS
 * database parser keeps lists of its own in the same layouts). A copy is NULL
 * when memory runs out. The free functions release the texts and the record. */
TSF_API ABPerson* Copy_AddressBook_Record(const ABPerson* record);
TSF_API SMessage* Copy_SMS_Record(const SMessage* record);
TSF_API CallHistory* Copy_CallHistory_Record(const CallHistory* record);
TSF_API Calendar* Copy_CALENDAR_Record(const Calendar* record);
TSF_API void Free_AddressBook_Record(ABPerson* record);
TSF_API void Free_SMS_Record(SMessage* record);
TSF_API void Free_CallHistory_Record(CallHistory* record);
TSF_API void Free_CALENDAR_Record(Calendar* record);

/* Conversation groups over the message list, newest conversation first;
 * call-log groups by number. Both are rebuilt after the list changes. */
TSF_API int AndroidTSF_GetSMSTempGroup(TSMSTempGroupList** out);
TSF_API int AndroidTSF_GetCallLogTempGroup(TCallLogTempGroupList** out);

#endif
