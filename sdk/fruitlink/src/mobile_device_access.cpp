#include "mobile_device_access.h"

#include "trace.h"

#include <algorithm>
#include <cstdlib>
#include <fruitlink.h>
#include <usbmuxd.h>

namespace fruitlink {

namespace {
void notify_callback(const idevice_event_t* event, void* context) {
    WriteLog1(1, "Call Function: %s\n", "notify_callback");
    static_cast<MobileDeviceAccess*>(context)->notify(event);
}
} // namespace

MobileDeviceAccess& MobileDeviceAccess::singleton() {
    static MobileDeviceAccess* instance = new MobileDeviceAccess(); // lives as long as the process
    return *instance;
}

bool MobileDeviceAccess::setListener(void* listener) {
    WriteLog1(1, "Call Function: %s\n", "MobileDeviceAccess::setListener");
    std::lock_guard<std::mutex> lock(mu_);
    listener_ = listener;
    if (subscribed_)
        return true;
    // With an address given (a usbmuxd on TCP or on a socket of its own),
    // libusbmuxd would otherwise, once a connection drops and a reconnect
    // fails, only wait for a new socket file in /var/run and never try that
    // address again: a restarted usbmuxd would go unseen. Polling keeps
    // retrying the address, once a second.
    const char* address = std::getenv("USBMUXD_SOCKET_ADDRESS");
    if (address && *address)
        libusbmuxd_set_use_inotify(0);
    idevice_error_t e = idevice_event_subscribe(notify_callback, this);
    if (e != IDEVICE_E_SUCCESS) {
        fail("idevice_event_subscribe failed: %d", e);
        return false;
    }
    subscribed_ = true;
    return true;
}

void MobileDeviceAccess::notify(const idevice_event_t* event) {
    if (!event || !event->udid)
        return;
    std::string udid = event->udid;
    if (event->conn_type != CONNECTION_USBMUXD) {
        WriteLog1(1, "Ignoring network device %s\n", udid.c_str());
        return;
    }
    switch (event->event) {
    case IDEVICE_DEVICE_ADD: {
        {
            std::lock_guard<std::mutex> lock(mu_);
            for (auto& d : devices_)
                if (d->isDevice(udid))
                    return; // already listed
        }
        auto dev = AMDevice::deviceFrom(udid);
        if (!dev)
            break;
        auto* info = static_cast<iPhoneDeviceInfo*>(std::calloc(1, sizeof(iPhoneDeviceInfo)));
        if (!info)
            break;
        info->device = dev.get();
        {
            std::lock_guard<std::mutex> lock(mu_);
            devices_.push_back(dev);
        }
        Add_iPhoneDevice(info);
        WriteLog1(1, "attached %s\n", dev->description().c_str());
        break;
    }
    case IDEVICE_DEVICE_REMOVE: {
        std::shared_ptr<AMDevice> dev;
        {
            std::lock_guard<std::mutex> lock(mu_);
            for (auto& d : devices_)
                if (d->isDevice(udid))
                    dev = d;
        }
        if (dev)
            detachDevice(dev);
        break;
    }
    case IDEVICE_DEVICE_PAIRED:
        WriteLog1(1, "paired %s\n", udid.c_str());
        return;
    default:
        WriteLog1(2, "Ignoring unknown message: %d\n", static_cast<int>(event->event));
        return;
    }
    std::lock_guard<std::mutex> lock(mu_);
    ++changes_;
    changed_.notify_all();
}

void MobileDeviceAccess::detachDevice(const std::shared_ptr<AMDevice>& dev) {
    Delete_iPhoneDevice(dev.get());
    dev->forgetDevice();
    std::lock_guard<std::mutex> lock(mu_);
    devices_.erase(std::remove(devices_.begin(), devices_.end(), dev), devices_.end());
    WriteLog1(1, "detached %s\n", dev->description().c_str());
}

std::vector<std::shared_ptr<AMDevice>> MobileDeviceAccess::devices() {
    std::lock_guard<std::mutex> lock(mu_);
    return devices_;
}

bool MobileDeviceAccess::waitForConnection(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mu_);
    if (!subscribed_)
        return false;
    uint64_t before = changes_;
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return changes_ != before; });
}

std::string MobileDeviceAccess::clientVersion() const { return "libimobiledevice 1.3"; }

} // namespace fruitlink
