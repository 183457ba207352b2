#include "mobile_device_access.h"

#include "device_list.h"
#include "trace.h"

#include <algorithm>
#include <cstdlib>
#include <fruitlink.h>
#include <usbmuxd.h>

namespace fruitlink {

namespace {
// Runs on libimobiledevice's thread, with its lock held, and the thread may
// be cancelled at any cancellation point: so no output, no waiting.
void notify_callback(const idevice_event_t* event, void* context) {
    static_cast<MobileDeviceAccess*>(context)->notify(event);
}

bool waitsForUser(ErrorCategory c) {
    return c == IPHONE_ERROR_TRUST_PENDING || c == IPHONE_ERROR_PASSCODE_LOCKED;
}
} // namespace

MobileDeviceAccess& MobileDeviceAccess::singleton() {
    static MobileDeviceAccess* instance = new MobileDeviceAccess(); // lives as long as the process
    return *instance;
}

bool MobileDeviceAccess::setListener(void* listener) {
    WriteLog1(1, "Call Function: %s\n", "MobileDeviceAccess::setListener");
    std::lock_guard<std::mutex> sub(subscribeMu_);
    {
        std::lock_guard<std::mutex> lock(mu_);
        listener_ = listener;
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { run(); });
            // libimobiledevice sets OpenSSL up when it is loaded, so this
            // runs before OpenSSL's own clean-up at exit.
            std::atexit([] { singleton().stopWorker(); });
        }
    }
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
        fail(categoryOfIdevice(e), "idevice_event_subscribe failed: %d", e);
        return false;
    }
    subscribed_ = true;
    return true;
}

bool MobileDeviceAccess::removeListener() {
    std::lock_guard<std::mutex> sub(subscribeMu_);
    if (!subscribed_)
        return true;
    idevice_error_t e = idevice_event_unsubscribe();
    subscribed_ = false;
    post({Event::DropAll, {}});
    if (e != IDEVICE_E_SUCCESS) {
        fail(categoryOfIdevice(e), "idevice_event_unsubscribe failed: %d", e);
        return false;
    }
    return true;
}

void MobileDeviceAccess::notify(const idevice_event_t* event) {
    if (!event || !event->udid || event->conn_type != CONNECTION_USBMUXD)
        return;
    switch (event->event) {
    case IDEVICE_DEVICE_ADD:
        post({Event::Add, event->udid});
        break;
    case IDEVICE_DEVICE_REMOVE:
        post({Event::Remove, event->udid});
        break;
    case IDEVICE_DEVICE_PAIRED:
        post({Event::Paired, event->udid});
        break;
    default:
        break;
    }
}

void MobileDeviceAccess::post(Event e) {
    std::lock_guard<std::mutex> lock(mu_);
    queue_.push_back(std::move(e));
    wake_.notify_one();
}

void MobileDeviceAccess::stopWorker() {
    std::unique_lock<std::mutex> lock(mu_);
    stopping_ = true;
    wake_.notify_all();
    // A phone that stopped answering is given up on after lockdownd's own
    // time-outs; exit waits no longer than this for it.
    bool done = workerEnded_.wait_for(lock, std::chrono::seconds(10),
                                      [this] { return workerDone_.load(); });
    lock.unlock();
    if (done)
        worker_.join();
    else
        worker_.detach();
}

void MobileDeviceAccess::run() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
        if (stopping_) {
            workerDone_ = true;
            workerEnded_.notify_all();
            return;
        }
        if (!queue_.empty()) {
            Event e = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            handle(e);
            lock.lock();
            continue;
        }
        auto until = Clock::time_point::max();
        for (const auto& w : waiting_)
            until = std::min(until, w.next);
        if (until == Clock::time_point::max()) {
            wake_.wait(lock);
        } else if (until > Clock::now()) {
            wake_.wait_until(lock, until);
        } else {
            lock.unlock();
            retryWaiting();
            lock.lock();
        }
    }
}

