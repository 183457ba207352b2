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

/* Subscribes to device notifications (once; later calls do nothing). 0. */
TSF_API int IphoneTSF_Init(void);
TSF_API int IphoneTSF_UnInit(void);
/* Number of devices in the list. Reads a counter: no device round trip. */
TSF_API int IphoneTSF_ConnectDeviceCount(void);
/* *out = the node at index, or NULL. 0. A node handed out stays readable
 * after its device is detached (it is retired, not freed at once). */
TSF_API int IphoneTSF_GetDeviceInfoIndex(DeviceNode** out, int index);
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
 * returns its length, 0 when nothing has failed. */
TSF_API int IphoneTSF_GetLastError(char* buf, int size);

/* ---- databases ---- */

/* Fetches the user databases of the device through its file relay into
 * folder (archive "folder/tmp.gz", unpacked below folder). 0 when the
 * databases arrived and were unpacked; -1 when there is no device at index,
 * the phone refused the relay (every iPhone since iOS 8 answers
 * "PermissionDenied"), the stream broke or stalled, or the archive was not
 * whole. */
TSF_API int IphoneTSF_GetDeviceSqliteDB(char* folder, int index);
/* Hand one database of the last fetch to the parser: its result; 0 when the
 * file is not there; -1 when no fetch has been made. */
TSF_API int IphoneTSF_FlushSMS(void);
TSF_API int IphoneTSF_FlushContact(void);
TSF_API int IphoneTSF_FlushCallLog(void);
TSF_API int IphoneTSF_FlushCalender(void);

/* ---- media ---- */

/* Lists the photos, music and videos below /DCIM, /Recordings and
 * /iTunes_Control. 0, or -1 when there is no device at index. */
TSF_API int IphoneTSF_FlushMedia(int index);
/* Count of the list; *out = its head (valid until the next FlushMedia). */
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

/* ---- list functions ---- */

TSF_API void Add_iPhoneDevice(iPhoneDeviceInfo* info);
/* Unlinks every node of that device object; returns the new count. A device
 * that is not in the list changes nothing. */
TSF_API int Delete_iPhoneDevice(void* device);
TSF_API void Add_iPodDevice(char* path);
TSF_API void Delete_iPodDevice(char* path);
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
