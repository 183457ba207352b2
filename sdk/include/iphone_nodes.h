/* Records of the iPhone library: the list of attached devices and the media
 * lists. The library allocates and owns every node. */
#ifndef KESTROVA_IPHONE_NODES_H
#define KESTROVA_IPHONE_NODES_H

#include <stddef.h>
#include <stdint.h>

#include "tsf_export.h"

TSF_BEGIN_DECLS

/* One attached iPhone. Each string is an owned copy of the device's value, or
 * NULL when the device did not give it. `device` is the library's own device
 * object (opaque to callers). */
typedef struct iPhoneDeviceInfo {
    void* device;
    char* udid;
    char* productType;
    char* productVersion;
    char* deviceName;
    char* deviceClass;
    char* serialNumber;
} iPhoneDeviceInfo;

typedef struct DeviceNode {
    iPhoneDeviceInfo* info; /* NULL for an iPod entry */
    char* iPodPath;         /* 512-byte buffer for a mounted iPod; NULL for an iPhone */
    struct DeviceNode* next;
} DeviceNode;

#define MEDIA_FILE_PATH_MAX 584

/* One media file on an iPhone, as the AFC media service names it. */
typedef struct MediaFileNode {
    char path[MEDIA_FILE_PATH_MAX];
    int64_t size;
    struct MediaFileNode* next;
} MediaFileNode;

TSF_STATIC_ASSERT(offsetof(DeviceNode, info) == 0, "DeviceNode.info first");
TSF_STATIC_ASSERT(offsetof(MediaFileNode, size) == MEDIA_FILE_PATH_MAX, "MediaFileNode.size");
TSF_STATIC_ASSERT(sizeof(((MediaFileNode*)0)->size) == 8, "MediaFileNode.size is 64-bit");

TSF_END_DECLS

#endif
