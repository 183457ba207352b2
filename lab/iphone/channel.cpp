#include "channel.h"

#include "common/net.h"

#include <cerrno>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace viphone {

Channel::~Channel() {
    if (ssl_)
        SSL_free(ssl_);
}

bool Channel::readExact(void* buf, size_t n) {
    if (!ssl_)
        return lab::readExact(fd_, buf, n);
    auto* p = static_cast<unsigned char*>(buf);
    while (n > 0) {
        int r = SSL_read(ssl_, p, n > (1u << 30) ? (1 << 30) : static_cast<int>(n));
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool Channel::writeAll(const void* buf, size_t n) {
    auto* p = static_cast<const unsigned char*>(buf);
    while (n > 0) {
        if (ssl_) {
            int w = SSL_write(ssl_, p, n > (1u << 30) ? (1 << 30) : static_cast<int>(n));
            if (w <= 0)
                return false;
            p += w;
            n -= static_cast<size_t>(w);
            continue;
        }
        ssize_t w = ::send(fd_, p, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool Channel::startTls(SSL_CTX* ctx) {
    if (ssl_ || !ctx)
        return false;
    ssl_ = SSL_new(ctx);
    if (!ssl_)
        return false;
    SSL_set_fd(ssl_, fd_);
    if (SSL_accept(ssl_) != 1) {
        SSL_free(ssl_);
        ssl_ = nullptr;
        return false;
    }
    return true;
}

bool Channel::stopTls() {
    if (!ssl_)
        return true;
    unsigned char scratch[256];
    int r;
    while ((r = SSL_read(ssl_, scratch, sizeof scratch)) > 0) {
    }
    bool clean = SSL_get_error(ssl_, r) == SSL_ERROR_ZERO_RETURN;
    SSL_free(ssl_);
    ssl_ = nullptr;
    return clean;
}

bool Channel::readFrame(std::string* body, uint32_t maxLen) {
    unsigned char hdr[4];
    if (!readExact(hdr, 4))
        return false;
    uint32_t len = (uint32_t(hdr[0]) << 24) | (uint32_t(hdr[1]) << 16) | (uint32_t(hdr[2]) << 8) |
                   uint32_t(hdr[3]);
    if (len == 0 || len > maxLen)
        return false;
    body->resize(len);
    return readExact(body->data(), len);
}

bool Channel::writeFrame(const std::string& body) {
    uint32_t len = static_cast<uint32_t>(body.size());
    unsigned char hdr[4] = {static_cast<unsigned char>(len >> 24),
                            static_cast<unsigned char>(len >> 16),
                            static_cast<unsigned char>(len >> 8), static_cast<unsigned char>(len)};
    std::string out(reinterpret_cast<char*>(hdr), 4);
    out += body;
    return writeAll(out.data(), out.size());
}

} // namespace viphone
