// The process-wide listener for device notifications. libimobiledevice calls
// back on its own thread; attach and detach change the device list there.
#pragma once

#include "am_device.h"

#include <condition_variable>
#include <libimobiledevice/libimobiledevice.h>
#include <memory>
#include <mutex>
#include <vector>

namespace fruitlink {

class MobileDeviceAccess {
  public:
    static MobileDeviceAccess& singleton();

    // Subscribes on the first call (again after a failed one). True when
    // subscribed.
    bool setListener(void* listener);
    void notify(const idevice_event_t* event);
    void detachDevice(const std::shared_ptr<AMDevice>& dev);
    std::vector<std::shared_ptr<AMDevice>> devices();
    // Waits up to timeoutMs for the next attach or detach; false if not
    // subscribed or nothing happened.
    bool waitForConnection(int timeoutMs);
    std::string clientVersion() const;

  private:
    MobileDeviceAccess() = default;

    std::mutex mu_;
    void* listener_ = nullptr;
    bool subscribed_ = false;
    std::vector<std::shared_ptr<AMDevice>> devices_;
    std::condition_variable changed_;
    uint64_t changes_ = 0;
};

} // namespace fruitlink
