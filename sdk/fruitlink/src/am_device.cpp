#include "am_device.h"

#include "plist_guard.h"
#include "plist_text.h"
#include "trace.h"

#include <cstdlib>
#include <plist/plist.h>

namespace fruitlink {

namespace {
const char* const kLabel = "kestrova";

std::optional<std::string> valueText(plist_t v) {
    if (!v)
        return std::nullopt;
    switch (plist_get_node_type(v)) {
    case PLIST_STRING:
        return fruitlink::plistText(v);
    case PLIST_UINT: {
        uint64_t n = 0;
        plist_get_uint_val(v, &n);
        return std::to_string(n);
    }
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(v, &b);
        return std::string(b ? "true" : "false");
    }
    case PLIST_DATA: {
        char* d = nullptr;
        uint64_t len = 0;
        plist_get_data_val(v, &d, &len);
        std::string out(d ? d : "", d ? len : 0);
        free(d);
        return out;
    }
    default:
        return std::nullopt;
    }
}
} // namespace

const char* lockdownErrorText(int status) {
    switch (status) {
    case LOCKDOWN_E_SUCCESS:
        return "success";
    case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
        return "pairing pending: the user has not answered the trust dialog on the phone";
    case LOCKDOWN_E_USER_DENIED_PAIRING:
        return "pairing denied by the user on the phone";
    case LOCKDOWN_E_PASSWORD_PROTECTED:
        return "the phone is locked with a passcode: it must be unlocked";
    case LOCKDOWN_E_MISSING_VALUE:
        return "the phone has no such value";
    case LOCKDOWN_E_MUX_ERROR:
        return "the connection to the phone failed (unplugged?)";
    case LOCKDOWN_E_SSL_ERROR:
        return "TLS with the phone failed";
    case LOCKDOWN_E_INVALID_HOST_ID:
        return "the phone does not know this computer's pair record";
    default:
        return "lockdownd error";
    }
}

ErrorCategory settle(const std::shared_ptr<AMDevice>& dev, ErrorCategory category) {
    if (category == IPHONE_ERROR_CONNECTION && dev &&
        (dev->forgotten() || !stillAttached(dev->udid())))
        return IPHONE_ERROR_NO_DEVICE;
    return category;
}

std::shared_ptr<AMDevice> AMDevice::deviceFrom(const std::string& udid) {
    std::shared_ptr<AMDevice> dev(new AMDevice());
    dev->udid_ = udid;
    if (idevice_new(&dev->device_, udid.c_str()) != IDEVICE_E_SUCCESS) {
        dev->device_ = nullptr;
        WriteLog1(3, "Failed to create AMDevice: no device %s\n", udid.c_str());
        return nullptr;
    }
    if (!dev->deviceConnect()) {
        WriteLog1(3, "Failed to create AMDevice: %s\n", dev->lasterror().c_str());
        return nullptr;
    }
    dev->deviceName_ = dev->copyValue("DeviceName", nullptr).value_or("");
    if (auto id = dev->copyValue("UniqueDeviceID", nullptr))
        dev->udid_ = *id;
    dev->deviceDisconnect();
    return dev;
}

AMDevice::~AMDevice() {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    if (insession_)
        stopSession();
    if (connected_)
        deviceDisconnect();
    if (device_)
        idevice_free(device_);
}

void AMDevice::forgetDevice() {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    forgotten_ = true;
}

bool AMDevice::forgotten() const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    return forgotten_;
}

std::string AMDevice::lasterror() const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    return lasterror_;
}

std::string AMDevice::deviceName() const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    return deviceName_;
}

void AMDevice::setDeviceName(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    deviceName_ = name;
}

ErrorCategory AMDevice::lastCategory() const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    return category_;
}

void AMDevice::setLastError(const std::string& text, ErrorCategory category) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    lasterror_ = text;
    category_ = category;
}

bool AMDevice::checkStatus(int status, const char* from) {
    if (status == 0) {
        lasterror_.clear();
        category_ = IPHONE_ERROR_NONE;
        return true;
    }
    lasterror_ = std::string(from) + " failed: " + std::to_string(status) + " (" +
                 lockdownErrorText(status) + ")";
    category_ = categoryOfLockdown(status);
    return false;
}

bool AMDevice::deviceConnect() {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    if (connected_)
        return true;
    if (forgotten_ || !device_) {
        lasterror_ = "the device has been detached";
        category_ = IPHONE_ERROR_NO_DEVICE;
        return false;
    }
    if (!checkStatus(lockdownd_client_new(device_, &lockdown_, kLabel), "lockdownd_client_new")) {
        lockdown_ = nullptr;
        return false;
    }
    connected_ = true;
    return true;
}

