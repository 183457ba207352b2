/* libgreenlink: the Android library's exported operations.
 *
 * A phone is named by its position (deviceindex): the row of the device table
 * filled by AndroidTSF_CheckDeviceDetected. Positions 0 and 1 have an agent
 * channel; every agent command for another position fails.
 *
 * Results are 0 for success and -1 for failure unless stated; counting
 * operations return the count; several operations return the agent's 4-byte
 * reply value as it came (0 when no reply arrived). */
#ifndef KESTROVA_GREENLINK_H
#define KESTROVA_GREENLINK_H

#include <stdint.h>

#include "android_items.h"
#include "greenlink_records.h"
#include "records.h"
#include "tsf_export.h"

/* ---- Discovery and USB identification ---------------------------------- */

TSF_API int AndroidTSF_Init(void);
/* Closes both positions' agent channels and removes their adb forwards,
 * then stops and uninstalls the agent on the phone at position 0. */
TSF_API int AndroidTSF_UnInit(void);
/* With 1: cuts short every exchange with the agents and every adb child in
 * progress, and refuses new ones, so that a cancelled job ends at once even
 * when a phone has stopped answering. With 0: exchanges work again. */
TSF_API int AndroidTSF_InterruptAll(int on);
/* Android phones attached (0-10): those adb lists, in any state, or more when
 * the USB scan (getusb) sees phones adb cannot see yet (USB debugging off). */
TSF_API int AndroidTSF_CheckConnectDeviceToPC_Count(void);
/* 0 ready; -2 waiting for the user's authorisation ("unauthorized", or
 * "offline" on older adb); -3 listed as "no permissions" (this computer may
 * not open the phone: udev rules missing); -1 listed in another state or
 * listing failed; -5 not listed. Never restarts a server that answers. */
TSF_API int AndroidTSF_CheckDeviceDetected(int deviceindex);
/* Fills maker, serial, model and version; -1 for an index outside 0-8. */
TSF_API int AndroidTSF_GetAndroidDevicesInfo(AndroidDeviceInfo* info, int deviceindex);
TSF_API int AndroidTSF_GetAndroidDevicesScreenCap(char* path, int deviceindex);
/* 0 when row 0 holds serial0 and row 1 holds serial1. */
TSF_API int AndroidTSF_CheckDevicesID(char* serial0, char* serial1);
TSF_API int AndroidTSF_CheckEnableUSBDebug(int deviceindex);
/* The ISO 3166 country of the phone's SIM card as the phone reports it
 * ("de"; "de,fr" with two cards of different countries; "" without one) into
 * out (NUL-terminated, cut to size - 1 bytes): its length, or -1 when the
 * phone could not be asked. */
TSF_API int AndroidTSF_GetSimCountry(char* out, int size, int deviceindex);
TSF_API int AndroidTSF_CheckOpenDebugType(int deviceindex);

/* ---- Agent lifecycle ---------------------------------------------------- */

/* Reinstalls and starts the agent, then greets it: 0 when it answered. */
TSF_API int AndroidTSF_ReadyTodoing(int deviceindex);
TSF_API int AndroidTSF_GetReadyTodoProgress(void);
/* Why the last AndroidTSF_ReadyTodoing of this position failed, in words for
   the user (package missing or refused, agent not answering); "" after a
   success. Valid until the next call from the same thread. */
TSF_API const char* AndroidTSF_GetReadyTodoFailure(int deviceindex);
/* 0 when the agent answers the greeting, -1 otherwise. An agent this
 * program prepared that stopped after its idle time (ten minutes without a
 * connection) is started again, once, with a new token. */
TSF_API int AndroidTSF_CheckDevicesIsConnect(int deviceindex);
/* The program lets go of the phone at this position (a job ended): its
 * agent channel is closed and its adb forward removed. The agent stays for
 * the next job and stops by itself after ten minutes without a connection. */
TSF_API int AndroidTSF_LetGo(int deviceindex);
/* 1 when the phone runs Android 4.4 or later, else 0. */
TSF_API int AndroidTSF_CheckAndroidVersionAt44(int deviceindex);
TSF_API int AndroidTSF_SetDefaultMessage(int deviceindex);
TSF_API int AndroidTSF_ReSetDefaultMessage(int deviceindex);
/* 0 when the agent is the default messaging app (or the phone predates 4.4). */
TSF_API int AndroidTSF_CheckDefaultMessangeOK(int deviceindex);
/* 0 for the data kinds 0-7, -1 otherwise. */
TSF_API int AndroidTSF_CheckSupportEnabled(int type);

