#include "common/net.h"
#include "lab_internal.h"
#include "plist_util.h"
#include "tls_identity.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace viphone {

PhoneConfig PhoneConfig::standard(const std::string& udid, const std::string& root,
                                  const std::string& productVersion) {
    PhoneConfig c;
    c.root = root;
    c.values = {
        {"DeviceName", "Kestrova iPhone"},
        {"UniqueDeviceID", udid},
        {"ProductType", "iPhone12,1"},
        {"ProductVersion", productVersion},
        {"BuildVersion", "17F80"},
        {"SerialNumber", "F2L" + udid.substr(udid.size() > 8 ? udid.size() - 8 : 0)},
        {"model", "N104AP"},
        {"DeviceClass", "iPhone"},
        {"FirmwareVersion", "iBoot-5540.0.129"},
        {"WiFiAddress", "aa:bb:cc:dd:ee:ff"},
        {"ActivationState", "Activated"},
    };
    return c;
}

Lab::Lab(std::string listenAddress) : listenAddress_(std::move(listenAddress)) {}

Lab::~Lab() { stop(); }

Lab::Phone* Lab::phone(int index) const {
    if (index < 0 || index >= static_cast<int>(phones_.size()))
        return nullptr;
    return phones_[static_cast<size_t>(index)].get();
}

namespace {

int listenUnix(const std::string& path, std::string* error) {
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        *error = "socket path too long: " + path;
        return -1;
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

int listenTcp(const std::string& hostPort, uint16_t* boundPort, std::string* error) {
    auto colon = hostPort.rfind(':');
    if (colon == std::string::npos) {
        *error = "expected HOST:PORT in " + hostPort;
        return -1;
    }
    std::string host = hostPort.substr(0, colon);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(std::stoi(hostPort.substr(colon + 1))));
    if (host == "localhost")
        host = "127.0.0.1";
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1 ||
        addr.sin_addr.s_addr != htonl(INADDR_LOOPBACK)) {
        *error = "the virtual usbmuxd only listens on 127.0.0.1";
        return -1;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        *error = "cannot listen on " + hostPort + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    *boundPort = ntohs(addr.sin_port);
    return fd;
}

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void putLe32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::string resultXml(uint64_t number) {
    Plist r = Plist::dict();
    r.set("MessageType", "Result");
    r.setUint("Number", number);
    return r.xml();
}

} // namespace

