// The service clients the transfer does not use, by their operations:
// installation proxy, notification proxy, syslog relay, mobile sync, and the
// app record.
#pragma once

#include "am_service.h"

#include <functional>
#include <libimobiledevice/installation_proxy.h>
#include <libimobiledevice/mobilesync.h>
#include <libimobiledevice/notification_proxy.h>
#include <libimobiledevice/syslog_relay.h>
#include <map>
#include <mutex>
#include <vector>

namespace fruitlink {

// One app, from the installation proxy's dictionary.
class AMApplication {
  public:
    explicit AMApplication(plist_t info); // copies info
    ~AMApplication();
    AMApplication(const AMApplication& o);
    AMApplication& operator=(const AMApplication&) = delete;

    const std::string& bundleid() const { return bundleid_; }
    const std::string& appname() const { return appname_; }
    std::string valueForKey(const char* key) const;
    std::string appdir() const { return valueForKey("Path"); }
    std::string description() const;
    plist_t info() const { return info_; }
    bool operator==(const AMApplication& o) const { return bundleid_ == o.bundleid_; }
    bool operator<(const AMApplication& o) const { return bundleid_ < o.bundleid_; }

  private:
    plist_t info_;
    std::string bundleid_, appname_;
};

class AMInstallationProxy : public AMService {
  public:
    static std::unique_ptr<AMInstallationProxy> create(const std::shared_ptr<AMDevice>& dev);
    ~AMInstallationProxy() override;
    std::vector<AMApplication> browse(const std::string& applicationType = "Any");
    std::vector<AMApplication>
    browseFiltered(const std::function<bool(const AMApplication&)>& keep);
    bool archive(const std::string& bundleId, bool container, bool payload, bool uninstall);
    bool restore(const std::string& bundleId);
    std::vector<std::string> archivedAppBundleIds();
    bool removeArchive(const std::string& bundleId);
    bool install(const std::string& packagePath);
    bool upgrade(const std::string& packagePath);

  private:
    AMInstallationProxy() = default;
    bool finish(instproxy_error_t e, const char* what);
    instproxy_client_t proxy_ = nullptr;
};

class AMNotificationProxy : public AMService {
  public:
    static std::unique_ptr<AMNotificationProxy> create(const std::shared_ptr<AMDevice>& dev);
    ~AMNotificationProxy() override;
    bool postNotification(const std::string& name);
    // The callback runs on the proxy's own thread.
    bool addObserver(const std::string& name, std::function<void(const std::string&)> observer);
    void removeObserver(const std::string& name);

  private:
    AMNotificationProxy() = default;
    static void callback(const char* name, void* self);
    np_client_t np_ = nullptr;
    bool listening_ = false;
    // Observers are added on the caller's thread and called on the proxy's.
    std::mutex messagesLock_;
    std::map<std::string, std::vector<std::function<void(const std::string&)>>> messages_;
};

class AMSyslogRelay : public AMService {
  public:
    // Each NUL- or newline-terminated line goes to onLine, on the relay's thread.
    static std::unique_ptr<AMSyslogRelay> create(const std::shared_ptr<AMDevice>& dev,
                                                 std::function<void(const std::string&)> onLine);
    ~AMSyslogRelay() override;

  private:
    AMSyslogRelay() = default;
    static void receive(char c, void* self);
    syslog_relay_client_t relay_ = nullptr;
    std::function<void(const std::string&)> onLine_;
    std::string line_;
};

// The version exchange happens when the client is made; release says goodbye.
class AMMobileSync : public AMService {
  public:
    static std::unique_ptr<AMMobileSync> create(const std::shared_ptr<AMDevice>& dev);
    ~AMMobileSync() override;

  private:
    AMMobileSync() = default;
    mobilesync_client_t sync_ = nullptr;
};

} // namespace fruitlink
