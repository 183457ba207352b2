// The virtual phone's lockdownd: values, sessions with or without TLS,
// service start and the pairing answers a phone gives.
#include "channel.h"
#include "lab_internal.h"
#include "plist_util.h"
#include "tls_identity.h"

#include <algorithm>
#include <sys/socket.h>

namespace viphone {
namespace {

const char* pairingRefusal(PairMode mode) {
    switch (mode) {
    case PairMode::Pending:
        return "PairingDialogResponsePending";
    case PairMode::Denied:
        return "UserDeniedPairing";
    case PairMode::PasscodeLocked:
        return "PasswordProtected";
    default:
        return nullptr;
    }
}

} // namespace

std::string Lab::lockdownReply(int index, Channel& ch, const std::string& body, bool* inSession,
                               bool* startTls, bool* stopTls, bool* close) {
    Plist req = Plist::parse(body);
    std::string request = req.string("Request").value_or("");
    Plist resp = Plist::dict();
    resp.set("Request", request);
    std::lock_guard<std::mutex> lock(mu_);
    Phone* p = phone(index);
    if (request == "QueryType") {
        resp.set("Type", "com.apple.mobile.lockdown");
    } else if (request == "GetValue") {
        auto domain = req.string("Domain");
        auto key = req.string("Key");
        if (domain)
            resp.set("Domain", *domain);
        if (key)
            resp.set("Key", *key);
        if (domain && *domain == "com.apple.mobile.backup" && key && *key == "WillEncrypt") {
            resp.setBool("Value", p->cfg.willEncrypt);
        } else if (domain && *domain == "com.apple.disk_usage" && key &&
                   (*key == "TotalDataCapacity" || *key == "TotalDataAvailable")) {
            const uint64_t used = usedBytes(p->cfg);
            const uint64_t capacity = std::max<uint64_t>(64000000000ull, used + 1000000000ull);
            resp.setUint("Value", *key == "TotalDataCapacity" ? capacity : capacity - used);
        } else if (domain && *domain != "com.apple.mobile.lockdownd") {
            resp.setNode("Value", plist_new_dict());
        } else if (!key) {
            plist_t all = plist_new_dict();
            for (auto& [k, v] : p->cfg.values)
                plist_dict_set_item(all, k.c_str(), plist_new_string(v.c_str()));
            resp.setNode("Value", all);
        } else if (*key == "DeviceName" && !*inSession && !p->pairRecord && p->cfg.untrustedName) {
            resp.set("Value", *p->cfg.untrustedName);
        } else if (*key == "DevicePublicKey") {
            resp.setData("Value", tls_->devicePublicKeyPem);
        } else if (auto it = p->cfg.values.find(*key); it != p->cfg.values.end()) {
            resp.set("Value", it->second);
        } else {
            resp.set("Error", "MissingValue");
        }
    } else if (request == "Pair" || request == "ValidatePair") {
        if (const char* refusal = pairingRefusal(p->cfg.pair))
            resp.set("Error", refusal);
        else if (request == "Pair")
            resp.setData("EscrowBag", std::string(16, '\x01'));
    } else if (request == "StartSession") {
        if (!p->pairRecord || req.string("HostID") != p->hostId) {
            resp.set("Error", "InvalidHostID");
        } else {
            resp.set("SessionID", "5E551014-" + std::to_string(index) + "-KESTROVA");
            resp.setBool("EnableSessionSSL", p->cfg.sessionTls);
            *startTls = p->cfg.sessionTls;
            *inSession = true;
            if (p->cfg.sessionTls)
                p->stats.tlsSessions++;
            else
                p->stats.plainSessions++;
        }
    } else if (request == "StopSession") {
        *stopTls = ch.tlsActive();
        *inSession = false;
    } else if (request == "StartService") {
        std::string name = req.string("Service").value_or("");
        std::optional<Service> svc;
        if (name == "com.apple.afc")
            svc = Service::Afc;
        else if (name == "com.apple.mobile.file_relay")
            svc = Service::FileRelay;
        else if (name == "com.apple.mobilebackup2")
            svc = Service::Backup;
        else if (name == "com.apple.mobile.notification_proxy")
            svc = Service::NotificationProxy;
        if (!*inSession) {
            resp.set("Error", "NoRunningSession");
        } else if (p->cfg.serviceRefusal) {
            resp.set("Error", *p->cfg.serviceRefusal);
        } else if (!svc) {
            resp.set("Error", "InvalidService");
        } else {
            uint16_t port = p->nextPort++;
            if (p->nextPort < 49152)
                p->nextPort = 49152;
            p->services[port] = *svc;
            resp.set("Service", name);
            resp.setUint("Port", port);
            resp.setBool("EnableServiceSSL", false);
        }
    } else if (request == "Goodbye") {
        *close = true;
    } else {
        resp.set("Error", "UnknownRequest");
    }
    return resp.xml();
}

void Lab::serveLockdown(int index, int fd) {
    Channel ch(fd);
    std::string body;
    bool inSession = false;
    while (ch.readFrame(&body, kMaxPlistFrame)) {
        bool startTls = false, stopTls = false, close = false;
        std::string reply = lockdownReply(index, ch, body, &inSession, &startTls, &stopTls, &close);
        if (!ch.writeFrame(reply) || close)
            return;
        if (startTls && !ch.startTls(tls_->serverCtx))
            return;
        if (stopTls && !ch.stopTls())
            return;
    }
}

} // namespace viphone