bool sendMuxPlist(int fd, uint32_t tag, const std::string& xml) {
    std::string out(16, '\0');
    auto* h = reinterpret_cast<unsigned char*>(out.data());
    putLe32(h, static_cast<uint32_t>(16 + xml.size()));
    putLe32(h + 4, 1); // protocol version 1: plist messages
    putLe32(h + 8, 8); // message type "plist"
    putLe32(h + 12, tag);
    out += xml;
    size_t off = 0;
    while (off < out.size()) {
        ssize_t w = ::send(fd, out.data() + off, out.size() - off, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        off += static_cast<size_t>(w);
    }
    return true;
}

bool Lab::start(std::string* error) {
    std::signal(SIGPIPE, SIG_IGN);
    tls_ = TlsIdentity::create(error);
    if (!tls_)
        return false;
    systemBuid_ = "4C0A5E8D-1B2F-4A7E-9C3D-KESTROVALAB1";
    if (listenAddress_.rfind("UNIX:", 0) == 0) {
        unixPath_ = listenAddress_.substr(5);
        listenFd_ = listenUnix(unixPath_, error);
        muxAddress_ = listenAddress_;
    } else if (listenAddress_.rfind("TCP:", 0) == 0) {
        uint16_t port = 0;
        listenFd_ = listenTcp(listenAddress_.substr(4), &port, error);
        muxAddress_ = "127.0.0.1:" + std::to_string(port);
    } else {
        *error = "listen address must start with UNIX: or TCP:";
        return false;
    }
    if (listenFd_ < 0)
        return false;
    started_ = true;
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void Lab::stop() {
    if (!started_)
        return;
    started_ = false;
    stopping_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    ::close(listenFd_);
    if (acceptThread_.joinable())
        acceptThread_.join();
    {
        std::lock_guard<std::mutex> lock(mu_);
        for (int fd : openFds_)
            ::shutdown(fd, SHUT_RDWR);
        cv_.notify_all();
    }
    for (auto& w : workers_)
        if (w->thread.joinable())
            w->thread.join();
    workers_.clear();
    if (!unixPath_.empty())
        ::unlink(unixPath_.c_str());
}

std::string Lab::muxAddress() const { return muxAddress_; }

void Lab::acceptLoop() {
    while (!stopping_) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        std::lock_guard<std::mutex> lock(mu_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        // Reap finished connections so a long-running lab does not grow.
        for (auto it = workers_.begin(); it != workers_.end();) {
            if ((*it)->done) {
                (*it)->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
        openFds_.insert(fd);
        auto w = std::make_unique<Worker>();
        Worker* raw = w.get();
        w->thread = std::thread([this, fd, raw] {
            serveMuxClient(fd);
            {
                std::lock_guard<std::mutex> l(mu_);
                openFds_.erase(fd);
                listeners_.erase(fd);
                for (auto& p : phones_)
                    p->tunnels.erase(fd);
            }
            ::close(fd);
            raw->done = true;
        });
        workers_.push_back(std::move(w));
    }
}

int Lab::addPhone(PhoneConfig config, bool attached) {
    std::lock_guard<std::mutex> lock(mu_);
    auto p = std::make_unique<Phone>();
    p->deviceId = static_cast<uint32_t>(phones_.size() + 1);
    p->cfg = std::move(config);
    p->hostId = "3A0B6E1C-5D2F-4B8A-9E7C-00000000000" + std::to_string(p->deviceId % 10);
    if (p->cfg.pair == PairMode::Paired)
        p->pairRecord = pairRecordXml(*p);
    if (p->cfg.linkBytesPerSecond)
        p->link = std::make_shared<LinkPacer>(p->cfg.linkBytesPerSecond);
    phones_.push_back(std::move(p));
    int index = static_cast<int>(phones_.size() - 1);
    if (attached) {
        phones_.back()->attached = true;
        Plist msg = Plist::dict();
        msg.set("MessageType", "Attached");
        msg.setUint("DeviceID", phones_.back()->deviceId);
        broadcastLocked(msg.xml());
    }
    return index;
}

int Lab::phoneCount() const {
    std::lock_guard<std::mutex> lock(mu_);
    return static_cast<int>(phones_.size());
}

std::string Lab::pairRecordXml(const Phone& p) const {
    Plist rec = Plist::dict();
    rec.set("HostID", p.hostId);
    rec.set("SystemBUID", systemBuid_);
    rec.setData("HostCertificate", tls_->hostCertPem);
    rec.setData("HostPrivateKey", tls_->hostKeyPem);
    rec.setData("RootCertificate", tls_->rootCertPem);
    rec.setData("RootPrivateKey", tls_->rootKeyPem);
    rec.setData("DeviceCertificate", tls_->deviceCertPem);
    rec.setData("EscrowBag", std::string(16, '\x01'));
    auto wifi = p.cfg.values.find("WiFiAddress");
    rec.set("WiFiMACAddress", wifi != p.cfg.values.end() ? wifi->second : "00:00:00:00:00:00");
    return rec.xml();
}

namespace {

plist_t deviceProperties(uint32_t deviceId, const std::string& udid) {
    Plist props = Plist::dict();
    props.setUint("ConnectionSpeed", 480000000);
    props.set("ConnectionType", "USB");
    props.setUint("DeviceID", deviceId);
    props.setUint("LocationID", 0x14100000u + deviceId);
    props.setUint("ProductID", 0x12a8);
    props.set("SerialNumber", udid);
    return props.release();
}

std::string attachedXml(uint32_t deviceId, const std::string& udid) {
    Plist msg = Plist::dict();
    msg.set("MessageType", "Attached");
    msg.setUint("DeviceID", deviceId);
    msg.setNode("Properties", deviceProperties(deviceId, udid));
    return msg.xml();
}

std::string udidOf(const PhoneConfig& c) {
    auto it = c.values.find("UniqueDeviceID");
    return it == c.values.end() ? std::string() : it->second;
}

} // namespace

void Lab::broadcastLocked(const std::string& xml) {
    // Attached messages carry the properties; build them here so every caller
    // can pass a bare message.
    Plist msg = Plist::parse(xml);
    std::string out = xml;
    if (msg.string("MessageType") == std::string("Attached")) {
        uint32_t id = static_cast<uint32_t>(msg.uint("DeviceID").value_or(0));
        if (Phone* p = phone(static_cast<int>(id) - 1))
            out = attachedXml(id, udidOf(p->cfg));
    }
    for (auto it = listeners_.begin(); it != listeners_.end();) {
        if (!sendMuxPlist(*it, 0, out)) {
            ::shutdown(*it, SHUT_RDWR);
            it = listeners_.erase(it);
        } else {
            ++it;
        }
    }
}

bool Lab::attach(int index) {
    std::lock_guard<std::mutex> lock(mu_);
    Phone* p = phone(index);
    if (!p || p->attached)
        return false;
    p->attached = true;
    p->unplugAt.reset();
    broadcastLocked(attachedXml(p->deviceId, udidOf(p->cfg)));
    return true;
}

bool Lab::detach(int index) {
    std::lock_guard<std::mutex> lock(mu_);
    Phone* p = phone(index);
    if (!p || !p->attached)
        return false;
    detachLocked(index);
    return true;
}

void Lab::detachLocked(int index) {
    Phone* p = phone(index);
    p->attached = false;
    p->unplugAt.reset();
    p->backupUnplugAt.reset();
    for (int fd : p->tunnels)
        ::shutdown(fd, SHUT_RDWR);
    p->services.clear();
    cv_.notify_all();
    Plist msg = Plist::dict();
    msg.set("MessageType", "Detached");
    msg.setUint("DeviceID", p->deviceId);
    broadcastLocked(msg.xml());
}

void Lab::unplugAfterBytes(int index, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Phone* p = phone(index))
        p->unplugAt = p->stats.afcFileBytes + bytes;
}

void Lab::unplugAfterBackupBytes(int index, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Phone* p = phone(index))
        p->backupUnplugAt = p->stats.backupFileBytes + bytes;
}

void Lab::setBackupError(int index, std::optional<int> code) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Phone* p = phone(index))
        p->cfg.backupError = code;
}