bool AMDevice::deviceDisconnect() {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    if (lockdown_)
        lockdownd_client_free(lockdown_); // also ends a running session
    lockdown_ = nullptr;
    connected_ = false;
    insession_ = false;
    return true;
}

bool AMDevice::startSession() {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    if (insession_)
        return true;
    if (!connected_ && (forgotten_ || !device_)) {
        lasterror_ = "startSession: the device has been detached";
        category_ = IPHONE_ERROR_NO_DEVICE;
        return false;
    }
    // The handshake client reads the pair record (pairing if needed) and
    // starts the session, with TLS when the phone enables it.
    if (lockdown_)
        lockdownd_client_free(lockdown_);
    lockdown_ = nullptr;
    int st = lockdownd_client_new_with_handshake(device_, &lockdown_, kLabel);
    if (!checkStatus(st, "lockdownd_client_new_with_handshake")) {
        lockdown_ = nullptr;
        connected_ = false;
        return false;
    }
    connected_ = true;
    insession_ = true;
    return true;
}

bool AMDevice::stopSession() {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    if (!insession_)
        return true;
    // Freeing the handshake client stops its session; a plain client takes
    // its place so the device stays connected.
    lockdownd_client_free(lockdown_);
    lockdown_ = nullptr;
    insession_ = false;
    connected_ = false;
    return deviceConnect();
}

std::optional<std::string> AMDevice::copyValue(const char* key, const char* domain) {
    plist_t v = nullptr;
    int st = lockdownd_get_value(lockdown_, domain, key, &v);
    std::optional<std::string> out;
    if (checkStatus(st, "lockdownd_get_value"))
        out = valueText(v);
    kestrova::freePlistFlat(v);
    return out;
}

std::optional<std::string> AMDevice::deviceValueForKey(const char* key, const char* domain) {
    std::optional<std::string> out;
    readValues(&key, 1, &out, domain);
    return out;
}

bool AMDevice::readValues(const char* const* keys, int n, std::optional<std::string>* out,
                          const char* domain) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    bool connectedHere = !connected_;
    if (connectedHere && !deviceConnect())
        return false;
    bool sessionHere = !insession_;
    bool ok = !sessionHere || startSession();
    std::string keep = lasterror_;
    ErrorCategory keepCategory = category_;
    if (ok) {
        for (int i = 0; i < n; ++i)
            out[i] = copyValue(keys[i], domain);
    }
    // Disconnecting also ends the session; a session on a connection the
    // caller made is ended on its own.
    if (connectedHere)
        deviceDisconnect();
    else if (sessionHere)
        stopSession();
    if (!ok) {
        lasterror_ = keep;
        category_ = keepCategory;
    }
    return ok;
}

bool AMDevice::startService(const char* name, ServiceDescriptor* out) {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    bool connectedHere = !connected_;
    if (connectedHere && !deviceConnect())
        return false;
    const bool sessionHere = !insession_;
    bool ok = false;
    if (startSession()) {
        int st = lockdownd_start_service(lockdown_, name, &out->desc);
        ok = checkStatus(st, "lockdownd_start_service");
        if (!ok) {
            out->desc = nullptr;
            lasterror_ += std::string(" [") + name + "]";
        }
    }
    std::string keep = lasterror_;
    ErrorCategory keepCategory = category_;
    if (connectedHere)
        deviceDisconnect();
    else if (sessionHere)
        stopSession();
    lasterror_ = keep;
    category_ = keepCategory;
    return ok;
}

SessionHold::SessionHold(std::shared_ptr<AMDevice> dev) : dev_(std::move(dev)) {
    if (!dev_)
        return;
    std::lock_guard<std::recursive_mutex> lock(dev_->mu_);
    if (dev_->insession_)
        return; // someone else's: used, not ours to end
    wasConnected_ = dev_->connected_;
    const std::string keep = dev_->lasterror_;
    const ErrorCategory keepCategory = dev_->category_;
    // The handshake client connects by itself: no plain connection first.
    opened_ = dev_->startSession();
    if (!opened_) {
        dev_->lasterror_ = keep;
        dev_->category_ = keepCategory;
    }
}

void SessionHold::release() {
    if (!opened_)
        return;
    opened_ = false;
    std::lock_guard<std::recursive_mutex> lock(dev_->mu_);
    if (wasConnected_)
        dev_->stopSession();
    else
        dev_->deviceDisconnect();
}

} // namespace fruitlink
