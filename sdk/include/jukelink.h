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
 * libdbsifter from copies made in a private folder (mode 0700, files 0600)
 * that it creates inside the folder given to iTunesTSF_SetTempPath.
 *
 * A backup folder is treated as written by a stranger: below it no link is
 * followed and only regular files are opened; every property list is checked
 * for size and nesting before it is parsed.
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

/* What kind of failure the calling thread's latest failed operation met.
 * Every operation below that can fail sets it (NONE on success), beside the
 * reason text of iTunesTSF_GetLastError, so callers decide by the category
 * and show the text. */
typedef enum iTunesTSF_ErrorCategory {
    ITUNESTSF_ERR_NONE = 0,
    ITUNESTSF_ERR_NOT_FOUND = 1,        /* no such backup, file or database */
    ITUNESTSF_ERR_CORRUPT = 2,          /* unreadable or damaged data */
    ITUNESTSF_ERR_ENCRYPTED = 3,        /* an encrypted backup */
    ITUNESTSF_ERR_UNSAFE_FILE = 4,      /* a link, folder, FIFO or device where a file belongs */
    ITUNESTSF_ERR_INCOMPLETE = 5,       /* the backup was never finished */
    ITUNESTSF_ERR_TOO_LARGE = 6,        /* over a size, nesting or count limit */
    ITUNESTSF_ERR_IO = 7,               /* the file system refused (permissions, full disk) */
    ITUNESTSF_ERR_INVALID_ARGUMENT = 8, /* a bad index, name or missing call order */
    ITUNESTSF_ERR_WRONG_PASSWORD = 9    /* the password does not unlock the backup */
} iTunesTSF_ErrorCategory;

/* The category of the calling thread's latest operation: ITUNESTSF_ERR_NONE
 * when it succeeded. */
TSF_API int iTunesTSF_GetLastErrorCategory(void);

/* Copies the reason of the calling thread's latest failure (NUL-terminated,
 * cut to size at a character boundary) and returns its full length in bytes;
 * 0 (and an empty text) when the latest operation succeeded. */
TSF_API int iTunesTSF_GetLastError(char* buf, int size);

/* Searches the backup folders again and returns the number of backups found
 * (newest first). */
TSF_API int iTunesTSF_BackupCount(void);

/* *out = the backup at index of the last listing, or NULL when index is out of
 * range (then -1). 0 on success. An incomplete, encrypted or unreadable
 * backup is listed too: see isComplete, isEncrypted and problem. */
TSF_API int iTunesTSF_GetBackupDeviceByIndex(int index, BackupDeviceNode** out);

/* Adds a user-chosen folder (UTF-8, at most 1,023 bytes) to the search. An
 * empty text or NULL removes it. 0, or -1 when the text is too long. The next
 * iTunesTSF_BackupCount lists its backups. */
TSF_API int iTunesTSF_SetOtherBackupPath(char* folder);

/* 0 when category kind (0 contacts, 1 SMS, 2 call logs, 3 calendar, 4 photos,
 * 5 videos, 6 music) can come from a backup; -1 for 7 (apps) and anything else. */
TSF_API int iTunesTSF_CheckSupportEnabled(int kind);

/* The folder inside which the library makes its private folder for copies
 * (see iTunesTSF_CleanTemp). 0, or -1 when the text is NULL, empty or longer
 * than 1,023 bytes. */
TSF_API int iTunesTSF_SetTempPath(char* folder);

/* 1 when the backup at index of the last listing is encrypted, 0 when not,
 * -1 when there is no backup at index. */
TSF_API int iTunesTSF_IsBackupEncrypted(int index);

/* Unlocks the encrypted backup at index of the last listing with its
 * password (UTF-8, NUL-terminated): derives the key from it (two PBKDF2
 * steps of up to ten million rounds: seconds on a fast computer, so never on
 * a thread that draws windows) and unwraps the backup's class keys, which the
 * library then holds until iTunesTSF_ForgetBackupKeys or the next unlock.
 * Call it once per backup and transfer, before iTunesTSF_ScanBackupDeviceByIndex;
 * every later read of that backup (databases, media, iTunesTSF_OpenBackupFile)
 * then gives decrypted bytes, written only into the private folder of
 * iTunesTSF_SetTempPath. The password is neither kept nor logged. 0 on
 * success; -1 with WRONG_PASSWORD, CORRUPT (no or damaged keybag),
 * TOO_LARGE, INVALID_ARGUMENT (no such or not an encrypted backup). */
