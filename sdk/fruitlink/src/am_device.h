// One attached iPhone over libimobiledevice: connection (a lockdownd client),
// sessions, values and service start. A session's client is made with the
// full handshake, which pairs when no pair record exists and turns TLS on
// when the phone asks for it.
#pragma once

#include "error_category.h"

#include <atomic>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace fruitlink {

class AFCMediaDirectory;
class AFCCrashLogDirectory;
class AFCRootDirectory;
class AFCApplicationDirectory;
class AMFileRelay;
class AMInstallationProxy;
class AMNotificationProxy;
class AMSyslogRelay;
class AMMobileSync;

// Owns a service descriptor from lockdownd.
struct ServiceDescriptor {
    lockdownd_service_descriptor_t desc = nullptr;
    ~ServiceDescriptor() {
        if (desc)
            lockdownd_service_descriptor_free(desc);
    }
};

class AMDevice : public std::enable_shared_from_this<AMDevice> {
  public:
    // Connects once to read DeviceName and UniqueDeviceID (no session), then
    // disconnects. nullptr, with the reason logged, when that fails.
    static std::shared_ptr<AMDevice> deviceFrom(const std::string& udid);
    ~AMDevice();

    bool isDevice(const std::string& udid) const { return udid == udid_; }
    void forgetDevice();
    bool forgotten() const;

    bool deviceConnect();
    bool deviceDisconnect();
    bool startSession();
    bool stopSession();

    // The value of key in domain (nullptr = the default domain) as text.
    // Connects and opens a session as needed and closes what it opened.
    std::optional<std::string> deviceValueForKey(const char* key, const char* domain = nullptr);
    // Reads several values within one session: one connection for all.
    // False when no session could be had (lasterror says why); a value the
    // phone does not have is left empty without failing.
    bool readValues(const char* const* keys, int n, std::optional<std::string>* out,
                    const char* domain = nullptr);

    std::optional<std::string> productType() { return deviceValueForKey("ProductType"); }
    std::optional<std::string> productVersion() { return deviceValueForKey("ProductVersion"); }
    std::optional<std::string> deviceClass() { return deviceValueForKey("model"); }
    std::optional<std::string> serialNumber() { return deviceValueForKey("SerialNumber"); }
    std::optional<std::string> firmwareVersion() { return deviceValueForKey("FirmwareVersion"); }
    std::string description() const { return "AMDevice('" + deviceName() + "')"; }

    // Connect, session, start the service, stop the session, disconnect. The
    // service's connection outlives the session. A session held open (see
    // SessionHold) is used and left open.
    bool startService(const char* name, ServiceDescriptor* out);

    std::unique_ptr<AFCMediaDirectory> newAFCMediaDirectory();
    std::unique_ptr<AFCCrashLogDirectory> newAFCCrashLogDirectory();
    std::unique_ptr<AFCRootDirectory> newAFCRootDirectory();
    std::unique_ptr<AFCApplicationDirectory>
    newAFCApplicationDirectory(const std::string& bundleId);
    std::unique_ptr<AMFileRelay> newAMFileRelay();
    std::unique_ptr<AMInstallationProxy> newAMInstallationProxy();
    std::unique_ptr<AMNotificationProxy> newAMNotificationProxy();
    std::unique_ptr<AMSyslogRelay> newAMSyslogRelay();
    std::unique_ptr<AMMobileSync> newAMMobileSync();

    idevice_t handle() const { return device_; }
    const std::string& udid() const { return udid_; }
    std::string deviceName() const;
    void setDeviceName(const std::string& name);
    std::string lasterror() const;
    ErrorCategory lastCategory() const;
    void setLastError(const std::string& text, ErrorCategory category);
    // Why the phone's values could not be read the last time the device list
    // asked (a locked or untrusting phone), NONE once they could.
    ErrorCategory trust() const { return static_cast<ErrorCategory>(trust_.load()); }
    void setTrust(ErrorCategory c) { trust_ = static_cast<int>(c); }

  private:
    friend class SessionHold;
    AMDevice() = default;
    bool checkStatus(int status, const char* from);
    std::optional<std::string> copyValue(const char* key, const char* domain);

    mutable std::recursive_mutex mu_; // one device operation at a time
    idevice_t device_ = nullptr;
    lockdownd_client_t lockdown_ = nullptr;
    bool connected_ = false;
    bool insession_ = false;
    bool forgotten_ = false;
    std::string lasterror_;
    ErrorCategory category_ = IPHONE_ERROR_NONE;
    std::string deviceName_;
    std::string udid_;
    std::atomic<int> trust_{IPHONE_ERROR_NONE};
};

// Keeps one lockdownd session open while it lives, so that the value reads
// and service starts made meanwhile share it instead of each connecting
// twice and shaking hands again. When no session can be had it holds
// nothing, and each call opens its own as usual (and reports its own error).
class SessionHold {
  public:
    explicit SessionHold(std::shared_ptr<AMDevice> dev);
    ~SessionHold() { release(); }
    SessionHold(const SessionHold&) = delete;
    SessionHold& operator=(const SessionHold&) = delete;
    void release();
    bool held() const { return opened_; }

  private:
    std::shared_ptr<AMDevice> dev_;
    bool opened_ = false;
    bool wasConnected_ = false;
};

// The words for a lockdownd status, for logs and last-error texts.
const char* lockdownErrorText(int status);

// The category to report for a failure on dev: a connection that broke on a
// phone that has gone away is reported as the phone being gone.
ErrorCategory settle(const std::shared_ptr<AMDevice>& dev, ErrorCategory category);

} // namespace fruitlink
