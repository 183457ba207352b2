#include "adb_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "greenlink_log.h"
#include "runner.h"

namespace greenlink {
namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kOutputMax = 1u << 20;

std::mutex g_openMutex;
std::set<int> g_open; // exchanges in progress

struct ServerAddress {
    std::string host = "localhost";
    std::string port = "5037";
    bool usable = true;
};

ServerAddress serverAddress() {
    ServerAddress a;
    if (const char* socketText = std::getenv("ADB_SERVER_SOCKET"); socketText && *socketText) {
        std::string s = socketText;
        if (s.rfind("tcp:", 0) != 0) {
            a.usable = false;
            return a;
        }
        s = s.substr(4);
        size_t colon = s.rfind(':');
        if (colon == std::string::npos) {
            a.port = s;
        } else {
            a.host = s.substr(0, colon);
            a.port = s.substr(colon + 1);
        }
        return a;
    }
    if (const char* host = std::getenv("ANDROID_ADB_SERVER_ADDRESS"); host && *host)
        a.host = host;
    if (const char* port = std::getenv("ANDROID_ADB_SERVER_PORT"); port && *port)
        a.port = port;
    return a;
}

int connectServer(const ServerAddress& a) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(a.host.c_str(), a.port.c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* at = found; at && fd < 0; at = at->ai_next) {
        fd = socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
        if (fd >= 0 && connect(fd, at->ai_addr, at->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

class Exchange {
  public:
    Exchange(int fd, Clock::time_point deadline) : m_fd(fd), m_deadline(deadline) {
        std::lock_guard lock(g_openMutex);
        g_open.insert(m_fd);
    }
    ~Exchange() {
        {
            std::lock_guard lock(g_openMutex);
            g_open.erase(m_fd);
        }
        close(m_fd);
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // One request of the host protocol: four hex digits of length, the text.
    bool request(const std::string& text) {
        char length[5];
        std::snprintf(length, sizeof length, "%04zx", text.size());
        return text.size() <= 0xFFFF && sendAll(length, 4) && sendAll(text.data(), text.size());
    }

    // "OKAY", or "FAIL" and its message into *why.
    bool okay(std::string* why) {
        char status[4];
        if (!readExact(status, 4))
            return false;
        if (std::memcmp(status, "OKAY", 4) == 0)
            return true;
        char length[5] = {};
        if (std::memcmp(status, "FAIL", 4) == 0 && readExact(length, 4)) {
            size_t n = std::strtoul(length, nullptr, 16);
            std::string message(std::min<size_t>(n, 4096), '\0');
            if (readExact(message.data(), message.size()))
                *why = message;
        }
        return false;
    }

    // Everything until the server closes; false when the bound passed first.
    bool readToEnd(std::string* out) {
        char block[16384];
        for (;;) {
            if (!wait())
                return false;
            ssize_t n = recv(m_fd, block, sizeof block, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                return true;
            if (out->size() < kOutputMax)
                out->append(block, std::min(static_cast<size_t>(n), kOutputMax - out->size()));
        }
    }

    bool broken() const { return m_broken; }

  private:
    bool wait() {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{m_fd, POLLIN, 0};
        int r;
        do {
            r = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
        } while (r < 0 && errno == EINTR);
        return r > 0;
    }

    bool readExact(char* into, size_t length) {
        size_t got = 0;
        while (got < length) {
            if (!wait()) {
                m_broken = true;
                return false;
            }
            ssize_t n = recv(m_fd, into + got, length - got, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_broken = true;
                return false;
            }
            got += static_cast<size_t>(n);
        }
        return true;
    }

    bool sendAll(const char* bytes, size_t length) {
        size_t sent = 0;
        while (sent < length) {
            ssize_t n = send(m_fd, bytes + sent, length - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_broken = true;
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    int m_fd;
    Clock::time_point m_deadline;
    bool m_broken = false;
};

} // namespace

AdbSocketStatus adbShellOverSocket(const std::string& serial, const std::string& command,
                                   int boundSeconds, std::string* output) {
    output->clear();
    const ServerAddress address = serverAddress();
    if (!address.usable) {
        WriteLog("adb server socket: only tcp: addresses are supported\n");
        return AdbSocketStatus::NoServer;
    }
    const auto deadline = Clock::now() + boundSeconds * runnerSecond();
    int fd = connectServer(address);
    if (fd < 0) {
        // As adb itself does: start the server, then ask again.
        std::string out;
        runAdbCapture({"start-server"}, 20, true, &out);
        fd = connectServer(address);
    }
    if (fd < 0) {
        WriteLog("adb server socket: no adb server at %s:%s\n", address.host.c_str(),
                 address.port.c_str());
        return AdbSocketStatus::NoServer;
    }
    Exchange exchange(fd, deadline);
    std::string why;
    if (!exchange.request("host:transport:" + serial) || !exchange.okay(&why)) {
        *output = why;
        return exchange.broken() ? AdbSocketStatus::Broken : AdbSocketStatus::Refused;
    }
    std::string service = "shell:" + command;
    const bool sent = exchange.request(service);
    explicit_bzero(service.data(), service.size());
    if (!sent || !exchange.okay(&why)) {
        *output = why;
        return exchange.broken() ? AdbSocketStatus::Broken : AdbSocketStatus::Refused;
    }
    return exchange.readToEnd(output) ? AdbSocketStatus::Done : AdbSocketStatus::Broken;
}

void abortAdbSocketExchanges() {
    std::lock_guard lock(g_openMutex);
    for (int fd : g_open)
        shutdown(fd, SHUT_RDWR);
}

} // namespace greenlink