TSF_API int iTunesTSF_UnlockBackup(int index, const char* password);

/* 1 when the keys of the backup at index are held (iTunesTSF_UnlockBackup
 * succeeded for it), 0 when not, -1 when there is no backup at index. */
TSF_API int iTunesTSF_IsBackupUnlocked(int index);

/* Wipes the held keys from memory. A scanned encrypted backup cannot be read
 * after it until it is unlocked and scanned again. */
TSF_API void iTunesTSF_ForgetBackupKeys(void);

/* Writes every file of the backup in folder (a backup folder's path) into
 * outFolder as <domain>/<relative path>: decrypted with password for an
 * encrypted backup, copied for a plain one (password NULL). outFolder must be
 * empty or missing; folders are made 0700 and files 0600. A name that would
 * land outside outFolder is refused. *written and *failed (when not NULL)
 * count the files; each failure is logged. 0 when every file was written,
 * 1 when some could not be, -1 when nothing could begin (NOT_FOUND,
 * ENCRYPTED without a password, WRONG_PASSWORD, INVALID_ARGUMENT for an
 * outFolder that is not empty, CORRUPT, IO). */
TSF_API int iTunesTSF_ExportBackup(const char* folder, const char* password, const char* outFolder,
                                   int64_t* written, int64_t* failed);

/* Makes the backup at index of the last listing current: reads its manifest
 * and builds the media lists. 0 on success (also for a backup that was not
 * finished: see iTunesTSF_IsBackupComplete); -1 when the index is out of
 * range (INVALID_ARGUMENT), the node's `problem` is set (TOO_LARGE,
 * UNSAFE_FILE), the backup is encrypted and not unlocked (ENCRYPTED: the
 * password is needed), or its manifest cannot be read (NOT_FOUND, CORRUPT,
 * UNSAFE_FILE). On -1 the media lists answer -1 and the flushes load empty
 * lists. */
TSF_API int iTunesTSF_ScanBackupDeviceByIndex(int index);

/* Load the current backup's database of that kind into libdbsifter (its list
 * is replaced, and left empty when the backup has no such database). 0 on
 * success, -1 otherwise (NOT_FOUND when the backup has no such database or
 * lacks its file, UNSAFE_FILE, CORRUPT when the parser cannot read it, or the
 * scan's category). */
TSF_API int iTunesTSF_FlushPerson(void);
TSF_API int iTunesTSF_FlushSMS(void);
TSF_API int iTunesTSF_FlushCallLog(void);
TSF_API int iTunesTSF_FlushCalender(void);

/* Media lists of the current backup: the number of entries, and *out (when out
 * is not NULL) = the head of the list, NULL when empty. Every file the
 * manifest lists is listed, also one missing from the folder (opening it then
 * fails with ITUNESTSF_ERR_NOT_FOUND). -1 (and *out = NULL) when no backup was
 * scanned or the scan failed (encrypted backup, unreadable manifest): the
 * category tells why. The lists stay valid until the next scan. */
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

/* 1 when the backup at index of the last listing was finished (its
 * Status.plist says so), 0 when it was not (an interrupted backup: files may
 * be missing or half written; category ITUNESTSF_ERR_INCOMPLETE), -1 when
 * there is no backup at index. */
TSF_API int iTunesTSF_IsBackupComplete(int index);

/* Opens a file of the backup at index of the last listing for reading.
 * relativeName is the name inside the backup folder, as in the `name` field
 * of a media entry ("xx/fileID"); it may not be absolute or hold "." or ".."
 * components. No link is followed at any step below the backup folder, and
 * only a regular file is opened: a link, folder, FIFO, socket or device is
 * refused without blocking. Returns a read-only descriptor (close-on-exec,
 * blocking) that the caller closes, and *size (when size is not NULL) = the
 * file's size in bytes. For a media file of the current backup when it is
 * encrypted and unlocked, the descriptor reads the decrypted file (a copy
 * in the private folder whose name is already removed); -1 on failure, with the category
 * (NOT_FOUND, UNSAFE_FILE, IO, INVALID_ARGUMENT). */
TSF_API int iTunesTSF_OpenBackupFile(int backupIndex, const char* relativeName, int64_t* size);

/* Removes everything the library created below the folder of
 * iTunesTSF_SetTempPath (copies of databases and manifests, kept in one
 * private folder, mode 0700, files 0600). The parser's lists loaded from
 * them stay. 0, or -1 when something could not be removed (category IO). */
TSF_API int iTunesTSF_CleanTemp(void);

#endif
