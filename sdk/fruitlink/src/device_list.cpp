// Additions and removals come from the library's device-event thread while the
// program's threads read nodes by index, so the list only changes under its
// lock, and nodes are reference-counted: a node leaves the list at once on a
// detach but is freed only when nobody uses it any more. A caller that keeps
// a node says so with IphoneTSF_AcquireDeviceNode / IphoneTSF_ReleaseDeviceNode;
// a node read with the plain accessors is borrowed by the calling thread until
// that thread reads another node.
#include "device_list.h"

#include "am_device.h"
#include "trace.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fruitlink.h>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace {

using fruitlink::AMDevice;

// One node as the list and its users share it. `c` is what callers see.
struct ListNode {
    DeviceNode c{};
    std::shared_ptr<AMDevice> device; // keeps c.info->device valid while the node lives

    static inline std::atomic<int> live{0}; // nodes not yet freed

    ListNode() { ++live; }
    ~ListNode() {
        if (iPhoneDeviceInfo* i = c.info) {
            for (char* s : {i->udid, i->productType, i->productVersion, i->deviceName,
                            i->deviceClass, i->serialNumber})
                std::free(s);
            std::free(i);
        }
        std::free(c.iPodPath);
        --live;
    }
    ListNode(const ListNode&) = delete;
    ListNode& operator=(const ListNode&) = delete;
};
using NodePtr = std::shared_ptr<ListNode>;

class DeviceList {
  public:
    static DeviceList& instance() {
        // Never destroyed: the event thread may still change the list while
        // the process exits.
        static DeviceList* list = new DeviceList();
        return *list;
    }

    void append(NodePtr node) {
        AddDeviceLock();
        nodes_.push_back(std::move(node));
        relink();
        ++iConnected;
        AddDeviceUnLock();
    }

    // Unlinks every node matching; returns them so they are let go of after
    // the lock is released (a node's last release may close a connection).
    template <typename Match> std::vector<NodePtr> remove(Match match, int* countAfter) {
        std::vector<NodePtr> gone;
        AddDeviceLock();
        for (auto it = nodes_.begin(); it != nodes_.end();) {
            if (match((*it)->c)) {
                (*it)->c.next = nullptr;
                gone.push_back(std::move(*it));
                it = nodes_.erase(it);
            } else {
                ++it;
            }
        }
        relink();
        int removed = static_cast<int>(gone.size());
        iConnected = iConnected > removed ? iConnected - removed : 0;
        if (countAfter)
            *countAfter = iConnected;
        AddDeviceUnLock();
        return gone;
    }

    // Puts fresh in the place of the node of `device`; the old node is
    // returned to be let go of outside the lock. Null when not listed.
    NodePtr replace(const AMDevice* device, NodePtr fresh) {
        NodePtr old;
        AddDeviceLock();
        for (auto& n : nodes_) {
            if (n->c.info && n->c.info->device == device) {
                old = std::move(n);
                n = std::move(fresh);
                relink();
                old->c.next = nullptr;
                break;
            }
        }
        AddDeviceUnLock();
        return old;
    }

    NodePtr at(int index) {
        std::lock_guard<std::mutex> lock(mu_);
        if (index < 0 || index >= static_cast<int>(nodes_.size()))
            return nullptr;
        return nodes_[static_cast<size_t>(index)];
    }

    int counter() {
        std::lock_guard<std::mutex> lock(mu_);
        return iConnected;
    }

    int size() {
        std::lock_guard<std::mutex> lock(mu_);
        return static_cast<int>(nodes_.size());
    }

    std::vector<NodePtr> clear() {
        std::vector<NodePtr> gone = remove([](const DeviceNode&) { return true; }, nullptr);
        std::lock_guard<std::mutex> lock(mu_);
        iConnected = 0;
        return gone;
    }

    DeviceNode* acquire(int index) {
        NodePtr n = at(index);
        if (!n)
            return nullptr;
        std::lock_guard<std::mutex> lock(mu_);
        auto& entry = held_[&n->c];
        entry.first = n;
        entry.second++;
        return &n->c;
    }

    bool release(const DeviceNode* node) {
        NodePtr last; // let go of outside the lock
        std::lock_guard<std::mutex> lock(mu_);
        auto it = held_.find(node);
        if (it == held_.end())
            return false;
        if (--it->second.second == 0) {
            last = std::move(it->second.first);
            held_.erase(it);
        }
        return true;
    }

  private:
    DeviceList() = default;

    void AddDeviceLock() {
        mu_.lock();
        mutx = 1;
    }
    void AddDeviceUnLock() {
        mutx = 0;
        mu_.unlock();
    }
    // Under the lock: the C records' next pointers follow the list's order.
    void relink() {
        for (size_t i = 0; i < nodes_.size(); ++i)
            nodes_[i]->c.next = i + 1 < nodes_.size() ? &nodes_[i + 1]->c : nullptr;
    }

    std::mutex mu_;
    int32_t mutx = 0; // 1 while the list lock is held
    int32_t iConnected = 0;
    std::vector<NodePtr> nodes_; // the list; g_DeviceList is its first record
    // Nodes callers acquired, with how many times.
    std::unordered_map<const DeviceNode*, std::pair<NodePtr, int>> held_;
};

// The node this thread read last through a plain accessor.
thread_local NodePtr t_borrowed;

DeviceNode* borrow(NodePtr n) {
    NodePtr previous = std::move(t_borrowed);
    t_borrowed = std::move(n);
    return t_borrowed ? &t_borrowed->c : nullptr;
}

