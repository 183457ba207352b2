/* libfruitlink: access to iPhones attached by USB. A device is named by its
 * index in the library's device list, counted from 0 in the order of
 * attachment; a detach moves later devices down by one.
 *
 * Operations return 0 for success and -1 for failure unless stated; every
 * failure is traced to standard output with its reason, and the latest
 * reason can be read with IphoneTSF_GetLastError. */
#ifndef KESTROVA_FRUITLINK_H
#define KESTROVA_FRUITLINK_H

#include <stdint.h>

#include "iphone_nodes.h"
#include "tsf_export.h"

/* ---- start-up, device list, small operations ---- */

/* Subscribes to device notifications (once; later calls do nothing). 0.
 * An attached phone that has not yet trusted this computer (or is locked) is
 * listed with its udid and the name it gives before trust; the library asks
 * it again every two seconds and, once it answers, reads its name, type,
 * version and serial number again (a new node at the same index). */
TSF_API int IphoneTSF_Init(void);
TSF_API int IphoneTSF_UnInit(void);
/* Number of devices in the list. Reads a counter: no device round trip. */
TSF_API int IphoneTSF_ConnectDeviceCount(void);
/* 1 when usbmuxd lists the phone with this udid right now, 0 when not (or
 * when usbmuxd does not answer): asks usbmuxd, unlike the list, which learns
 * of an unplug only when its event arrives. */
TSF_API int IphoneTSF_IsAttached(const char* udid);
/* *out = the node at index, or NULL. 0. The node is lent to the calling
 * thread: it stays readable, even after its device is detached, until the
 * same thread reads another node (here or with GetiPhoneDeviceListIndex) or
 * ends. A node is never changed once handed out: when the phone's values are
 * read again (after the user trusts the computer) a new node takes its place
 * at the same index. */
TSF_API int IphoneTSF_GetDeviceInfoIndex(DeviceNode** out, int index);
/* The node at index (NULL if none), kept for the caller until the matching
 * IphoneTSF_ReleaseDeviceNode, on any thread, whatever is detached meanwhile.
 * Each acquire needs one release. */
TSF_API DeviceNode* IphoneTSF_AcquireDeviceNode(int index);
/* 0; -1 when the node was not acquired (NULL is accepted: 0). */
TSF_API int IphoneTSF_ReleaseDeviceNode(DeviceNode* node);
/* Asks a running database fetch to stop. 0. */
TSF_API int IphoneTSF_FlushAbort(void);
/* 0 when the category (0 contacts ... 7 apps) can be copied from an iPhone,
 * -1 otherwise. */
TSF_API int IphoneTSF_CheckSupportEnabled(int category);
TSF_API int IphoneTSF_FlushTest(void);
TSF_API int IphoneTSF_AddContact(void);
/* Writes nothing: -1 when no file is open, 0 otherwise. */
TSF_API int IphoneTSF_Write(void);
/* Copies the reason of the latest failure (NUL-terminated, cut to size);
 * returns its length, 0 when nothing has failed. The latest failure is the
 * library's, whichever thread called: read it right after the call. */
TSF_API int IphoneTSF_GetLastError(char* buf, int size);

/* What kind of failure the latest one was, so a caller can act on it without
 * reading the text. Set together with the text of IphoneTSF_GetLastError. */
typedef enum IphoneErrorCategory {
    IPHONE_ERROR_NONE = 0,              /* nothing has failed */
    IPHONE_ERROR_NO_DEVICE = 1,         /* no device at that index, or it was unplugged */
    IPHONE_ERROR_PASSCODE_LOCKED = 2,   /* the phone is locked: the user must unlock it */
    IPHONE_ERROR_TRUST_PENDING = 3,     /* the "Trust This Computer?" dialog is unanswered */
    IPHONE_ERROR_USER_DENIED = 4,       /* the user answered "Don't Trust" */
    IPHONE_ERROR_NOT_PAIRED = 5,        /* the phone no longer knows this computer's pairing */
    IPHONE_ERROR_SERVICE_REFUSED = 6,   /* the phone refused the service or the path
                                           (file relay "PermissionDenied" on iOS 8 and later) */
    IPHONE_ERROR_CONNECTION = 7,        /* I/O failed or the connection was lost mid-way */
    IPHONE_ERROR_PROTOCOL = 8,          /* the phone's reply was not what the protocol says */
    IPHONE_ERROR_NOT_FOUND = 9,         /* no such file on the phone, or nothing fetched yet */
    IPHONE_ERROR_ABORTED = 10,          /* stopped by IphoneTSF_FlushAbort */
    IPHONE_ERROR_LOCAL = 11,            /* this computer's side: a file or folder could not be
                                           created or written */
    IPHONE_ERROR_BACKUP_ENCRYPTED = 12, /* the phone encrypts its backups: a password is needed */
    IPHONE_ERROR_BUSY = 13,             /* another computer or program is backing up or syncing
                                           the phone (its sync lock is held) */
    IPHONE_ERROR_NO_SPACE = 14          /* too little free space on this computer for the backup */
} IphoneErrorCategory;

