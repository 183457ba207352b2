#include "android/adb_connection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "android/adb_wire.h"
#include "android/phone.h"
#include "common/counted_threads.h"
#include "common/net.h"

namespace lab {

AdbConnection::AdbConnection(Phone& phone, int fd, ServiceLookup lookup)
    : m_phone(phone), m_fd(fd), m_lookup(std::move(lookup)) {}

AdbConnection::~AdbConnection() { closeFd(m_fd); }

bool AdbConnection::send(uint32_t cmd, uint32_t a0, uint32_t a1, const char* data, size_t len) {
    std::string_view payload(data ? data : "", len);
    auto hdr = adb::encodeHeader(cmd, a0, a1, payload, m_checksums);
    std::lock_guard lk(m_writeMu);
    iovec iov[2] = {{hdr.data(), hdr.size()}, {const_cast<char*>(payload.data()), payload.size()}};
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = payload.empty() ? 1 : 2;
    size_t left = hdr.size() + payload.size();
    while (left > 0) {
        ssize_t n = sendmsg(m_fd, &msg, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        left -= static_cast<size_t>(n);
        // Skip what went out across the two buffers.
        auto sent = static_cast<size_t>(n);
        while (sent > 0 && msg.msg_iovlen > 0) {
            if (sent >= msg.msg_iov[0].iov_len) {
                sent -= msg.msg_iov[0].iov_len;
                ++msg.msg_iov;
                --msg.msg_iovlen;
            } else {
                msg.msg_iov[0].iov_base = static_cast<char*>(msg.msg_iov[0].iov_base) + sent;
                msg.msg_iov[0].iov_len -= sent;
                sent = 0;
            }
        }
    }
    return true;
}

void AdbConnection::run() {
    std::string payload;
    uint8_t raw[adb::kHeaderSize];
    while (readExact(m_fd, raw, sizeof raw)) {
        // adb writes a packet's header and payload separately and leaves
        // Nagle on: a delayed ACK of the header would hold the payload back.
        int one = 1;
        setsockopt(m_fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
        adb::Header h = adb::decodeHeader(raw);
        if (adb::checkHeader(h, adb::kMaxPayload) != adb::HeaderError::None)
            break;
        payload.resize(h.length);
        if (h.length && !readExact(m_fd, payload.data(), h.length))
            break;
        handle(h.command, h.arg0, h.arg1, payload);
    }
    closeAllStreams();
}

void AdbConnection::drop() { shutdown(m_fd, SHUT_RDWR); }

void AdbConnection::handle(uint32_t cmd, uint32_t a0, uint32_t a1, std::string& payload) {
    switch (cmd) {
    case adb::A_CNXN:
        m_checksums = a0 < 0x01000001;
        onConnect(a1);
        return;
    case adb::A_AUTH:
        onAuth(a0);
        return;
    default:
        break;
    }
    if (!m_online)
        return; // before the handshake nothing else counts
    if (cmd == adb::A_OPEN) {
        onOpen(a0, payload);
    } else if (cmd == adb::A_OKAY) {
        if (auto s = stream(a1))
            s->onHostOkay();
    } else if (cmd == adb::A_WRTE) {
        if (auto s = stream(a1))
            s->onHostData(std::move(payload));
        payload = std::string();
    } else if (cmd == adb::A_CLSE) {
        std::shared_ptr<AdbStream> s;
        {
            std::lock_guard lk(m_streamsMu);
            auto it = m_streams.find(a1);
            if (it != m_streams.end()) {
                s = it->second;
                m_streams.erase(it);
            }
        }
        if (s)
            s->onHostClose();
    }
}

void AdbConnection::onConnect(uint32_t hostMaxPayload) {
    m_maxPayload = std::min<uint32_t>(std::max<uint32_t>(hostMaxPayload, 256), adb::kMaxPayload);
    if (m_online.exchange(false))
        closeAllStreams(); // the host started over
    switch (m_phone.state()) {
    case UsbState::Device:
        sendBanner();
        break;
    case UsbState::Unauthorized:
        sendAuthToken();
        break;
    case UsbState::Offline:
        break; // an offline phone never answers
    }
}

void AdbConnection::onAuth(uint32_t type) {
    if (m_online)
        return;
    if (m_phone.state() == UsbState::Device) {
        sendBanner();
        return;
    }
    if (m_phone.state() != UsbState::Unauthorized)
        return;
    if (type == adb::kAuthSignature) {
        sendAuthToken(); // no key is ever known to this phone: ask again
    } else if (type == adb::kAuthRsaPublicKey) {
        m_awaitingAuth = true; // the prompt is up until the user allows
    }
}

void AdbConnection::authorise() {
    if (m_awaitingAuth.exchange(false) && m_phone.state() == UsbState::Device)
        sendBanner();
}

void AdbConnection::sendBanner() {
    const auto& s = m_phone.settings();
    std::string banner = adb::deviceBanner(s.product, s.model, s.device, m_phone.features());
    m_online = true;
    m_awaitingAuth = false;
    send(adb::A_CNXN, adb::kVersion, adb::kMaxPayload, banner.data(), banner.size());
}

void AdbConnection::sendAuthToken() {
    static thread_local std::mt19937 rng{std::random_device{}()};
    char token[20];
    for (char& c : token)
        c = static_cast<char>(rng());
    send(adb::A_AUTH, adb::kAuthToken, 0, token, sizeof token);
}

namespace {

// A service name for the trace, with the agent's token (the word after its
// extra's name in an "am start") left out: a log is no place for it.
std::string withoutToken(std::string service) {
    size_t at = service.find(kAgentTokenExtra);
    if (at == std::string::npos)
        return service;
    size_t value = service.find_first_not_of(' ', at + std::strlen(kAgentTokenExtra));
    if (value == std::string::npos)
        return service;
    size_t end = service.find(' ', value);
    return service.replace(value, end == std::string::npos ? std::string::npos : end - value,
                           "<token>");
}

} // namespace

void AdbConnection::onOpen(uint32_t remoteId, const std::string& payload) {
    // The name ends in a NUL; abb_exec: names carry more NULs between arguments.
    std::string service = payload;
    while (!service.empty() && service.back() == '\0')
        service.pop_back();
    ServiceRunner runner = m_lookup ? m_lookup(service) : ServiceRunner();
    if (std::getenv("KESTROVA_PHONE_TRACE"))
        std::fprintf(stderr, "open %s -> %s\n", withoutToken(service).c_str(),
                     runner ? "ok" : "refused");
    if (!runner) {
        send(adb::A_CLSE, 0, remoteId);
        return;
    }
    std::shared_ptr<AdbStream> s;
    {
        std::lock_guard lk(m_streamsMu);
        uint32_t id = m_nextId++;
        s = std::make_shared<AdbStream>(*this, id, remoteId, service);
        m_streams[id] = s;
    }
    send(adb::A_OKAY, s->localId(), remoteId);
    auto self = shared_from_this();
    startCounted([self, s, runner] {
        runner(s);
        self->finishStream(s);
    });
}

void AdbConnection::finishStream(const std::shared_ptr<AdbStream>& s) {
    s->flush();
    bool tellHost;
    {
        std::lock_guard lk(m_streamsMu);
        tellHost = m_streams.erase(s->localId()) > 0;
    }
    {
        std::lock_guard lk(s->m_mu);
        tellHost = tellHost && !s->m_closed;
        s->m_closed = true;
    }
    s->m_cv.notify_all();
    if (tellHost)
        send(adb::A_CLSE, s->localId(), s->m_remoteId);
}

std::shared_ptr<AdbStream> AdbConnection::stream(uint32_t localId) {
    std::lock_guard lk(m_streamsMu);
    auto it = m_streams.find(localId);
    return it == m_streams.end() ? nullptr : it->second;
}

void AdbConnection::closeAllStreams() {
    std::map<uint32_t, std::shared_ptr<AdbStream>> all;
    {
        std::lock_guard lk(m_streamsMu);
        all.swap(m_streams);
    }
    for (auto& [id, s] : all)
        s->onHostClose();
}

} // namespace lab