/* ---- Messages, contacts, call log, calendar ----------------------------- */

/* Counts: -1 when the phone reports 0 or less or does not answer. */
TSF_API int AndroidTSF_FlushSMS_Count(int deviceindex);
TSF_API int AndroidTSF_FlushContact_Count(int deviceindex);
TSF_API int AndroidTSF_FlushCallLog_Count(int deviceindex);
TSF_API int AndroidTSF_FlushCalender_Count(int deviceindex);

/* Pages of at most five records from `start` into the kind's list (cleared
 * first). 0; -1 when the page did not arrive whole (after the channel's own
 * retries on a fresh connection) or was damaged: the list is then empty. */
TSF_API int AndroidTSF_FlushSMS(int deviceindex, int start);
TSF_API int AndroidTSF_FlushPerson(int deviceindex, int start);
TSF_API int AndroidTSF_FlushCallHistory(int deviceindex, int start);
TSF_API int AndroidTSF_FlushCalender(int deviceindex, int start);

/* Up to `limit` records from `start` into the kind's list (cleared first) in
 * one exchange: as many as fit in the library's page buffer, so fewer than
 * `limit` where the records are long. An agent that does not know ranges
 * gets a page of five instead (and so do the position's later reads until
 * the agent is prepared again). The number of records loaded, 0 past the
 * end; -1 as for a page: the list is then empty. */
TSF_API int AndroidTSF_FlushSMSRange(int deviceindex, int start, int limit);
TSF_API int AndroidTSF_FlushPersonRange(int deviceindex, int start, int limit);
TSF_API int AndroidTSF_FlushCallHistoryRange(int deviceindex, int start, int limit);
TSF_API int AndroidTSF_FlushCalenderRange(int deviceindex, int start, int limit);

/* List heads, valid until the next page or clear of the kind. Result: the
 * list's count (0 for calendar). */
TSF_API int AndroidTSF_GetSMS(SMessage** out);
TSF_API int AndroidTSF_GetPerson(ABPerson** out);
TSF_API int AndroidTSF_GetCallHistory(CallHistory** out);
TSF_API int AndroidTSF_GetCalender(Calendar** out);

/* Delete everything of a kind on the phone; the agent's reply. */
TSF_API int AndroidTSF_ClearSMS(int deviceindex);
TSF_API int AndroidTSF_ClearPerson(int deviceindex);
TSF_API int AndroidTSF_ClearCallHistory(int deviceindex);
TSF_API int AndroidTSF_ClearCalender(int deviceindex);

/* Writes. The reply value is returned; 0 when no reply arrived. A write is
 * sent at most once: when its reply is lost it is not repeated. */
TSF_API int AndroidTSF_SendSMS(SMessage* message, int deviceindex);
/* The new contact's identifier; 0 or less on failure. */
TSF_API long long AndroidTSF_AddPerson(char* name, char* mobile, int deviceindex);
TSF_API int AndroidTSF_updatePerson(char* contactId, int field, char* value, int deviceindex);
/* AddPerson followed by one update per field: 0 when the contact was made and
 * every field was confirmed; -2 when it was made but not every field was
 * confirmed (the contact is on the phone in part); -1 when it was not made. */
TSF_API int AndroidTSF_AddPerson2(ABPerson* person, int deviceindex);
/* One command carrying every field; -1 for a null record. */
TSF_API int AndroidTSF_AddPerson3(ABPerson* person, int deviceindex);
TSF_API int AndroidTSF_AddCallHistory(CallHistory* entry, int deviceindex);
TSF_API int AndroidTSF_AddCalender(Calendar* event, int deviceindex);

