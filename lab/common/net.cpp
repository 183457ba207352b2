#include "common/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lab {

void ignoreSigpipe() { signal(SIGPIPE, SIG_IGN); }

static sockaddr_in loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int listenLoopback(uint16_t port, uint16_t* bound) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = loopback(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 64) != 0) {
        int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    if (bound)
        *bound = localPort(fd);
    return fd;
}

int connectLoopback(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a = loopback(port);
    int rc;
    do {
        rc = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

uint16_t localPort(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

uint16_t pickFreePort() {
    uint16_t port = 0;
    int fd = listenLoopback(0, &port);
    if (fd < 0)
        return 0;
    close(fd);
    return port;
}

bool readExact(int fd, void* buf, size_t len) {
    auto* p = static_cast<char*>(buf);
    while (len > 0) {
        ssize_t n = read(fd, p, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const void* buf, size_t len) {
    const auto* p = static_cast<const char*>(buf);
    while (len > 0) {
        ssize_t n = send(fd, p, len, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = write(fd, p, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool readLine(int fd, std::string& line, size_t maxLen) {
    line.clear();
    char c;
    while (line.size() < maxLen) {
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (c == '\n')
            return true;
        line.push_back(c);
    }
    return false;
}

void setNoDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void closeFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

size_t drainUntilClosed(int fd, int waitMs, bool* closed) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    size_t received = 0;
    *closed = false;
    char buf[4096];
    while (!*closed) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            received += static_cast<size_t>(n);
        else
            *closed = true;
    }
    return received;
}

} // namespace lab