/* The IphoneErrorCategory of the latest failure (IPHONE_ERROR_NONE when
 * nothing has failed). */
TSF_API int IphoneTSF_GetLastErrorCategory(void);

/* 0 when the phone at index answered the device list's last reading of its
 * values (unlocked, trusting this computer); -1 otherwise, the category
 * saying why: PASSCODE_LOCKED, TRUST_PENDING, USER_DENIED, NOT_PAIRED, or
 * NO_DEVICE. No round trip: the list asks an untrusting phone again every
 * two seconds. */
TSF_API int IphoneTSF_CheckTrusted(int index);

/* ---- databases ---- */

/* Fetches the user databases of the device through its file relay into
 * folder (archive "folder/tmp.gz", unpacked below folder). 0 when the
 * databases arrived and were unpacked; -1 when there is no device at index,
 * the phone refused the relay (every iPhone since iOS 8 answers
 * "PermissionDenied"), the stream broke or stalled, or the archive was not
 * whole. */
TSF_API int IphoneTSF_GetDeviceSqliteDB(char* folder, int index);
/* What the fetch unpacked is private to this user whatever the archive says
 * (folders 0700, files 0600), and nothing is written through a link or
 * outside the folder. This removes what the last fetch wrote below its
 * folder (the archive, the databases, the folders they emptied; never the
 * folder itself) and forgets the fetch: the Flush operations below return -1
 * until the next fetch. 0; -1 when something could not be removed. */
TSF_API int IphoneTSF_RemoveDeviceSqliteDB(void);
/* Hand one database of the last fetch to the parser: its result; 0 when the
 * file is not there; -1 when no fetch has been made. */
TSF_API int IphoneTSF_FlushSMS(void);
TSF_API int IphoneTSF_FlushContact(void);
TSF_API int IphoneTSF_FlushCallLog(void);
TSF_API int IphoneTSF_FlushCalender(void);

/* ---- media ---- */

/* Lists the photos (.heic .heif .jpg .jpeg .png .gif .dng), videos (.mov .mp4
 * .m4v) and music (.mp3 .m4a) below /DCIM, /Recordings and /iTunes_Control.
 * 0; -1 when there is no device at index, the phone refused the file service
 * (locked, not trusted) or a folder could not be listed: then the lists are
 * empty and the getters below return -1, the category says why. */
TSF_API int IphoneTSF_FlushMedia(int index);
/* Count of the list; *out = its head (valid until the next FlushMedia).
 * -1 and *out = NULL when the last FlushMedia failed. */
TSF_API int IphoneTSF_GetDICMImage(MediaFileNode** out);
TSF_API int IphoneTSF_GetMusics(MediaFileNode** out);
TSF_API int IphoneTSF_GetVideos(MediaFileNode** out);
/* Byte totals: the low 32 bits, as the contract has always been. */
TSF_API int IphoneTSF_GetDICMImage_TotalSize(void);
TSF_API int IphoneTSF_GetMusics_TotalSize(void);
TSF_API int IphoneTSF_GetVideos_TotalSize(void);
/* The whole 64-bit totals. */
TSF_API int64_t IphoneTSF_GetDICMImage_TotalSize64(void);
TSF_API int64_t IphoneTSF_GetMusics_TotalSize64(void);
TSF_API int64_t IphoneTSF_GetVideos_TotalSize64(void);

/* Opens one media file (only one is open in the whole library; a second
 * Open replaces the first). 1000 (the handle) or -1. */
TSF_API int64_t IphoneTSF_Open(const char* path, int index);
/* Bytes copied into buf (1..count); 0 at the end of a file that arrived
 * whole; -1 when no file is open, or when the read failed or the file ended
 * short (a device unplugged mid-file): the bytes so far are not the file. */
TSF_API int IphoneTSF_Read(int handle, char* buf, int count, int index);
/* 0, or -1 when no file is open. */
TSF_API int IphoneTSF_Close(int handle, int index);

