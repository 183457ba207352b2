/* libjukelink: reads the iTunes backups of iPhones kept on this computer.
 *
 * Backups are searched in the standard folders (the macOS layout under
 * $HOME/Library/Application Support/MobileSync/Backup, and the same layout
 * under $XDG_DATA_HOME, default $HOME/.local/share, where Linux backup tools
 * are usually pointed) and in one folder chosen by the user, which may be a
 * backup itself or a folder holding backups (as idevicebackup2 writes them,
 * one folder per device).
 *
 * The library never writes into a backup folder. Personal data is loaded into
 * libdbsifter from copies made in the folder given to iTunesTSF_SetTempPath.
 *
 * Every operation that fails writes one line with the reason to standard
 * error ("jukelink: ..."). All calls of a transfer come from one thread; the
 * listing calls come from another, and nodes returned by
 * iTunesTSF_GetBackupDeviceByIndex stay readable for the life of the process. */
#ifndef KESTROVA_JUKELINK_H
#define KESTROVA_JUKELINK_H

#include <stdint.h>

#include "backup_nodes.h"
#include "tsf_export.h"

/* Searches the backup folders again and returns the number of backups found
 * (newest first). */
TSF_API int iTunesTSF_BackupCount(void);

/* *out = the backup at index of the last listing, or NULL when index is out of
 * range (then -1). 0 on success. An incomplete or encrypted backup is listed
 * too: see isComplete and isEncrypted. */
TSF_API int iTunesTSF_GetBackupDeviceByIndex(int index, BackupDeviceNode** out);

/* Adds a user-chosen folder (UTF-8, at most 1,023 bytes) to the search. An
 * empty text or NULL removes it. 0, or -1 when the text is too long. The next
 * iTunesTSF_BackupCount lists its backups. */
TSF_API int iTunesTSF_SetOtherBackupPath(char* folder);

/* 0 when category kind (0 contacts, 1 SMS, 2 call logs, 3 calendar, 4 photos,
 * 5 videos, 6 music) can come from a backup; -1 for 7 (apps) and anything else. */
TSF_API int iTunesTSF_CheckSupportEnabled(int kind);

/* The folder the database copies go to. 0, or -1 when the text is NULL, empty
 * or longer than 1,023 bytes. */
TSF_API int iTunesTSF_SetTempPath(char* folder);

/* Makes the backup at index of the last listing current: reads its manifest
 * and builds the media lists. 0 on success; -1 when the index is out of range,
 * the backup is encrypted (decryption is not supported) or its manifest cannot
 * be read. On -1 the media lists are empty and the flushes load empty lists. */
TSF_API int iTunesTSF_ScanBackupDeviceByIndex(int index);

/* Load the current backup's database of that kind into libdbsifter (its list
 * is replaced, and left empty when the backup has no such database). 0 on
 * success, -1 otherwise; the reason is logged. */
TSF_API int iTunesTSF_FlushPerson(void);
TSF_API int iTunesTSF_FlushSMS(void);
TSF_API int iTunesTSF_FlushCallLog(void);
TSF_API int iTunesTSF_FlushCalender(void);

/* Media lists of the current backup: the number of entries, and *out (when out
 * is not NULL) = the head of the list, NULL when empty. Only files present in
 * the backup folder are listed. The lists stay valid until the next scan. */
TSF_API int iTunesTSF_GetDICMImage(DicmImageList** out);
TSF_API int iTunesTSF_GetVideos(DicmImageList** out);
TSF_API int iTunesTSF_GetMusics(DicmImageList** out);

/* Total bytes of each list. The 32-bit forms stop at INT32_MAX rather than
 * wrap; the 64-bit forms give the exact sum. */
TSF_API int iTunesTSF_GetDICMImage_TotalSize(void);
TSF_API int iTunesTSF_GetVideos_TotalSize(void);
TSF_API int iTunesTSF_GetMusics_TotalSize(void);
TSF_API int64_t iTunesTSF_GetDICMImage_TotalSize64(void);
TSF_API int64_t iTunesTSF_GetVideos_TotalSize64(void);
TSF_API int64_t iTunesTSF_GetMusics_TotalSize64(void);

#endif