void MobileDeviceAccess::handle(const Event& e) {
    WriteLog1(1, "Call Function: %s\n", "notify_callback");
    WriteLog1(1, "test......Notify \n");
    switch (e.kind) {
    case Event::Add:
        attach(e.udid);
        break;
    case Event::Remove:
        if (auto dev = find(e.udid))
            detachDevice(dev);
        break;
    case Event::Paired: {
        // Paired now (here or by another program): read its values again at once.
        WriteLog1(1, "paired %s\n", e.udid.c_str());
        auto dev = find(e.udid);
        std::lock_guard<std::mutex> lock(mu_);
        auto now = std::chrono::steady_clock::now();
        auto w = std::find_if(waiting_.begin(), waiting_.end(),
                              [&](const Waiting& x) { return x.dev->isDevice(e.udid); });
        if (w != waiting_.end())
            w->next = now;
        else if (dev)
            waiting_.push_back({dev, now});
        return;
    }
    case Event::DropAll:
        for (auto& dev : devices())
            detachDevice(dev);
        break;
    }
    changed();
}

void MobileDeviceAccess::attach(const std::string& udid) {
    if (find(udid))
        return; // already listed
    auto dev = AMDevice::deviceFrom(udid);
    if (!dev)
        return;
    {
        std::lock_guard<std::mutex> lock(mu_);
        devices_.push_back(dev);
    }
    bool complete = addDeviceNode(dev);
    WriteLog1(1, "attached %s\n", dev->description().c_str());
    if (!complete && waitsForUser(dev->lastCategory())) {
        WriteLog1(2, "%s waits for its user (%s); asking again\n", udid.c_str(),
                  categoryName(dev->lastCategory()));
        std::lock_guard<std::mutex> lock(mu_);
        waiting_.push_back({dev, std::chrono::steady_clock::now() + retryInterval_});
    }
}

void MobileDeviceAccess::retryWaiting() {
    std::vector<std::shared_ptr<AMDevice>> due;
    {
        std::lock_guard<std::mutex> lock(mu_);
        auto t = std::chrono::steady_clock::now();
        for (auto& w : waiting_) {
            if (w.next <= t) {
                due.push_back(w.dev);
                w.next = t + retryInterval_;
            }
        }
    }
    for (auto& dev : due) {
        bool done = refreshDeviceNode(dev);
        bool keepWaiting = !done && !dev->forgotten() && waitsForUser(dev->lastCategory());
        if (done)
            WriteLog1(1, "%s trusts this computer; values read again\n", dev->udid().c_str());
        std::lock_guard<std::mutex> lock(mu_);
        if (!keepWaiting)
            waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                          [&](const Waiting& w) { return w.dev == dev; }),
                           waiting_.end());
        if (done) {
            ++changes_;
            changed_.notify_all();
        }
    }
}

std::shared_ptr<AMDevice> MobileDeviceAccess::find(const std::string& udid) {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& d : devices_)
        if (d->isDevice(udid))
            return d;
    return nullptr;
}

void MobileDeviceAccess::changed() {
    std::lock_guard<std::mutex> lock(mu_);
    ++changes_;
    changed_.notify_all();
}

void MobileDeviceAccess::detachDevice(const std::shared_ptr<AMDevice>& dev) {
    Delete_iPhoneDevice(dev.get());
    dev->forgetDevice();
    std::lock_guard<std::mutex> lock(mu_);
    devices_.erase(std::remove(devices_.begin(), devices_.end(), dev), devices_.end());
    waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                  [&](const Waiting& w) { return w.dev == dev; }),
                   waiting_.end());
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

void MobileDeviceAccess::setTrustRetryInterval(std::chrono::milliseconds interval) {
    std::lock_guard<std::mutex> lock(mu_);
    retryInterval_ = interval;
    for (auto& w : waiting_)
        w.next = std::min(w.next, std::chrono::steady_clock::now() + interval);
    wake_.notify_one();
}

int MobileDeviceAccess::awaitingTrust() {
    std::lock_guard<std::mutex> lock(mu_);
    return static_cast<int>(waiting_.size());
}

} // namespace fruitlink
