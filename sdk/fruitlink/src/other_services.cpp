#include "other_services.h"

#include "afc_access.h"
#include "file_relay.h"
#include "plist_guard.h"
#include "plist_text.h"
#include "trace.h"

#include <cstdlib>

namespace fruitlink {

namespace {
std::string dictString(plist_t dict, const char* key) {
    plist_t n = dict ? plist_dict_get_item(dict, key) : nullptr;
    return plistText(n);
}

void statusCallback(plist_t command, plist_t status, void*) {
    char* name = nullptr;
    uint64_t percent = 0;
    instproxy_command_get_name(command, &name);
    instproxy_status_get_percent_complete(status, reinterpret_cast<int*>(&percent));
    WriteLog1(1, "installation proxy %s: %d%%\n", name ? name : "?", static_cast<int>(percent));
    free(name);
}
} // namespace

// ---------------------------------------------------------------- AMApplication

AMApplication::AMApplication(plist_t info) : info_(plist_copy(info)) {
    bundleid_ = dictString(info_, "CFBundleIdentifier");
    for (const char* key : {"CFBundleDisplayName", "CFBundleName", "CFBundleExecutable"}) {
        appname_ = dictString(info_, key);
        if (!appname_.empty())
            break;
    }
}
AMApplication::AMApplication(const AMApplication& o)
    : info_(plist_copy(o.info_)), bundleid_(o.bundleid_), appname_(o.appname_) {}
AMApplication::~AMApplication() { plist_free(info_); }
std::string AMApplication::valueForKey(const char* key) const { return dictString(info_, key); }
std::string AMApplication::description() const {
    return "<AMApplication name=" + appname_ + " id=" + bundleid_ + ">";
}

// ---------------------------------------------------------------- installation proxy

std::unique_ptr<AMInstallationProxy>
AMInstallationProxy::create(const std::shared_ptr<AMDevice>& dev) {
    std::unique_ptr<AMInstallationProxy> p(new AMInstallationProxy());
    if (!p->initWithName("com.apple.mobile.installation_proxy", dev) ||
        instproxy_client_new(dev->handle(), p->service_.desc, &p->proxy_) != INSTPROXY_E_SUCCESS)
        return nullptr;
    return p;
}

AMInstallationProxy::~AMInstallationProxy() {
    if (proxy_)
        instproxy_client_free(proxy_);
}

bool AMInstallationProxy::finish(instproxy_error_t e, const char* what) {
    if (e == INSTPROXY_E_SUCCESS)
        return true;
    setLastError(std::string(what) + " failed: " + std::to_string(e), IPHONE_ERROR_PROTOCOL);
    return false;
}

std::vector<AMApplication> AMInstallationProxy::browse(const std::string& applicationType) {
    std::vector<AMApplication> apps;
    plist_t opts = instproxy_client_options_new();
    instproxy_client_options_add(opts, "ApplicationType", applicationType.c_str(), nullptr);
    plist_t result = nullptr;
    if (finish(instproxy_browse(proxy_, opts, &result), "Browse") && result) {
        // Each entry is copied, and plist_copy recurses once per level.
        for (uint32_t i = 0; i < plist_array_get_size(result); ++i) {
            plist_t app = plist_array_get_item(result, i);
            if (kestrova::plistWithinDepth(app, kestrova::PlistLimits().maxDepth))
                apps.emplace_back(app);
        }
    }
    kestrova::freePlistFlat(result);
    instproxy_client_options_free(opts);
    return apps;
}

std::vector<AMApplication>
AMInstallationProxy::browseFiltered(const std::function<bool(const AMApplication&)>& keep) {
    std::vector<AMApplication> out;
    for (auto& app : browse())
        if (keep(app))
            out.push_back(app);
    return out;
}

bool AMInstallationProxy::archive(const std::string& bundleId, bool container, bool payload,
                                  bool uninstall) {
    const char* type = container && payload ? "All"
                       : container          ? "DocumentsOnly"
                                            : "ApplicationOnly";
    plist_t opts = instproxy_client_options_new();
    instproxy_client_options_add(opts, "ArchiveType", type, "SkipUninstall", uninstall ? 0 : 1,
                                 nullptr);
    bool ok = finish(instproxy_archive(proxy_, bundleId.c_str(), opts, statusCallback, nullptr),
                     "Archive");
    instproxy_client_options_free(opts);
    return ok;
}

bool AMInstallationProxy::restore(const std::string& bundleId) {
    return finish(instproxy_restore(proxy_, bundleId.c_str(), nullptr, statusCallback, nullptr),
                  "Restore");
}

std::vector<std::string> AMInstallationProxy::archivedAppBundleIds() {
    std::vector<std::string> ids;
    plist_t result = nullptr;
    if (finish(instproxy_lookup_archives(proxy_, nullptr, &result), "LookupArchives") && result &&
        plist_get_node_type(result) == PLIST_DICT) {
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(result, &it);
        char* key = nullptr;
        plist_t val = nullptr;
        for (plist_dict_next_item(result, it, &key, &val); key;
             plist_dict_next_item(result, it, &key, &val)) {
            ids.push_back(key);
            free(key);
            key = nullptr;
        }
        free(it);
    }
    kestrova::freePlistFlat(result);
    return ids;
}

bool AMInstallationProxy::removeArchive(const std::string& bundleId) {
    return finish(
        instproxy_remove_archive(proxy_, bundleId.c_str(), nullptr, statusCallback, nullptr),
        "RemoveArchive");
}

bool AMInstallationProxy::install(const std::string& packagePath) {
    plist_t opts = instproxy_client_options_new();
    instproxy_client_options_add(opts, "PackageType", "Developer", nullptr);
    bool ok = finish(instproxy_install(proxy_, packagePath.c_str(), opts, statusCallback, nullptr),
                     "Install");
    instproxy_client_options_free(opts);
    return ok;
}

bool AMInstallationProxy::upgrade(const std::string& packagePath) {
    return finish(instproxy_upgrade(proxy_, packagePath.c_str(), nullptr, statusCallback, nullptr),
                  "Upgrade");
}

// ---------------------------------------------------------------- notification proxy

std::unique_ptr<AMNotificationProxy>
AMNotificationProxy::create(const std::shared_ptr<AMDevice>& dev) {
    std::unique_ptr<AMNotificationProxy> p(new AMNotificationProxy());
    if (!p->initWithName("com.apple.mobile.notification_proxy", dev))
        return nullptr;
    np_error_t e = np_client_new(dev->handle(), p->service_.desc, &p->np_);
    if (e != NP_E_SUCCESS) {
        WriteLog1(3, "np_client_new returned %d\n", e);
        return nullptr;
    }
    // The listening thread starts with the first observer: it waits up to
    // 1.5 s between its reads, which a proxy that only posts would spend in
    // its destructor joining it, and it reads from the same connection a
    // post waits on for the phone's answer.
    return p;
}

AMNotificationProxy::~AMNotificationProxy() {
    if (np_)
        np_client_free(np_);
}

bool AMNotificationProxy::postNotification(const std::string& name) {
    return np_post_notification(np_, name.c_str()) == NP_E_SUCCESS;
}

bool AMNotificationProxy::addObserver(const std::string& name,
                                      std::function<void(const std::string&)> observer) {
    if (!observer) {
        WriteLog1(3, "addObserver for %s: no observer\n", name.c_str());
        return false;
    }
    if (!listening_) {
        np_error_t e = np_set_notify_callback(np_, &AMNotificationProxy::callback, this);
        if (e != NP_E_SUCCESS) {
            WriteLog1(3, "np_set_notify_callback returned %d\n", e);
            return false;
        }
        listening_ = true;
    }
    bool first;
    {
        std::lock_guard lock(messagesLock_);
        first = messages_[name].empty();
        messages_[name].push_back(std::move(observer));
    }
    if (first) {
        np_error_t e = np_observe_notification(np_, name.c_str());
        if (e != NP_E_SUCCESS) {
            WriteLog1(3, "np_observe_notification returned %d\n", e);
            return false;
        }
    }
    return true;
}

void AMNotificationProxy::removeObserver(const std::string& name) {
    std::lock_guard lock(messagesLock_);
    messages_.erase(name);
}

void AMNotificationProxy::callback(const char* name, void* self) {
    auto* p = static_cast<AMNotificationProxy*>(self);
    const std::string key = name ? name : "";
    std::vector<std::function<void(const std::string&)>> observers;
    {
        std::lock_guard lock(p->messagesLock_);
        auto it = p->messages_.find(key);
        if (it == p->messages_.end())
            return;
        observers = it->second;
    }
    // Called without the lock, so an observer may add or remove observers.
    for (auto& obs : observers)
        obs(key);
}

// ---------------------------------------------------------------- syslog relay

std::unique_ptr<AMSyslogRelay>
AMSyslogRelay::create(const std::shared_ptr<AMDevice>& dev,
                      std::function<void(const std::string&)> onLine) {
    std::unique_ptr<AMSyslogRelay> r(new AMSyslogRelay());
    r->onLine_ = std::move(onLine);
    if (!r->initWithName("com.apple.syslog_relay", dev) ||
        syslog_relay_client_new(dev->handle(), r->service_.desc, &r->relay_) !=
            SYSLOG_RELAY_E_SUCCESS) {
        WriteLog1(3, "couldn't create read stream\n");
        return nullptr;
    }
    if (syslog_relay_start_capture(r->relay_, &AMSyslogRelay::receive, r.get()) !=
        SYSLOG_RELAY_E_SUCCESS) {
        WriteLog1(3, "stream did not open\n");
        return nullptr;
    }
    return r;
}

AMSyslogRelay::~AMSyslogRelay() {
    if (relay_) {
        syslog_relay_stop_capture(relay_);
        syslog_relay_client_free(relay_);
    }
}

void AMSyslogRelay::receive(char c, void* self) {
    auto* r = static_cast<AMSyslogRelay*>(self);
    if (c == '\0' || c == '\n') {
        if (r->onLine_ && !r->line_.empty())
            r->onLine_(r->line_);
        r->line_.clear();
    } else if (r->line_.size() < 16384) {
        r->line_.push_back(c);
    }
}

// ---------------------------------------------------------------- mobile sync

std::unique_ptr<AMMobileSync> AMMobileSync::create(const std::shared_ptr<AMDevice>& dev) {
    std::unique_ptr<AMMobileSync> s(new AMMobileSync());
    if (!s->initWithName("com.apple.mobilesync", dev))
        return nullptr;
    WriteLog1(1, "waiting for the version exchange\n");
    if (mobilesync_client_new(dev->handle(), s->service_.desc, &s->sync_) != MOBILESYNC_E_SUCCESS)
        return nullptr;
    WriteLog1(1, "sending OK\n");
    return s;
}

AMMobileSync::~AMMobileSync() {
    if (sync_)
        mobilesync_client_free(sync_); // sends the disconnect message
}

// ---------------------------------------------------------------- factories of AMDevice

std::unique_ptr<AFCMediaDirectory> AMDevice::newAFCMediaDirectory() {
    return AFCMediaDirectory::create(shared_from_this());
}
std::unique_ptr<AFCCrashLogDirectory> AMDevice::newAFCCrashLogDirectory() {
    return AFCCrashLogDirectory::create(shared_from_this());
}
std::unique_ptr<AFCRootDirectory> AMDevice::newAFCRootDirectory() {
    return AFCRootDirectory::create(shared_from_this());
}
std::unique_ptr<AFCApplicationDirectory>
AMDevice::newAFCApplicationDirectory(const std::string& bundleId) {
    return AFCApplicationDirectory::create(shared_from_this(), bundleId);
}
std::unique_ptr<AMFileRelay> AMDevice::newAMFileRelay() {
    return AMFileRelay::create(shared_from_this());
}
std::unique_ptr<AMInstallationProxy> AMDevice::newAMInstallationProxy() {
    return AMInstallationProxy::create(shared_from_this());
}
std::unique_ptr<AMNotificationProxy> AMDevice::newAMNotificationProxy() {
    return AMNotificationProxy::create(shared_from_this());
}
std::unique_ptr<AMSyslogRelay> AMDevice::newAMSyslogRelay() {
    return AMSyslogRelay::create(shared_from_this(), nullptr);
}
std::unique_ptr<AMMobileSync> AMDevice::newAMMobileSync() {
    return AMMobileSync::create(shared_from_this());
}

} // namespace fruitlink