/* ---- backups ---- */

/* Live phones since iOS 8 give their databases only through a backup. These
 * take one through the phone's backup service into <root>/<udid>/, where
 * root is the standard per-user backup folder ($XDG_DATA_HOME, default
 * $HOME/.local/share, + "/MobileSync/Backup", the folder the backup reader
 * searches) unless IphoneTSF_SetBackupRoot chose another. A backup there is
 * the user's to keep: the next one is incremental (the phone sends only what
 * changed). */

/* Chooses the folder that holds the backups (NULL or "" = the standard one).
 * 0, or -1 when the text is longer than 1,023 bytes. */
TSF_API int IphoneTSF_SetBackupRoot(const char* folder);
/* Copies the folder backups go to; returns its length. */
TSF_API int IphoneTSF_GetBackupRoot(char* buf, int size);
/* 1 when the phone at index encrypts its backups (its WillEncrypt setting),
 * 0 when it does not, -1 when it could not be asked (category says why). */
TSF_API int IphoneTSF_GetBackupWillEncrypt(int index);
/* Takes a backup of the phone at index. Before it: the phone's encryption
 * setting (an encrypting phone is refused: BACKUP_ENCRYPTED, nothing taken),
 * the free space here against what the phone holds (NO_SPACE, the text says
 * how much is needed), the sync lock on the phone (BUSY when another host
 * holds it). While it runs the sync lock is held and the phone is told a
 * sync runs; both are released at the end, on error and on
 * IphoneTSF_FlushAbort. The files that say a backup is finished (Status.plist,
 * Manifest.db, Manifest.plist, Info.plist) are put in place only when the
 * phone says it has finished: a backup that breaks off leaves the previous
 * one as it was. 0 when the backup finished; -1 otherwise (category: NO_DEVICE
 * when the phone was unplugged, ABORTED, PASSCODE_LOCKED, SERVICE_REFUSED with
 * the phone's error, CONNECTION, PROTOCOL, LOCAL). */
TSF_API int IphoneTSF_TakeBackup(int index);
/* The same, taking the backup also when the phone encrypts it (flags
 * IPHONE_BACKUP_ACCEPT_ENCRYPTED): the phone encrypts every file with its
 * backup password, and reading the backup afterwards needs that password. */
#define IPHONE_BACKUP_ACCEPT_ENCRYPTED 1
TSF_API int IphoneTSF_TakeBackupWith(int index, int flags);
/* Progress of the running (or last) backup as the phone reports it, in
 * tenths of a percent (0..1000). */
TSF_API int IphoneTSF_GetBackupProgress(void);
/* The folder of the last backup taken or tried (<root>/<udid>); its length. */
TSF_API int IphoneTSF_GetBackupFolder(char* buf, int size);
/* File bytes the phone sent in the last backup. */
TSF_API int64_t IphoneTSF_GetBackupBytesReceived(void);

/* ---- list functions ---- */

TSF_API void Add_iPhoneDevice(iPhoneDeviceInfo* info);
/* Unlinks every node of that device object; returns the new count. A device
 * that is not in the list changes nothing. */
TSF_API int Delete_iPhoneDevice(void* device);
TSF_API void Add_iPodDevice(char* path);
TSF_API void Delete_iPodDevice(char* path);
/* The first node, and the node at index: lent to the calling thread as by
 * IphoneTSF_GetDeviceInfoIndex. */
TSF_API DeviceNode* GetiPhoneDeviceList(void);
TSF_API DeviceNode* GetiPhoneDeviceListIndex(int index);
TSF_API int GetiConnected(void);
TSF_API int GetDeviceCount(void);
TSF_API void Clear_iPhoneDeviceList(void);
TSF_API int iPhoneConnectInit(void);

/* Values of a device object (the `device` of an iPhoneDeviceInfo), read from
 * the phone: a malloc'd UTF-8 copy the caller frees with free(), or NULL when
 * the phone did not give it. */
TSF_API char* GetiPhoneDeviceID(void* device);
TSF_API char* GetiPhoneDeviceType(void* device);
TSF_API char* GetiPhoneDeviceVersion(void* device);
TSF_API char* GetiPhoneDeviceName(void* device);
TSF_API char* GetiPhoneDeviceState(void* device);
TSF_API char* GetiPhoneDeviceSerialNumber(void* device);
TSF_API char* GetiPhoneDeviceFirmwareVersion(void* device);

#endif
