/* Records of the iTunes backup reader. Callers read them at fixed byte
 * positions, so the layouts are packed and checked below. */
#ifndef KESTROVA_BACKUP_NODES_H
#define KESTROVA_BACKUP_NODES_H

#include <stddef.h>
#include <stdint.h>

#include "tsf_export.h"

TSF_BEGIN_DECLS

#pragma pack(push, 1)
/* One iTunes backup. The texts at 64, 128, 192 and 448 are what callers
 * read; the fields after `path` are this reader's own additions. */
typedef struct BackupDeviceNode {
    char productType[64];    /* 0: e.g. "iPhone12,1" */
    char deviceName[64];     /* 64: the backup's title */
    char identifier[64];     /* 128: unique identifier of the backup */
    char date[256];          /* 192: ISO 8601 date of the backup, e.g. "2024-05-01T10:00:00Z" */
    char path[1024];         /* 448: full path of the backup folder */
    char productVersion[64]; /* 1472: iOS version, e.g. "17.2" */
    int32_t isEncrypted;     /* 1536: 1 when the backup is encrypted */
    int32_t isComplete;      /* 1540: 1 when Status.plist says "finished" */
    int32_t manifestFormat;  /* 1544: 1 Manifest.db, 2 Manifest.mbdb, 0 unknown */
    int32_t problem;         /* 1548: 0, or the iTunesTSF_ErrorCategory that keeps the backup
                                from being read (a property list over the limits, a link or
                                special file in its place); such a backup cannot be scanned */
} BackupDeviceNode;

/* One media file of a backup. */
typedef struct DicmImageInfo {
    char path[256]; /* 0: path on the iPhone; its last component names the copy */
    char name[106]; /* 256: name inside the backup folder ("xx/fileID" or "fileID") */
    int64_t size;   /* 362, unaligned: size in bytes */
} DicmImageInfo;
#pragma pack(pop)

typedef struct DicmImageList {
    DicmImageInfo* entry;
    struct DicmImageList* next;
} DicmImageList;

TSF_STATIC_ASSERT(offsetof(BackupDeviceNode, deviceName) == 64, "BackupDeviceNode.deviceName");
TSF_STATIC_ASSERT(offsetof(BackupDeviceNode, identifier) == 128, "BackupDeviceNode.identifier");
TSF_STATIC_ASSERT(offsetof(BackupDeviceNode, date) == 192, "BackupDeviceNode.date");
TSF_STATIC_ASSERT(offsetof(BackupDeviceNode, path) == 448, "BackupDeviceNode.path");
TSF_STATIC_ASSERT(sizeof(BackupDeviceNode) == 1552, "BackupDeviceNode size");
TSF_STATIC_ASSERT(offsetof(DicmImageInfo, name) == 256, "DicmImageInfo.name");
TSF_STATIC_ASSERT(offsetof(DicmImageInfo, size) == 362, "DicmImageInfo.size");
TSF_STATIC_ASSERT(sizeof(DicmImageInfo) == 370, "DicmImageInfo size");
TSF_STATIC_ASSERT(offsetof(DicmImageList, entry) == 0, "DicmImageList.entry first");

TSF_END_DECLS

#endif
