/* Records the program allocates and zeroes, and the Android library fills:
 * the device information of one phone and one media file or app. */
#ifndef KESTROVA_ANDROID_ITEMS_H
#define KESTROVA_ANDROID_ITEMS_H

#include <stddef.h>
#include <stdint.h>

#include "tsf_export.h"

TSF_BEGIN_DECLS

#pragma pack(push, 1)
/* One Android phone, 436 bytes, packed. Memory and storage figures in bytes. */
typedef struct AndroidDeviceInfo {
    char manufacturer[128];
    char serial[64];
    char model[64];
    char version[128];
    uint64_t memoryTotal;
    uint64_t memoryAvailable;
    char reserved[4];
    uint64_t phoneTotal;
    uint64_t phoneAvailable;
    uint64_t sdTotal;
    uint64_t sdAvailable;
} AndroidDeviceInfo;
#pragma pack(pop)

TSF_STATIC_ASSERT(sizeof(AndroidDeviceInfo) == 436, "AndroidDeviceInfo is 436 bytes");
TSF_STATIC_ASSERT(offsetof(AndroidDeviceInfo, serial) == 128, "AndroidDeviceInfo.serial");
TSF_STATIC_ASSERT(offsetof(AndroidDeviceInfo, model) == 192, "AndroidDeviceInfo.model");
TSF_STATIC_ASSERT(offsetof(AndroidDeviceInfo, version) == 256, "AndroidDeviceInfo.version");
TSF_STATIC_ASSERT(offsetof(AndroidDeviceInfo, memoryTotal) == 384, "AndroidDeviceInfo.memoryTotal");
TSF_STATIC_ASSERT(offsetof(AndroidDeviceInfo, reserved) == 400, "AndroidDeviceInfo.reserved");
TSF_STATIC_ASSERT(offsetof(AndroidDeviceInfo, phoneTotal) == 404, "AndroidDeviceInfo.phoneTotal");
TSF_STATIC_ASSERT(offsetof(AndroidDeviceInfo, sdAvailable) == 428, "AndroidDeviceInfo.sdAvailable");

/* Text fields of the item records hold at most 254 characters plus NUL. */
#define ITEM_TEXT_MAX 254

typedef struct ItemPhotoInfo {
    int32_t id;
    char title[256];
    char path[1024];
    int64_t size;
    int64_t modifyTime;
    int64_t createTime;
} ItemPhotoInfo;

typedef struct ItemMusicInfo {
    int32_t id;
    int32_t albumId;
    char title[256];
    char album[256];
    char artist[256];
    char path[1024];
    int64_t duration;
    int64_t size;
    int64_t modifyTime;
    int64_t createTime;
} ItemMusicInfo;

typedef struct ItemVideoInfo {
    int32_t id;
    char title[256];
    char displayName[256];
    char path[1024];
    int64_t duration;
    int64_t size;
    int64_t modifyTime;
    int64_t createTime;
} ItemVideoInfo;

typedef struct ItemAppInfo {
    int32_t id;
    char packageName[256];
    char className[256];
    char appName[256];
    char version[256];
    int32_t versionCode;
    int32_t systemApp;
    int32_t sdCardApp;
    int32_t cacheSize;
    int32_t dataSize;
    int32_t codeSize;
    int32_t totalSize;
    int64_t installTime;
    int64_t lastUpdateTime;
    char permissions[128];
} ItemAppInfo;

/* 64-bit sizes must stay 64-bit: files above 2 GiB are common for videos. */
TSF_STATIC_ASSERT(sizeof(((ItemPhotoInfo*)0)->size) == 8, "ItemPhotoInfo.size is 64-bit");
TSF_STATIC_ASSERT(sizeof(((ItemVideoInfo*)0)->size) == 8, "ItemVideoInfo.size is 64-bit");
TSF_STATIC_ASSERT(sizeof(((ItemMusicInfo*)0)->size) == 8, "ItemMusicInfo.size is 64-bit");
TSF_STATIC_ASSERT(offsetof(ItemPhotoInfo, path) == 260, "ItemPhotoInfo.path");
TSF_STATIC_ASSERT(offsetof(ItemAppInfo, packageName) == 4, "ItemAppInfo.packageName");

TSF_END_DECLS

#endif