char* dupText(const std::optional<std::string>& v) {
    if (!v)
        return nullptr;
    char* s = static_cast<char*>(std::calloc(v->size() + 1, 1));
    if (s)
        std::memcpy(s, v->data(), v->size());
    return s;
}

// Fills the record's strings from the device: one session for the values
// that need one. False when that session could not be had.
bool fillInfo(iPhoneDeviceInfo* info, AMDevice* dev) {
    const char* keys[] = {"ProductType", "ProductVersion", "model", "SerialNumber", "DeviceName"};
    std::optional<std::string> values[5];
    bool ok = dev->readValues(keys, 5, values);
    dev->setTrust(ok ? IPHONE_ERROR_NONE : dev->lastCategory());
    // DeviceName is read again in the session: before the user trusts the
    // computer a phone may give a generic name.
    if (values[4] && !values[4]->empty())
        dev->setDeviceName(*values[4]);
    const std::string name = dev->deviceName();
    info->udid = dupText(dev->udid());
    info->deviceName = name.empty() ? nullptr : dupText(name);
    info->productType = dupText(values[0]);
    info->productVersion = dupText(values[1]);
    info->deviceClass = dupText(values[2]);
    info->serialNumber = dupText(values[3]);
    return ok;
}

NodePtr nodeFor(iPhoneDeviceInfo* info, std::shared_ptr<AMDevice> dev) {
    auto node = std::make_shared<ListNode>();
    node->c.info = info;
    node->device = std::move(dev);
    return node;
}

// Fills the record and appends its node; false when the values could not be
// read (the device is listed all the same).
bool listDevice(iPhoneDeviceInfo* info, const std::shared_ptr<AMDevice>& dev) {
    NodePtr node = nodeFor(info, dev);
    bool complete = fillInfo(info, dev.get());
    if (!complete)
        fruitlink::WriteLog1(2, "%s listed without its values: %s\n", dev->udid().c_str(),
                             dev->lasterror().c_str());
    DeviceList::instance().append(std::move(node));
    return complete;
}

} // namespace

namespace fruitlink {

std::shared_ptr<AMDevice> deviceAtIndex(int index) {
    NodePtr n = DeviceList::instance().at(index);
    return n ? n->device : nullptr;
}

bool refreshDeviceNode(const std::shared_ptr<AMDevice>& dev) {
    auto* info = static_cast<iPhoneDeviceInfo*>(std::calloc(1, sizeof(iPhoneDeviceInfo)));
    if (!info)
        return false;
    info->device = dev.get();
    NodePtr fresh = nodeFor(info, dev);
    if (!fillInfo(info, dev.get()))
        return false;
    NodePtr old = DeviceList::instance().replace(dev.get(), std::move(fresh));
    return old != nullptr;
}

int liveDeviceNodes() { return ListNode::live.load(); }

bool addDeviceNode(const std::shared_ptr<AMDevice>& dev) {
    auto* info = static_cast<iPhoneDeviceInfo*>(std::calloc(1, sizeof(iPhoneDeviceInfo)));
    if (!info)
        return false;
    info->device = dev.get();
    return listDevice(info, dev);
}

} // namespace fruitlink

void Add_iPhoneDevice(iPhoneDeviceInfo* info) {
    if (!info || !info->device)
        return;
    auto* dev = static_cast<AMDevice*>(info->device);
    std::shared_ptr<AMDevice> owner = dev->weak_from_this().lock();
    if (!owner)
        return; // not a device object of this library
    listDevice(info, owner);
}

int Delete_iPhoneDevice(void* device) {
    int count = 0;
    DeviceList::instance().remove(
        [device](const DeviceNode& n) { return n.info && n.info->device == device; }, &count);
    return count;
}

void Add_iPodDevice(char* path) {
    if (!path)
        return;
    std::string control = std::string(path) + "/iPod_Control";
    struct stat st;
    if (::stat(control.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    char* buf = static_cast<char*>(std::calloc(512, 1));
    if (!buf)
        return;
    std::strncpy(buf, path, 511);
    auto node = std::make_shared<ListNode>();
    node->c.iPodPath = buf;
    DeviceList::instance().append(std::move(node));
}

void Delete_iPodDevice(char* path) {
    if (!path)
        return;
    DeviceList::instance().remove(
        [path](const DeviceNode& n) { return n.iPodPath && std::strcmp(n.iPodPath, path) == 0; },
        nullptr);
}

DeviceNode* GetiPhoneDeviceList(void) { return borrow(DeviceList::instance().at(0)); }

DeviceNode* GetiPhoneDeviceListIndex(int index) { return borrow(DeviceList::instance().at(index)); }

int GetiConnected(void) { return DeviceList::instance().counter(); }

int GetDeviceCount(void) { return DeviceList::instance().size(); }

void Clear_iPhoneDeviceList(void) { DeviceList::instance().clear(); }

DeviceNode* IphoneTSF_AcquireDeviceNode(int index) { return DeviceList::instance().acquire(index); }

int IphoneTSF_ReleaseDeviceNode(DeviceNode* node) {
    if (!node)
        return 0;
    if (DeviceList::instance().release(node))
        return 0;
    fruitlink::fail(IPHONE_ERROR_NOT_FOUND, "IphoneTSF_ReleaseDeviceNode: node %p not acquired",
                    static_cast<void*>(node));
    return -1;
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
