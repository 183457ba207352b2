// The process-wide listener for device notifications.
//
// libimobiledevice calls back on its own thread while holding its own lock,
// and takes that lock when we subscribe or unsubscribe. So the callback only
// queues the event, and the library's own device-event thread does the work
// (connecting, reading values, changing the list). No lock of ours is ever
// held while calling into libimobiledevice, and the callback takes none that
// such a call could be waiting behind.
#pragma once

#include "am_device.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <libimobiledevice/libimobiledevice.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace fruitlink {

class MobileDeviceAccess {
  public:
    static MobileDeviceAccess& singleton();

    // Subscribes on the first call (again after a failed one or after
    // removeListener). True when subscribed.
    bool setListener(void* listener);
    // Ends the subscription. Every listed phone is taken off the list: while
    // unsubscribed the library cannot tell which phones are attached.
    bool removeListener();
    // libimobiledevice's callback: queues the event, nothing more.
    void notify(const idevice_event_t* event);
    void detachDevice(const std::shared_ptr<AMDevice>& dev);
    std::vector<std::shared_ptr<AMDevice>> devices();
    // Waits up to timeoutMs for the next attach, detach or change of a
    // phone's values; false if not subscribed or nothing happened.
    bool waitForConnection(int timeoutMs);
    std::string clientVersion() const;

    // A phone waiting for its user (trust dialog unanswered, or locked) is
    // asked again this often, and its values are read again once it answers.
    void setTrustRetryInterval(std::chrono::milliseconds interval);
    // Phones waiting for their user now.
    int awaitingTrust();

  private:
    struct Event {
        enum Kind { Add, Remove, Paired, DropAll } kind;
        std::string udid;
    };
    struct Waiting {
        std::shared_ptr<AMDevice> dev;
        std::chrono::steady_clock::time_point next;
    };

    MobileDeviceAccess() = default;
    // At exit, before OpenSSL and libimobiledevice tear themselves down: the
    // device-event thread finishes what it is doing and ends.
    void stopWorker();
    void post(Event e);
    void run();
    void handle(const Event& e);
    void attach(const std::string& udid);
    void retryWaiting();
    std::shared_ptr<AMDevice> find(const std::string& udid);
    void changed();

    std::mutex subscribeMu_; // serialises subscribe and unsubscribe; the callback never takes it
    std::atomic<bool> subscribed_{false};

    std::mutex mu_; // everything below; never held while calling libimobiledevice
    std::condition_variable changed_, wake_;
    uint64_t changes_ = 0;
    std::deque<Event> queue_;
    std::vector<std::shared_ptr<AMDevice>> devices_;
    std::vector<Waiting> waiting_;
    std::chrono::milliseconds retryInterval_{2000};
    std::thread worker_;
    // Written and read under mu_, and atomics as well: ThreadSanitizer does
    // not record the lock that stopWorker() takes inside the exit handler.
    std::atomic<bool> stopping_{false}, workerDone_{false};
    std::condition_variable workerEnded_;
    void* listener_ = nullptr;
};

} // namespace fruitlink
