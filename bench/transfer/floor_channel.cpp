#include "floor_channel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A page of five records is a few kilobytes; anything near this is a broken
// length field, not a reply.
constexpr uint32_t kMaxReply = 64u << 20;

bool sendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// adb's forwarding sets no TCP_NODELAY, so a split reply waits for our ACK:
// quick-ack mode has to be asked for again after every receive.
bool receiveAll(int fd, char* into, size_t length) {
    size_t got = 0;
    while (got < length) {
        const ssize_t n = recv(fd, into + got, length - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    }
    return true;
}

} // namespace

FloorChannel::~FloorChannel() {
    if (m_fd >= 0)
        close(m_fd);
}

bool FloorChannel::open(uint16_t port, const std::string& token) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return false;
    int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval tv{60, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string reply;
    return exchange(token + "hello-android;", &reply) && reply == "HI-PC";
}

bool FloorChannel::readReply(std::string* reply) {
    unsigned char header[4];
    if (!receiveAll(m_fd, reinterpret_cast<char*>(header), sizeof header))
        return false;
    const uint32_t length =
        header[0] | header[1] << 8 | header[2] << 16 | static_cast<uint32_t>(header[3]) << 24;
    if (length > kMaxReply)
        return false;
    reply->resize(length);
    return length == 0 || receiveAll(m_fd, reply->data(), length);
}

bool FloorChannel::exchange(const std::string& command, std::string* reply) {
    return sendAll(m_fd, command) && readReply(reply);
}

int64_t FloorChannel::exchangeInt(const std::string& command) {
    std::string reply;
    if (!exchange(command, &reply))
        return 0;
    if (reply.size() >= 8) {
        int64_t v = 0;
        std::memcpy(&v, reply.data(), sizeof v);
        return v;
    }
    if (reply.size() >= 4) {
        int32_t v = 0;
        std::memcpy(&v, reply.data(), sizeof v);
        return v;
    }
    return 0;
}

bool FloorChannel::pipelined(const std::vector<std::string>& commands) {
    std::string all;
    for (const std::string& c : commands)
        all += c;
    if (!sendAll(m_fd, all))
        return false;
    std::string reply;
    for (size_t i = 0; i < commands.size(); ++i)
        if (!readReply(&reply))
            return false;
    return true;
}
