#pragma once
// Loopback TCP helpers for the lab. Every function reports failure by its
// result and leaves errno as the system set it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace lab {

// Ignore SIGPIPE for the whole process: a peer that vanishes must show up as
// a failed write, not kill the lab.
void ignoreSigpipe();

// Listens on 127.0.0.1:port (0 picks a free one). Returns the socket or -1;
// the port actually bound is stored in *bound.
int listenLoopback(uint16_t port, uint16_t* bound);
int connectLoopback(uint16_t port);
// Port of a bound socket, 0 on failure.
uint16_t localPort(int fd);
// Picks a port that is free right now (bind to 0, read, close).
uint16_t pickFreePort();

bool readExact(int fd, void* buf, size_t len);
bool writeAll(int fd, const void* buf, size_t len);
inline bool writeAll(int fd, const std::string& s) { return writeAll(fd, s.data(), s.size()); }
// Reads one line (without the '\n'), at most maxLen bytes. False on EOF or error.
bool readLine(int fd, std::string& line, size_t maxLen = 4096);
void setNoDelay(int fd);
// Reads and counts whatever the peer sends for up to waitMs milliseconds, or
// until it closes the connection (then *closed is true). Returns the count.
size_t drainUntilClosed(int fd, int waitMs, bool* closed);
void closeFd(int& fd);

} // namespace lab
