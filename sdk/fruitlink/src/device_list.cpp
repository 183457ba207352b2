// Additions and removals come from libimobiledevice's event thread while the
// program's threads read nodes by index, so the list only changes under its
// lock, and a removed node is retired rather than freed: a reader that took
// the node a moment before the detach can still read it. Retired nodes are
// freed once many later removals have passed.
#include "device_list.h"

#include "am_device.h"
#include "trace.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <fruitlink.h>
#include <mutex>
#include <sys/stat.h>

namespace {

DeviceNode* g_DeviceList = nullptr;
int32_t iConnected = 0;
int32_t mutx = 0;
std::mutex g_listMutex;

constexpr size_t kRetiredKept = 64;
struct Retired {
    DeviceNode* node;
    std::shared_ptr<fruitlink::AMDevice> device;
};
// Never destroyed: the event thread may still retire a node while the
// process exits.
std::deque<Retired>& g_retired = *new std::deque<Retired>();

void AddDeviceLock() {
    g_listMutex.lock();
    mutx = 1;
}

void AddDeviceUnLock() {
    mutx = 0;
    g_listMutex.unlock();
}

char* dupText(const std::optional<std::string>& v) {
    if (!v)
        return nullptr;
    char* s = static_cast<char*>(std::calloc(v->size() + 1, 1));
    if (s)
        std::memcpy(s, v->data(), v->size());
    return s;
}

fruitlink::AMDevice* deviceOf(const DeviceNode* n) {
    return n && n->info ? static_cast<fruitlink::AMDevice*>(n->info->device) : nullptr;
}

void freeNode(DeviceNode* n) {
    if (n->info) {
        iPhoneDeviceInfo* i = n->info;
        for (char* s : {i->udid, i->productType, i->productVersion, i->deviceName, i->deviceClass,
                        i->serialNumber})
            std::free(s);
        std::free(i);
    }
    std::free(n->iPodPath);
    std::free(n);
}

// Under the lock: unlink every node matching, retire it, return how many.
template <typename Match> int unlinkNodes(Match match) {
    int removed = 0;
    DeviceNode** link = &g_DeviceList;
    while (*link) {
        DeviceNode* n = *link;
        if (!match(n)) {
            link = &n->next;
            continue;
        }
        *link = n->next;
        n->next = nullptr;
        fruitlink::AMDevice* d = deviceOf(n);
        g_retired.push_back({n, d ? d->shared_from_this() : nullptr});
        ++removed;
    }
    while (g_retired.size() > kRetiredKept) {
        freeNode(g_retired.front().node);
        g_retired.pop_front();
    }
    iConnected = iConnected > removed ? iConnected - removed : 0;
    return removed;
}

void appendNode(DeviceNode* node) {
    DeviceNode** link = &g_DeviceList;
    while (*link)
        link = &(*link)->next;
    *link = node;
    ++iConnected;
}

DeviceNode* nodeAt(int index) {
    if (index < 0)
        return nullptr;
    DeviceNode* n = g_DeviceList;
    for (int i = 0; n && i < index; ++i)
        n = n->next;
    return n;
}

} // namespace

namespace fruitlink {

std::shared_ptr<AMDevice> deviceAtIndex(int index) {
    std::lock_guard<std::mutex> lock(g_listMutex);
    AMDevice* d = deviceOf(nodeAt(index));
    return d ? d->shared_from_this() : nullptr;
}

} // namespace fruitlink

using fruitlink::AMDevice;

void Add_iPhoneDevice(iPhoneDeviceInfo* info) {
    if (!info || !info->device)
        return;
    auto* dev = static_cast<AMDevice*>(info->device);
    // One session for the values that need one.
    const char* keys[] = {"ProductType", "ProductVersion", "model", "SerialNumber"};
    std::optional<std::string> values[4];
    dev->readValues(keys, 4, values);
    info->udid = dupText(dev->udid());
    info->deviceName = dev->deviceName().empty() ? nullptr : dupText(dev->deviceName());
    info->productType = dupText(values[0]);
    info->productVersion = dupText(values[1]);
    info->deviceClass = dupText(values[2]);
    info->serialNumber = dupText(values[3]);
    auto* node = static_cast<DeviceNode*>(std::calloc(1, sizeof(DeviceNode)));
    if (!node)
        return;
    node->info = info;
    AddDeviceLock();
    appendNode(node);
    AddDeviceUnLock();
}

int Delete_iPhoneDevice(void* device) {
    AddDeviceLock();
    unlinkNodes([device](DeviceNode* n) { return n->info && n->info->device == device; });
    int count = iConnected;
    AddDeviceUnLock();
    return count;
}

void Add_iPodDevice(char* path) {
    if (!path)
        return;
    std::string control = std::string(path) + "/iPod_Control";
    struct stat st;
    if (::stat(control.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    auto* node = static_cast<DeviceNode*>(std::calloc(1, sizeof(DeviceNode)));
    char* buf = static_cast<char*>(std::calloc(512, 1));
    if (!node || !buf) {
        std::free(node);
        std::free(buf);
        return;
    }
    std::strncpy(buf, path, 511);
    node->iPodPath = buf;
    AddDeviceLock();
    appendNode(node);
    AddDeviceUnLock();
}

void Delete_iPodDevice(char* path) {
    if (!path)
        return;
    AddDeviceLock();
    unlinkNodes(
        [path](DeviceNode* n) { return n->iPodPath && std::strcmp(n->iPodPath, path) == 0; });
    AddDeviceUnLock();
}

DeviceNode* GetiPhoneDeviceList(void) {
    std::lock_guard<std::mutex> lock(g_listMutex);
    return g_DeviceList;
}

DeviceNode* GetiPhoneDeviceListIndex(int index) {
    std::lock_guard<std::mutex> lock(g_listMutex);
    return nodeAt(index);
}

int GetiConnected(void) {
    std::lock_guard<std::mutex> lock(g_listMutex);
    return iConnected;
}

int GetDeviceCount(void) {
    std::lock_guard<std::mutex> lock(g_listMutex);
    int n = 0;
    for (DeviceNode* d = g_DeviceList; d; d = d->next)
        ++n;
    return n;
}

void Clear_iPhoneDeviceList(void) {
    AddDeviceLock();
    unlinkNodes([](DeviceNode*) { return true; });
    iConnected = 0;
    AddDeviceUnLock();
}

namespace {
char* valueCopy(void* device, std::optional<std::string> (AMDevice::*get)()) {
    if (!device)
        return nullptr;
    return dupText((static_cast<AMDevice*>(device)->*get)());
}
} // namespace

char* GetiPhoneDeviceID(void* device) {
    return device ? dupText(static_cast<AMDevice*>(device)->udid()) : nullptr;
}
char* GetiPhoneDeviceName(void* device) {
    if (!device || static_cast<AMDevice*>(device)->deviceName().empty())
        return nullptr;
    return dupText(static_cast<AMDevice*>(device)->deviceName());
}
char* GetiPhoneDeviceType(void* device) { return valueCopy(device, &AMDevice::productType); }
char* GetiPhoneDeviceVersion(void* device) { return valueCopy(device, &AMDevice::productVersion); }
char* GetiPhoneDeviceState(void* device) { return valueCopy(device, &AMDevice::deviceClass); }
char* GetiPhoneDeviceSerialNumber(void* device) {
    return valueCopy(device, &AMDevice::serialNumber);
}
char* GetiPhoneDeviceFirmwareVersion(void* device) {
    return valueCopy(device, &AMDevice::firmwareVersion);
}
