#include "android/phone_server.h"

#include <cctype>
#include <cstdio>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

#include "android/services.h"
#include "common/counted_threads.h"
#include "common/net.h"

namespace lab {

namespace {

bool hexToBytes(const std::string& hex, std::string* out) {
    if (hex.size() % 2 != 0)
        return false;
    out->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned v = 0;
        if (std::sscanf(hex.c_str() + i, "%2x", &v) != 1 || !std::isxdigit(hex[i]) ||
            !std::isxdigit(hex[i + 1]))
            return false;
        out->push_back(static_cast<char>(v));
    }
    return true;
}

} // namespace

PhoneServer::PhoneServer(Phone& phone) : m_phone(phone), m_agent(phone) {
    m_phone.onDropAll = [this] { dropAll(); };
    m_phone.onAllowed = [this] { authoriseWaiting(); };
    m_phone.onAgentStopped = [this] { m_agent.stopAll(); };
    m_phone.onAgentStarting = [this](const std::string& token) { return m_agent.starting(token); };
}

PhoneServer::~PhoneServer() {
    stop();
    m_phone.onDropAll = nullptr;
    m_phone.onAllowed = nullptr;
    m_phone.onAgentStopped = nullptr;
    m_phone.onAgentStarting = nullptr;
}

bool PhoneServer::listen(uint16_t adbPort, uint16_t controlPort) {
    m_adbFd = listenLoopback(adbPort, &m_adbPort);
    m_controlFd = listenLoopback(controlPort, &m_controlPort);
    return m_adbFd >= 0 && m_controlFd >= 0;
}

void PhoneServer::start() {
    m_threads.emplace_back([this] { acceptAdb(); });
    m_threads.emplace_back([this] { acceptControl(); });
}

void PhoneServer::stop() {
    if (m_adbFd >= 0)
        shutdown(m_adbFd, SHUT_RDWR);
    if (m_controlFd >= 0)
        shutdown(m_controlFd, SHUT_RDWR);
    for (auto& t : m_threads)
        t.join();
    m_threads.clear();
    closeFd(m_adbFd);
    closeFd(m_controlFd);
    dropAll();
}

void PhoneServer::acceptAdb() {
    while (true) {
        int fd = accept4(m_adbFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        if (!m_phone.plugged()) {
            close(fd); // nothing answers on a phone that is not there
            continue;
        }
        setNoDelay(fd);
        auto conn = std::make_shared<AdbConnection>(m_phone, fd, [this](const std::string& svc) {
            return lookupService(m_phone, m_agent, svc);
        });
        {
            std::lock_guard lk(m_mu);
            std::erase_if(m_conns, [](const auto& w) { return w.expired(); });
            m_conns.push_back(conn);
        }
        startCounted([conn] { conn->run(); });
    }
}

void PhoneServer::dropAll() {
    std::vector<std::shared_ptr<AdbConnection>> live;
    {
        std::lock_guard lk(m_mu);
        for (auto& w : m_conns)
            if (auto c = w.lock())
                live.push_back(c);
    }
    for (auto& c : live)
        c->drop();
}

void PhoneServer::authoriseWaiting() {
    std::lock_guard lk(m_mu);
    for (auto& w : m_conns)
        if (auto c = w.lock())
            c->authorise();
}

void PhoneServer::acceptControl() {
    while (true) {
        int fd = accept4(m_controlFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        std::thread([this, fd] { serveControl(fd); }).detach();
    }
}

void PhoneServer::serveControl(int fd) {
    std::string line;
    while (readLine(fd, line))
        if (!writeAll(fd, control(line) + "\n"))
            break;
    close(fd);
}

std::string PhoneServer::control(const std::string& line) {
    std::istringstream in(line);
    std::string verb, arg;
    long long value = 0;
    in >> verb >> arg >> value;
    if (verb == "status")
        return "ok " + m_phone.statusLine();
    if (verb == "state") {
        UsbState s;
        if (!parseUsbState(arg, s))
            return "error unknown state";
        m_phone.setState(s);
        return "ok";
    }
    if (verb == "allow") {
        m_phone.allow();
        return "ok";
    }
    if (verb == "unplug" || verb == "plug") {
        m_phone.setPlugged(verb == "plug");
        return "ok";
    }
    if (verb == "knock") {
        // knock PORT DELAY_MS WAIT_MS HEX|-: another app tries the agent.
        std::istringstream words(line);
        std::string k, hex;
        int port = 0, delayMs = 0, waitMs = 0;
        words >> k >> port >> delayMs >> waitMs >> hex;
        std::string bytes;
        if (hex != "-" && !hexToBytes(hex, &bytes))
            return "error the bytes to send are not hex";
        return m_agent.knock(port, delayMs, waitMs, bytes);
    }
    if (verb == "fault") {
        if (arg == "drop-after-bytes")
            m_phone.setDropAfterBytes(value);
        else if (arg == "disk-full")
            m_phone.setDiskFullAfterBytes(value);
        else if (arg == "clear")
            m_phone.clearFaults();
        else
            return "error unknown fault";
        return "ok";
    }
    return "error unknown command";
}

} // namespace lab