void Lab::countBackupBytes(int index, uint64_t n) {
    std::lock_guard<std::mutex> lock(mu_);
    Phone* p = phone(index);
    p->stats.backupFileBytes += n;
    if (p->attached && p->backupUnplugAt && p->stats.backupFileBytes >= *p->backupUnplugAt)
        detachLocked(index);
}

bool Lab::takeSyncLock(int index, int owner) {
    std::lock_guard<std::mutex> lock(mu_);
    Phone* p = phone(index);
    if (p->syncLockOwner >= 0 && p->syncLockOwner != owner)
        return false;
    p->syncLockOwner = owner;
    p->stats.syncLockHeld = true;
    return true;
}

void Lab::dropSyncLock(int index, int owner) {
    std::lock_guard<std::mutex> lock(mu_);
    Phone* p = phone(index);
    if (p->syncLockOwner == owner) {
        p->syncLockOwner = -1;
        p->stats.syncLockHeld = false;
    }
}

void Lab::setStall(int index, bool on) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Phone* p = phone(index))
        p->stall = on;
    cv_.notify_all();
}

void Lab::setPairMode(int index, PairMode mode) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Phone* p = phone(index))
        p->cfg.pair = mode;
}

void Lab::setServiceRefusal(int index, std::optional<std::string> word) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Phone* p = phone(index))
        p->cfg.serviceRefusal = std::move(word);
}

PhoneStats Lab::stats(int index) const {
    std::lock_guard<std::mutex> lock(mu_);
    Phone* p = phone(index);
    if (!p)
        return {};
    PhoneStats s = p->stats;
    s.attached = p->attached;
    return s;
}

bool Lab::waitWhileStalled(int index) {
    std::unique_lock<std::mutex> lock(mu_);
    Phone* p = phone(index);
    if (!p->stall)
        return p->attached;
    p->stats.stalledNow++;
    cv_.wait(lock, [&] { return !p->stall || !p->attached || stopping_; });
    p->stats.stalledNow--;
    return p->attached && !stopping_;
}

void Lab::countAfcBytes(int index, uint64_t n) {
    std::lock_guard<std::mutex> lock(mu_);
    Phone* p = phone(index);
    p->stats.afcFileBytes += n;
    if (p->attached && p->unplugAt && p->stats.afcFileBytes >= *p->unplugAt)
        detachLocked(index);
}

// ---------------------------------------------------------------- usbmuxd