/* Whole-phone reads into the lists, with progress and a stop flag. */
TSF_API int AndroidTSF_FlushSMSAll(int deviceindex);
TSF_API int AndroidTSF_FlushPersonAll(int deviceindex);
TSF_API int AndroidTSF_FlushCallHistoryAll(int deviceindex);
TSF_API int AndroidTSF_FlushSMSAll_Count(void);
TSF_API int AndroidTSF_FlushSMSAll_Index(void);
TSF_API int AndroidTSF_FlushContactAll_Count(void);
TSF_API int AndroidTSF_FlushContactAll_Index(void);
TSF_API int AndroidTSF_FlushCallLogAll_Count(void);
TSF_API int AndroidTSF_FlushCallLogAll_Index(void);
TSF_API int AndroidTSF_AbortFlushAllDB(void);
TSF_API int AndroidTSF_ResetFlushAllDBStatus(void);

/* Accepted and ignored; each returns 0. */
TSF_API int AndroidTSF_DeleteSMS(char* smsId, int deviceindex);
TSF_API int AndroidTSF_UpdateSMS(SMessage* message, int deviceindex);
TSF_API int AndroidTSF_DeletePerson(char* contactId, int deviceindex);
TSF_API int AndroidTSF_GetOnePersonInfo(char* contactId, ABPerson* out, int deviceindex);
TSF_API int AndroidTSF_GetPersonImage(char* contactId, char* path, int deviceindex);
TSF_API int AndroidTSF_UpdatePersonImage(char* contactId, char* path, int deviceindex);
TSF_API int AndroidTSF_DeletePersonImage(char* contactId, int deviceindex);
TSF_API int AndroidTSF_DeleteCallHistory(char* callId, int deviceindex);
TSF_API int AndroidTSF_UpdateCallHistory(CallHistory* entry, int deviceindex);
TSF_API int AndroidTSF_DeleteCalender(char* eventId, int deviceindex);

/* ---- Photos -------------------------------------------------------------- */

TSF_API int AndroidTSF_FlushDevicesPhotos(int deviceindex);
TSF_API int AndroidTSF_GetPhotoCount(int deviceindex);
TSF_API int AndroidTSF_GetPhotoInfo(ItemPhotoInfo* rec, int index, int deviceindex);
/* Reply length (> 4) with *out set to the library's shared reply buffer. */
TSF_API int AndroidTSF_GetPhotoThumb(char** out, int id, int deviceindex);
TSF_API int AndroidTSF_DeletePhoto(int id, int deviceindex);
TSF_API int AndroidTSF_ClearPhoto(int deviceindex);
/* Pushes a computer file under `name` (or the first free "name(n).ext"). */
TSF_API int AndroidTSF_addPhoto(char* localPath, char* name, int deviceindex);
TSF_API int AndroidTSF_addPhoto2(char* localPath, char* name, int deviceindex);
TSF_API int AndroidTSF_ExportPhotofromDevice(int id, char* localPath, long long size,
                                             int deviceindex);
TSF_API int AndroidTSF_ExportPhotofromDevice2(int id, char* localPath, long long size,
                                              int deviceindex);
TSF_API int AndroidTSF_PhotoOpen(char* name, int deviceindex);
TSF_API int AndroidTSF_PhotoWrite(char* data, int count, int deviceindex);
TSF_API int AndroidTSF_PhotoRead(char* buf, int capacity, int id, long long offset,
                                 int deviceindex);
TSF_API int AndroidTSF_PhotoClose(int aborted, char* name, int deviceindex);
TSF_API int AndroidTSF_PhotoAbort(void);
TSF_API int AndroidTSF_GetPhotoProgress(void);

/* ---- Music --------------------------------------------------------------- */

TSF_API int AndroidTSF_FlushDevicesMusic(int deviceindex);
TSF_API int AndroidTSF_GetMusicCount(int deviceindex);
TSF_API int AndroidTSF_GetMusicInfo(ItemMusicInfo* rec, int index, int deviceindex);
TSF_API int AndroidTSF_GetMusicThumb(char** out, int a, int b, int deviceindex);
TSF_API int AndroidTSF_DeleteMusic(int id, int deviceindex);
TSF_API int AndroidTSF_ClearMusic(int deviceindex);
TSF_API int AndroidTSF_AddMusicToDevice(char* localPath, char* name, int deviceindex);
TSF_API int AndroidTSF_AddMusicToDevice2(char* localPath, char* name, int deviceindex);
TSF_API int AndroidTSF_ExportMusicfromDevice(int id, char* localPath, long long size,
                                             int deviceindex);
TSF_API int AndroidTSF_ExportMusicfromDevice2(int id, char* localPath, long long size,
                                              int deviceindex);
