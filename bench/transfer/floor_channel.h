// The smallest client of the agent's command channel: one TCP connection to
// a port that adb forwards to the agent, a command text out, a 4-byte
// little-endian length and that many bytes back. No locking, no retries, no
// log: the floor the transfer benchmark measures the library against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FloorChannel {
  public:
    FloorChannel() = default;
    ~FloorChannel();
    FloorChannel(const FloorChannel&) = delete;
    FloorChannel& operator=(const FloorChannel&) = delete;

    // Connects to 127.0.0.1:port, sends the agent's token with the greeting
    // and checks that the agent greets back.
    bool open(uint16_t port, const std::string& token);
    // One command and its whole reply; false when the reply did not arrive whole.
    bool exchange(const std::string& command, std::string* reply);
    // The reply read as a little-endian integer of 4 or 8 bytes; 0 when none came.
    int64_t exchangeInt(const std::string& command);
    // Commands sent back to back, then their short replies read in order.
    bool pipelined(const std::vector<std::string>& commands);

  private:
    bool readReply(std::string* reply);

    int m_fd = -1;
};