void Lab::serveMuxClient(int fd) {
    for (;;) {
        unsigned char hdr[16];
        if (!lab::readExact(fd, hdr, sizeof hdr))
            return;
        uint32_t length = le32(hdr), version = le32(hdr + 4), type = le32(hdr + 8),
                 tag = le32(hdr + 12);
        if (length < 16 || length > 16 + kMaxPlistFrame)
            return;
        std::string body(length - 16, '\0');
        if (!body.empty() && !lab::readExact(fd, body.data(), body.size()))
            return;
        if (version != 1 || type != 8) {
            // Only the plist protocol is spoken; a binary-protocol client
            // is told so and retries with plists.
            unsigned char reply[20];
            putLe32(reply, 20);
            putLe32(reply + 4, 0);
            putLe32(reply + 8, 1);
            putLe32(reply + 12, tag);
            putLe32(reply + 16, 6);
            if (::send(fd, reply, sizeof reply, MSG_NOSIGNAL) != sizeof reply)
                return;
            continue;
        }
        Plist req = Plist::parse(body);
        std::string kind = req.string("MessageType").value_or("");
        if (kind == "ListDevices") {
            std::lock_guard<std::mutex> lock(mu_);
            plist_t list = plist_new_array();
            for (auto& p : phones_) {
                if (!p->attached)
                    continue;
                Plist entry = Plist::parse(attachedXml(p->deviceId, udidOf(p->cfg)));
                plist_array_append_item(list, entry.release());
            }
            Plist reply = Plist::dict();
            reply.setNode("DeviceList", list);
            if (!sendMuxPlist(fd, tag, reply.xml()))
                return;
        } else if (kind == "Listen") {
            std::lock_guard<std::mutex> lock(mu_);
            if (!sendMuxPlist(fd, tag, resultXml(0)))
                return;
            for (auto& p : phones_)
                if (p->attached && !sendMuxPlist(fd, 0, attachedXml(p->deviceId, udidOf(p->cfg))))
                    return;
            listeners_.insert(fd);
        } else if (kind == "ReadBUID") {
            Plist reply = Plist::dict();
            reply.set("BUID", systemBuid_);
            if (!sendMuxPlist(fd, tag, reply.xml()))
                return;
        } else if (kind == "ReadPairRecord") {
            std::string id = req.string("PairRecordID").value_or("");
            std::optional<std::string> rec;
            {
                std::lock_guard<std::mutex> lock(mu_);
                for (auto& p : phones_)
                    if (udidOf(p->cfg) == id)
                        rec = p->pairRecord;
            }
            Plist reply = Plist::dict();
            if (rec)
                reply.setData("PairRecordData", *rec);
            if (!sendMuxPlist(fd, tag, rec ? reply.xml() : resultXml(2)))
                return;
        } else if (kind == "SavePairRecord") {
            std::string id = req.string("PairRecordID").value_or("");
            std::optional<std::string> data = req.data("PairRecordData");
            Plist rec = data ? Plist::parse(*data) : Plist();
            bool saved = false;
            if (rec) {
                std::lock_guard<std::mutex> lock(mu_);
                for (auto& p : phones_) {
                    if (udidOf(p->cfg) != id)
                        continue;
                    p->pairRecord = rec.xml();
                    p->hostId = rec.string("HostID").value_or(p->hostId);
                    p->stats.pairRecordsSaved++;
                    saved = true;
                    // usbmuxd tells its listeners that the phone is paired now.
                    if (p->attached) {
                        Plist paired = Plist::dict();
                        paired.set("MessageType", "Paired");
                        paired.setUint("DeviceID", p->deviceId);
                        broadcastLocked(paired.xml());
                    }
                }
            }
            if (!sendMuxPlist(fd, tag, resultXml(saved ? 0 : 22)))
                return;
        } else if (kind == "DeletePairRecord") {
            if (!sendMuxPlist(fd, tag, resultXml(0)))
                return;
        } else if (kind == "Connect") {
            uint32_t id = static_cast<uint32_t>(req.uint("DeviceID").value_or(0));
            uint16_t port = ntohs(static_cast<uint16_t>(req.uint("PortNumber").value_or(0)));
            muxConnect(fd, tag, id, port);
            return; // the connection was a tunnel (or refused): it ends here
        } else {
            if (!sendMuxPlist(fd, tag, resultXml(1)))
                return;
        }
    }
}

bool Lab::muxConnect(int fd, uint32_t tag, uint32_t deviceId, uint16_t port) {
    int index = static_cast<int>(deviceId) - 1;
    std::optional<Service> svc;
    bool lockdown = port == kLockdownPort;
    std::shared_ptr<LinkPacer> link;
    {
        std::lock_guard<std::mutex> lock(mu_);
        Phone* p = phone(index);
        if (!p || !p->attached) {
            sendMuxPlist(fd, tag, resultXml(2)); // bad device
            return false;
        }
        if (!lockdown) {
            auto it = p->services.find(port);
            if (it != p->services.end()) {
                svc = it->second;
                p->services.erase(it);
            }
        }
        if (!lockdown && !svc) {
            sendMuxPlist(fd, tag, resultXml(3)); // connection refused
            return false;
        }
        if (!sendMuxPlist(fd, tag, resultXml(0)))
            return false;
        p->tunnels.insert(fd);
        link = p->link;
    }
    // On a cable of limited speed the service talks through a relay; the
    // tunnel itself stays the one an unplug cuts.
    int serviceFd = fd;
    std::unique_ptr<LinkRelay> relay = link ? LinkRelay::start(fd, link, &serviceFd) : nullptr;
    if (lockdown)
        serveLockdown(index, serviceFd);
    else if (*svc == Service::Afc)
        serveAfc(index, serviceFd);
    else if (*svc == Service::Backup)
        serveBackup(index, serviceFd);
    else if (*svc == Service::NotificationProxy)
        serveNotificationProxy(index, serviceFd);
    else
        serveFileRelay(index, serviceFd);
    return true;
}

} // namespace viphone
