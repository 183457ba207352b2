// The command channel to the agent on a phone: a TCP connection to a local
// port that adb forwards to the agent's port on the phone. One exchange is a
// command text (plus optional attached bytes) and a reply of a 4-byte
// little-endian length followed by that many bytes.
//
// Every new connection begins with the agent's token, sent in the same
// write as the greeting "hello-android;"; an agent closes a connection that
// does not (agent/README.md). The token is never logged.
//
// Failures are never half-taken: a reply cut short, a length beyond the
// caller's buffer or a silent agent is an error, and the connection is closed
// and opened afresh before anything else is sent on it, so the rest of a bad
// reply can never be read as the answer to a later command.
//
// Retries: commands that only read (counts, pages, descriptions, file
// chunks by offset, existence checks) and the clears are sent up to three
// times. Commands that store or change something on the phone are sent at
// most once after their bytes went out: when their reply is lost the agent
// may already have stored the record, and sending it again could store it
// twice. They are retried only when the failure happened before any byte of
// the request left (no connection).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace greenlink {

enum class ExchangeStatus {
    Ok,
    NotConnected, // no connection could be made; nothing was sent
    SendFailed,   // the request could not be sent whole
    NoReply,      // nothing came back within the receive time-out, or EOF
    CutShort,     // fewer bytes than the length field announced
    Oversized,    // the announced length exceeds the caller's buffer
};

const char* exchangeStatusText(ExchangeStatus status);

// False only when adb answers and does not list the phone as attached ("device").
bool phoneStillListed(const char* serial);

// True for commands that may be sent again after their reply was lost.
bool isRepeatableCommand(const char* command);

// Reply length, least significant byte first.
int32_t decodeReplyLength(const unsigned char bytes[4]);

class TCPConnect {
  public:
    TCPConnect() = default;
    ~TCPConnect();
    TCPConnect(const TCPConnect&) = delete;
    TCPConnect& operator=(const TCPConnect&) = delete;

    // Forwards the port and connects; 0 or -1.
    int TCPConnectInit(uint16_t port, const char* serial);
    // Sets up the adb forwarding of `port` (the wanted local port) to the
    // agent's port (port - 10000). When the wanted port is held by someone
    // else, adb picks a free one; m_localPort is the port in use.
    int ConnectPreInit(uint16_t port);
    // Connects to the forwarded local port and checks that the agent answers:
    // the agent's token (agent_token.h) and the greeting go out in one write.
    int Socket_startup();
    void TCPConnectUnInit();
    // The program lets go of the phone: the connection is closed and the adb
    // forward of this channel removed (the next exchange makes a new one).
    void release();
    int reconnected();

    // One command and its reply, with the retry rules above. Returns the
    // number of reply bytes (0 for an empty reply, the first 4 bytes of the
    // buffer then zeroed) or -1.
    int SendCommandToAndroidServices(const char* command, char* reply, int capacity,
                                     const char* payload, int payloadLength, int attempt = 0);

    // Sends several write commands back to back and then reads their 4-byte
    // replies in order: one round trip instead of one per command. Like every
    // write they are sent once; when the channel fails part-way the values of
    // the commands without a reply are 0 and *complete is false.
    std::vector<int32_t> sendPipelined(const std::vector<std::string>& commands, bool* complete);

    bool connected() const { return m_sockSrv > 0; }
    // Cuts short an exchange in progress from another thread: the blocked
    // read or write returns at once.
    void interrupt();
    // Points the channel at a local port directly, without adb (tests).
    void setLocalPortForTests(uint16_t port) { m_localPort = port; }
    uint16_t localPort() const { return m_localPort; }

    uint16_t m_port = 0;     // the wanted local port (25531 / 25532)
    int m_sockSrv = 0;       // connected socket, 0 when not connected
    char m_serial[256] = {}; // the phone's serial
    std::mutex m_lock;       // held for a whole exchange
    std::mutex m_fdLock;     // closing or interrupting the socket; never held for an exchange

  private:
    ExchangeStatus exchangeOnce(const char* command, size_t commandLength, char* reply,
                                int capacity, const char* payload, int payloadLength, int* received,
                                bool* requestLeft);
    bool connectSocket();
    bool greet();
    void closeSocket();
    bool ensureConnected();
    // The agent stopped (after its idle time): starts it again with a new
    // token and greets it, within a bound; once until it answers again.
    bool revive();

    uint16_t m_localPort = 0; // the local port adb forwards now (0: none)
};

// Receive and send time-outs of every channel (60 s and 20 s by default).
void setChannelTimeouts(std::chrono::milliseconds receive, std::chrono::milliseconds send);

// The connection of phone position 0 or 1, created on first use (nullptr for
// other positions). The caller's reference keeps it open through an exchange
// even when the position lets go of it meanwhile.
std::shared_ptr<TCPConnect> channelFor(int deviceindex);
// Raised: every exchange in progress ends at once and none starts, and adb
// children are killed; lowered: channels work again.
void interruptChannels(bool on);
int AndroidConnectInit(int deviceindex);
// Closes the position's channel (its adb forward stays for the next one);
// an exchange in progress on it ends first.
void AndroidConnectUnInit(int deviceindex);
// Closes the position's channel and removes its adb forward.
void AndroidConnectRelease(int deviceindex);

// Connects the position's channel when needed and performs one exchange.
int SendCommandToAndroidServices(const char* command, char* reply, int capacity,
                                 const char* payload, int payloadLength, int deviceindex);

// Convenience forms over SendCommandToAndroidServices.
// The 4-byte reply as a signed 32-bit value; 0 when no reply came.
int32_t sendIntCommand(const std::string& command, int deviceindex, int* received = nullptr);
// The 8-byte reply as a signed 64-bit value; 0 when no reply came.
int64_t sendInt64Command(const std::string& command, int deviceindex);
// Write commands sent back to back, replies read in order (see sendPipelined).
std::vector<int32_t> sendIntCommandsPipelined(const std::vector<std::string>& commands,
                                              int deviceindex, bool* complete = nullptr);
// A text reply (at most capacity - 1 bytes); "" when none came.
std::string sendTextCommand(const std::string& command, int deviceindex, int capacity = 1024,
                            int* received = nullptr);

} // namespace greenlink