TSF_API int AndroidTSF_TransferMusicfromDevice(int id, char* name, long long size,
                                               int srcDeviceindex, int dstDeviceindex);
TSF_API int AndroidTSF_MusicOpen(char* name, int deviceindex);
TSF_API int AndroidTSF_MusicWrite(char* data, int count, int deviceindex);
TSF_API int AndroidTSF_MusicRead(char* buf, int capacity, int id, long long offset,
                                 int deviceindex);
TSF_API int AndroidTSF_MusicClose(int aborted, char* name, int deviceindex);
TSF_API int AndroidTSF_MusicAbort(void);
TSF_API int AndroidTSF_GetMusicProgress(void);
TSF_API long long AndroidTSF_GetMusicProgressSize(void);

/* ---- Videos -------------------------------------------------------------- */

TSF_API int AndroidTSF_FlushDevicesVideo(int deviceindex);
TSF_API int AndroidTSF_GetVideoCount(int deviceindex);
TSF_API int AndroidTSF_GetVideoInfo(ItemVideoInfo* rec, int index, int deviceindex);
TSF_API int AndroidTSF_DeleteVideofromDevice(int id, int deviceindex);
TSF_API int AndroidTSF_ClearVideofromDevice(int deviceindex);
TSF_API int AndroidTSF_AddVideoToDevice(char* localPath, char* name, int deviceindex);
TSF_API int AndroidTSF_AddVideoToDevice2(char* localPath, char* name, int deviceindex);
TSF_API int AndroidTSF_ExportVideofromDevice(int id, char* localPath, long long size,
                                             int deviceindex);
TSF_API int AndroidTSF_ExportVideofromDevice2(int id, char* localPath, long long size,
                                              int deviceindex);
TSF_API int AndroidTSF_TransferVideofromDevice(int id, char* name, long long size,
                                               int srcDeviceindex, int dstDeviceindex);
TSF_API int AndroidTSF_VideoOpen(char* name, int deviceindex);
TSF_API int AndroidTSF_VideoWrite(char* data, int count, int deviceindex);
TSF_API int AndroidTSF_VideoRead(char* buf, int capacity, int id, long long offset,
                                 int deviceindex);
TSF_API int AndroidTSF_VideoClose(int aborted, char* name, int deviceindex);
TSF_API int AndroidTSF_VideoAbort(void);
TSF_API int AndroidTSF_GetVideoProgress(void);
TSF_API long long AndroidTSF_GetVideoProgressSize(void);

/* ---- Apps ---------------------------------------------------------------- */

TSF_API int AndroidTSF_FlushDevicesApp(int deviceindex);
TSF_API int AndroidTSF_GetAppCount(int deviceindex);
TSF_API int AndroidTSF_GetAppInfo(ItemAppInfo* rec, int index, int deviceindex);
/* mode 1 "-l", 2 "-r", 3 "-s", 4 plain, 5 "-r -s"; a mode the phone refuses
 * falls back to a plain install. The split packages ExportApp kept beside
 * apkPath (apkPath + ".splits/") are installed with it as one app
 * (install-multiple). 0 when the phone reported success. */
TSF_API int AndroidTSF_InstallAppToMemory(char* apkPath, int mode, int deviceindex);
/* mode 1 removes the app, mode 2 keeps its data. */
TSF_API int AndroidTSF_UnInstallApp(char* packageName, int mode, int deviceindex);
/* Pulls the app's package files (found with "pm path"): the base package to
 * outPath and, for an app shipped as split packages, the others into the
 * folder outPath + ".splits" (mode 0700), which the caller removes. */
TSF_API int AndroidTSF_ExportApp(char* packageName, char* outPath, int deviceindex);
/* The name a media file is stored under on the phone before any clash suffix
 * ("/", ";" and NUL become "_", long names cut before their extension), into
 * out (NUL-terminated). Its length, or -1 when out is too small. */
TSF_API int AndroidTSF_StoredFileName(const char* name, char* out, int capacity);
TSF_API int AndroidTSF_ClearAllApp(int deviceindex);
TSF_API int AndroidTSF_MoveAppToSdCard(char* packageName, int deviceindex);
TSF_API int AndroidTSF_MoveAppToMemory(char* packageName, int deviceindex);

#endif
