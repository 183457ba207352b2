// A byte stream to one client of the virtual iPhone: a plain socket that can
// be switched to TLS and back, as lockdownd does around a session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace viphone {

class Channel {
  public:
    explicit Channel(int fd) : fd_(fd) {}
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    bool readExact(void* buf, size_t n);
    bool writeAll(const void* buf, size_t n);

    // Server side of the handshake on the current socket.
    bool startTls(SSL_CTX* ctx);
    // The client sends close_notify and goes on in plain text without waiting
    // for ours, so wait for its alert and answer nothing.
    bool stopTls();
    bool tlsActive() const { return ssl_ != nullptr; }
    int fd() const { return fd_; }

    // One framed property list: a 4-byte big-endian length and the body.
    bool readFrame(std::string* body, uint32_t maxLen);
    bool writeFrame(const std::string& body);

  private:
    int fd_;
    SSL* ssl_ = nullptr;
};

} // namespace viphone
