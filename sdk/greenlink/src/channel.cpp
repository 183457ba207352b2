#include "channel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "adb_socket.h"
#include "agent_lifecycle.h"
#include "agent_token.h"
#include "device_table.h"
#include "greenlink_log.h"
#include "runner.h"

namespace greenlink {
// True unless adb answers that the phone is no longer attached: a phone
// pulled out leaves a forwarded connection silent rather than closed, and
// waiting out the receive time-out would leave the user looking at a still
// window for a minute. When adb itself does not answer, the phone counts as
// there (the time-out still ends the wait).
bool phoneStillListed(const char* serial) {
    if (!serial || !*serial)
        return true;
    std::string out;
    if (!runAdbCapture({"devices"}, 3, true, &out).succeeded() ||
        out.find("List of devices attached") == std::string::npos)
        return true;
    const std::string line = std::string("\n") + serial + "\t";
    const size_t at = ("\n" + out).find(line);
    return at != std::string::npos && out.compare(at + line.size() - 1, 6, "device") == 0;
}

namespace {

std::atomic<long long> g_receiveTimeoutMs{60000};
std::atomic<long long> g_sendTimeoutMs{20000};

constexpr uint16_t kPortOffsetOnPhone = 10000;
constexpr int kMaxAttempts = 3;
// Raised by a cancel: no exchange starts or goes on until it is lowered.
std::atomic<bool> g_interrupted{false};

// The start of a command for the log: commands can carry kilobytes of hex.
std::string logText(const char* command) {
    std::string text(command, strnlen(command, 80));
    if (command[text.size()] != '\0')
        text += "...";
    return text;
}

void setTimeout(int fd, int option, long long ms) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    if (setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv) != 0)
        WriteLog("setsockopt: %s\n", std::strerror(errno));
}

// Delayed ACKs plus Nagle on the forwarding path cost ~40 ms whenever the
// phone splits a reply; quick-ack mode has to be re-armed after every recv
// because the kernel leaves it on its own.
void rearmQuickAck(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

// Reads up to `length` bytes; returns how many arrived before EOF, an error
// or the receive time-out.
// Silence longer than this makes a waiting read ask whether the phone is
// still attached.
constexpr int kPresenceSliceMs = 1000;

size_t receiveAll(int fd, char* into, size_t length, const char* serial = nullptr) {
    size_t got = 0;
    long long silentMs = 0;
    while (got < length) {
        if (serial) {
            const int slice = static_cast<int>(
                std::clamp<long long>(g_receiveTimeoutMs.load(), 1, kPresenceSliceMs));
            pollfd p{fd, POLLIN, 0};
            const int ready = poll(&p, 1, slice);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0) {
                silentMs += slice;
                if (silentMs >= g_receiveTimeoutMs || !phoneStillListed(serial))
                    break;
                continue;
            }
            silentMs = 0;
        }
        ssize_t n = recv(fd, into + got, length - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
        rearmQuickAck(fd);
    }
    return got;
}

// Sends the command and the attached bytes in one go (one segment when they
// fit), handling partial writes. Returns the number of bytes that left.
size_t sendAll(int fd, const char* command, size_t commandLength, const char* payload,
               size_t payloadLength) {
    iovec parts[2] = {{const_cast<char*>(command), commandLength},
                      {const_cast<char*>(payload), payloadLength}};
    size_t total = commandLength + payloadLength, sent = 0;
    int first = 0, count = payloadLength ? 2 : 1;
    while (sent < total) {
        msghdr msg{};
        msg.msg_iov = parts + first;
        msg.msg_iovlen = static_cast<size_t>(count - first);
        ssize_t n = sendmsg(fd, &msg, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
        size_t left = static_cast<size_t>(n);
        while (first < count && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (first < count) {
            parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
    return sent;
}

// True when the connection holds nothing unread and the peer has not closed
// it: a clean place to send the next command.
bool connectionIsClean(int fd) {
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, 0);
    if (r == 0)
        return true;
    return false; // unread bytes, EOF or an error: start afresh
}

} // namespace

const char* exchangeStatusText(ExchangeStatus status) {
    switch (status) {
    case ExchangeStatus::Ok:
        return "ok";
    case ExchangeStatus::NotConnected:
        return "not connected";
    case ExchangeStatus::SendFailed:
        return "send failed";
    case ExchangeStatus::NoReply:
        return "no reply";
    case ExchangeStatus::CutShort:
        return "reply cut short";
    case ExchangeStatus::Oversized:
        return "reply larger than the buffer";
    }
    return "?";
}

bool isRepeatableCommand(const char* command) {
    static const char* const repeatable[] = {"hello-android",
                                             "GetDefaultMessage_pkgName",
                                             "getsmsCount",
                                             "getsmsPart10",
                                             "getsmsRange",
                                             "getcontactCount",
                                             "getcontactpart10",
                                             "getcontactRange",
                                             "getcalllogcount",
                                             "getcalllogpart10",
                                             "getcalllogRange",
                                             "getcalendarcount",
                                             "getcalendarpart10",
                                             "getcalendarRange",
                                             "ClearSMS",
                                             "ClearPerson",
                                             "ClearCallHistory",
                                             "ClearCalender",
                                             "flushphotolist",
                                             "flushmusiclist",
                                             "flushvideolist",
                                             "flushapplist",
                                             "getdcimcount",
                                             "getmusiccount",
                                             "getvideocount",
                                             "getappcount",
                                             "getdcimindexinfo",
                                             "getmusicindexinfo",
                                             "getvideoindexinfo",
                                             "getappindexinfo",
                                             "getdcimthumb",
                                             "getmusicthumb",
                                             "ClearPhotos",
                                             "ClearMusic",
                                             "ClearVideos",
                                             "checkFileisExist",
                                             "checkMusicFileisExist",
                                             "checkVideoFileisExist",
                                             "getExternalStoragePath",
                                             "getfilepathForid",
                                             "GetMusicPathById",
                                             "GetVideoPathById",
                                             "getdcimdata",
                                             "exportfilefromdevice_music",
                                             "exportfilefromdevice_video"};
    if (!command)
        return false;
    size_t nameLength = std::strcspn(command, ":;");
    for (const char* name : repeatable)
        if (std::strlen(name) == nameLength && std::strncmp(name, command, nameLength) == 0)
            return true;
    return false;
}

int32_t decodeReplyLength(const unsigned char bytes[4]) {
    uint32_t v = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                 static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(v);
}

void setChannelTimeouts(std::chrono::milliseconds receive, std::chrono::milliseconds send) {
    g_receiveTimeoutMs = receive.count();
    g_sendTimeoutMs = send.count();
}

TCPConnect::~TCPConnect() { TCPConnectUnInit(); }

int TCPConnect::TCPConnectInit(uint16_t port, const char* serial) {
    m_port = port;
    std::snprintf(m_serial, sizeof m_serial, "%.254s", serial ? serial : "");
    if (ConnectPreInit(port) != 0)
        return -1;
    return Socket_startup();
}

int TCPConnect::ConnectPreInit(uint16_t port) {
    if (!m_serial[0])
        return -1;
    std::string serial = m_serial;
    std::string remote = "tcp:" + std::to_string(port - kPortOffsetOnPhone);
    std::string out;
    if (m_localPort != 0) {
        // Only our own earlier forwarding goes; the other position's stays.
        runAdbCapture({"-s", serial, "forward", "--remove", "tcp:" + std::to_string(m_localPort)},
                      6, true, &out);
        m_localPort = 0;
    }
    RunResult r = runAdbCapture({"-s", serial, "forward", "tcp:" + std::to_string(port), remote},
                                11, true, &out);
    if (r.succeeded()) {
        m_localPort = port;
        return 0;
    }
    // The fixed port is held (another adb server, another program): let adb
    // choose a free one; it prints the number.
    r = runAdbCapture({"-s", serial, "forward", "tcp:0", remote}, 11, true, &out);
    long chosen = std::strtol(out.c_str(), nullptr, 10);
    if (!r.succeeded() || chosen <= 0 || chosen > 65535) {
        WriteLog("forward for %s failed: %s\n", m_serial, out.c_str());
        return -1;
    }
    m_localPort = static_cast<uint16_t>(chosen);
    WriteLog("port %u was taken; forwarding local port %u\n", port, m_localPort);
    return 0;
}

bool TCPConnect::connectSocket() {
    if (m_localPort == 0)
        return false;
    signal(SIGPIPE, SIG_IGN);
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_localPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        WriteLog("connect fail ! connect: %s\n", std::strerror(errno));
        close(fd);
        return false;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setTimeout(fd, SO_RCVTIMEO, g_receiveTimeoutMs);
    setTimeout(fd, SO_SNDTIMEO, g_sendTimeoutMs);
    std::lock_guard fdLock(m_fdLock);
    m_sockSrv = fd;
    return true;
}

void TCPConnect::interrupt() {
    std::lock_guard fdLock(m_fdLock);
    if (m_sockSrv > 0)
        shutdown(m_sockSrv, SHUT_RDWR);
}

// adb accepts a connection on the forwarded port even when nothing answers on
// the phone (it closes it a moment later), so a connection counts only once
// the agent has answered the greeting on it. The token goes first, in the
// same segment: the door costs no round trip.
bool TCPConnect::greet() {
    std::string first = agentTokenFor(m_serial) + "hello-android;";
    char reply[64] = {};
    int received = 0;
    bool left = false;
    ExchangeStatus st = exchangeOnce(first.data(), first.size(), reply, sizeof reply - 1, nullptr,
                                     0, &received, &left);
    wipeText(first);
    bool answered = st == ExchangeStatus::Ok && std::strcmp(reply, "HI-PC") == 0;
    if (answered && m_serial[0])
        noteAgentAnswered(m_serial);
    return answered;
}

int TCPConnect::Socket_startup() {
    if (!connectSocket())
        return -1;
    if (!greet()) {
        closeSocket();
        return -1;
    }
    return 0;
}

void TCPConnect::closeSocket() {
    std::lock_guard fdLock(m_fdLock);
    if (m_sockSrv > 0)
        close(m_sockSrv);
    m_sockSrv = 0;
}

void TCPConnect::TCPConnectUnInit() { closeSocket(); }

void TCPConnect::release() {
    closeSocket();
    // Every forward of this phone to the agent's ports goes, also one an
    // earlier channel of this position left (a preparation's retries).
    if (m_localPort != 0 && m_serial[0])
        removeAgentForwards(m_serial);
    m_localPort = 0;
}

int TCPConnect::reconnected() {
    closeSocket();
    std::string serial = m_serial;
    return TCPConnectInit(m_port, serial.c_str());
}

bool TCPConnect::ensureConnected() {
    if (m_sockSrv > 0 && connectionIsClean(m_sockSrv))
        return true;
    closeSocket();
    // The forwarding usually survives; after an adb server restart (or once
    // the program let go of the phone) it is gone and is set up again.
    if (Socket_startup() == 0)
        return true;
    if (ConnectPreInit(m_port) != 0)
        return false;
    if (Socket_startup() == 0)
        return true;
    return revive();
}

bool TCPConnect::revive() {
    if (g_interrupted || !m_serial[0] || !takeAgentRevival(m_serial))
        return false;
    if (!restartAgent(m_serial))
        return false;
    // A phone brings up the app, its service and its socket one by one.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!g_interrupted) {
        if (Socket_startup() == 0)
            return true;
        if (std::chrono::steady_clock::now() >= giveUp)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    WriteLog("the agent on %s did not answer after its new start\n", m_serial);
    return false;
}

ExchangeStatus TCPConnect::exchangeOnce(const char* command, size_t commandLength, char* reply,
                                        int capacity, const char* payload, int payloadLength,
                                        int* received, bool* requestLeft) {
    *received = 0;
    size_t attached = payload && payloadLength > 0 ? static_cast<size_t>(payloadLength) : 0;
    size_t sent = sendAll(m_sockSrv, command, commandLength, payload, attached);
    *requestLeft = sent > 0;
    if (sent != commandLength + attached)
        return ExchangeStatus::SendFailed;
    unsigned char lengthBytes[4];
    size_t got = receiveAll(m_sockSrv, reinterpret_cast<char*>(lengthBytes), 4, m_serial);
    if (got == 0)
        return ExchangeStatus::NoReply;
    if (got < 4)
        return ExchangeStatus::CutShort;
    int32_t length = decodeReplyLength(lengthBytes);
    if (length < 0 || length > capacity)
        return ExchangeStatus::Oversized;
    if (length == 0) {
        if (reply && capacity > 0)
            std::memset(reply, 0, static_cast<size_t>(std::min(capacity, 4)));
        return ExchangeStatus::Ok;
    }
    got = receiveAll(m_sockSrv, reply, static_cast<size_t>(length), m_serial);
    if (got < static_cast<size_t>(length))
        return ExchangeStatus::CutShort;
    *received = length;
    return ExchangeStatus::Ok;
}

int TCPConnect::SendCommandToAndroidServices(const char* command, char* reply, int capacity,
                                             const char* payload, int payloadLength, int attempt) {
    if (!command)
        return -1;
    size_t commandLength = std::strlen(command);
    if (commandLength == 0 || attempt >= kMaxAttempts || !reply || capacity < 0) {
        WriteLog("error SendCommandToAndroidServices cmd = %s, m_sockSrv =%d, try_count = %d\n",
                 logText(command).c_str(), m_sockSrv, attempt);
        return -1;
    }
    std::lock_guard lock(m_lock);
    bool repeatable = isRepeatableCommand(command);
    for (int a = attempt; a < kMaxAttempts && !g_interrupted; ++a) {
        if (!ensureConnected()) {
            WriteLog("error SendCommandToAndroidServices cmd = %s: no connection to %s (try %d)\n",
                     logText(command).c_str(), m_serial, a);
            // A phone adb no longer lists is gone: trying again only
            // delays the report that it was unplugged.
            if (!phoneStillListed(m_serial))
                break;
            continue;
        }
        int received = 0;
        bool requestLeft = false;
        ExchangeStatus st = exchangeOnce(command, commandLength, reply, capacity, payload,
                                         payloadLength, &received, &requestLeft);
        if (st == ExchangeStatus::Ok)
            return received;
        WriteLog("SendCommandToAndroidServices error:cmd=%s (%s)\n", logText(command).c_str(),
                 exchangeStatusText(st));
        // Whatever is left of a bad reply must never be read as a later
        // answer: this connection is finished.
        closeSocket();
        if (requestLeft && !repeatable) {
            WriteLog("not sent again: the phone may have acted on it\n");
            break;
        }
    }
    if (capacity > 0)
        std::memset(reply, 0, static_cast<size_t>(std::min(capacity, 8)));
    return -1;
}

std::vector<int32_t> TCPConnect::sendPipelined(const std::vector<std::string>& commands,
                                               bool* complete) {
    std::vector<int32_t> values(commands.size(), 0);
    *complete = false;
    if (commands.empty()) {
        *complete = true;
        return values;
    }
    std::lock_guard lock(m_lock);
    if (g_interrupted || !ensureConnected()) {
        WriteLog("pipelined commands: no connection to %s\n", m_serial);
        return values;
    }
    std::string all;
    for (const std::string& c : commands)
        all += c;
    // The agent answers each command before it reads the next, and the
    // replies are a few bytes each, so neither side can block the other.
    if (sendAll(m_sockSrv, all.data(), all.size(), nullptr, 0) != all.size()) {
        WriteLog("pipelined commands: send failed\n");
        closeSocket();
        return values;
    }
    for (size_t i = 0; i < commands.size(); ++i) {
        unsigned char header[4];
        char body[8] = {};
        if (receiveAll(m_sockSrv, reinterpret_cast<char*>(header), 4, m_serial) != 4) {
            WriteLog("pipelined commands: reply %zu of %zu missing\n", i + 1, commands.size());
            closeSocket();
            return values;
        }
        int32_t length = decodeReplyLength(header);
        if (length < 0 || length > static_cast<int32_t>(sizeof body) ||
            receiveAll(m_sockSrv, body, static_cast<size_t>(length), m_serial) !=
                static_cast<size_t>(length)) {
            WriteLog("pipelined commands: bad reply %zu (%d bytes)\n", i + 1, length);
            closeSocket();
            return values;
        }
        if (length >= 4)
            std::memcpy(&values[i], body, 4);
    }
    *complete = true;
    return values;
}

namespace {

// The positions' channels. A caller holds its own reference for the whole of
// an exchange, so a channel replaced or let go meanwhile (UnInit, Release) is
// closed only once that exchange has ended.
std::mutex g_channelsMutex;
std::shared_ptr<TCPConnect> st_androidTCPconn;
std::shared_ptr<TCPConnect> st_2androidTCPconn;

constexpr uint16_t kChannelPorts[2] = {25531, 25532};

// Points the channel at the phone now at its position; 0 or -1.
int aimChannel(TCPConnect& channel, int deviceindex) {
    std::lock_guard lock(channel.m_lock);
    if (channel.m_sockSrv > 0)
        return 0;
    std::string serial = deviceSerial(deviceindex);
    if (serial.empty())
        return -1;
    if (serial != channel.m_serial || channel.m_port == 0) {
        channel.m_port = kChannelPorts[deviceindex];
        std::snprintf(channel.m_serial, sizeof channel.m_serial, "%.254s", serial.c_str());
    }
    return 0; // the exchange connects (and forwards) on demand
}

// The position's channel aimed at its phone, or null.
std::shared_ptr<TCPConnect> aimedChannel(int deviceindex) {
    std::shared_ptr<TCPConnect> channel = channelFor(deviceindex);
    if (!channel || aimChannel(*channel, deviceindex) != 0)
        return nullptr;
    return channel;
}

} // namespace

std::shared_ptr<TCPConnect> channelFor(int deviceindex) {
    if (deviceindex != 0 && deviceindex != 1)
        return nullptr;
    std::lock_guard lock(g_channelsMutex);
    std::shared_ptr<TCPConnect>& slot = deviceindex == 0 ? st_androidTCPconn : st_2androidTCPconn;
    if (!slot)
        slot = std::make_shared<TCPConnect>();
    return slot;
}

int AndroidConnectInit(int deviceindex) { return aimedChannel(deviceindex) ? 0 : -1; }

void AndroidConnectUnInit(int deviceindex) {
    if (deviceindex != 0 && deviceindex != 1)
        return;
    std::shared_ptr<TCPConnect> gone;
    {
        std::lock_guard lock(g_channelsMutex);
        gone = std::move(deviceindex == 0 ? st_androidTCPconn : st_2androidTCPconn);
    }
    // Closed here, or by the last exchange still holding it.
}

void AndroidConnectRelease(int deviceindex) {
    if (deviceindex != 0 && deviceindex != 1)
        return;
    std::shared_ptr<TCPConnect> gone;
    {
        std::lock_guard lock(g_channelsMutex);
        gone = std::move(deviceindex == 0 ? st_androidTCPconn : st_2androidTCPconn);
    }
    if (!gone)
        return;
    gone->interrupt(); // an exchange in hand ends at once
    std::lock_guard exchange(gone->m_lock);
    gone->release();
}

int SendCommandToAndroidServices(const char* command, char* reply, int capacity,
                                 const char* payload, int payloadLength, int deviceindex) {
    std::shared_ptr<TCPConnect> channel = aimedChannel(deviceindex);
    if (!channel) {
        WriteLog("SendCommandToAndroidServices: no channel for position %d\n", deviceindex);
        if (reply && capacity > 0)
            std::memset(reply, 0, static_cast<size_t>(std::min(capacity, 8)));
        return -1;
    }
    return channel->SendCommandToAndroidServices(command, reply, capacity, payload, payloadLength,
                                                 0);
}

int32_t sendIntCommand(const std::string& command, int deviceindex, int* received) {
    char reply[4] = {};
    int n =
        SendCommandToAndroidServices(command.c_str(), reply, sizeof reply, nullptr, 0, deviceindex);
    if (received)
        *received = n;
    int32_t value = 0;
    if (n >= 4)
        std::memcpy(&value, reply, sizeof value);
    return value;
}

int64_t sendInt64Command(const std::string& command, int deviceindex) {
    char reply[8] = {};
    int n =
        SendCommandToAndroidServices(command.c_str(), reply, sizeof reply, nullptr, 0, deviceindex);
    int64_t value = 0;
    if (n >= 8)
        std::memcpy(&value, reply, sizeof value);
    else if (n >= 4) {
        int32_t v32 = 0;
        std::memcpy(&v32, reply, sizeof v32);
        value = v32;
    }
    return value;
}

std::vector<int32_t> sendIntCommandsPipelined(const std::vector<std::string>& commands,
                                              int deviceindex, bool* complete) {
    bool done = false;
    std::vector<int32_t> values(commands.size(), 0);
    if (std::shared_ptr<TCPConnect> channel = aimedChannel(deviceindex))
        values = channel->sendPipelined(commands, &done);
    if (complete)
        *complete = done;
    return values;
}

std::string sendTextCommand(const std::string& command, int deviceindex, int capacity,
                            int* received) {
    std::vector<char> reply(static_cast<size_t>(capacity) + 1, '\0');
    int n = SendCommandToAndroidServices(command.c_str(), reply.data(), capacity, nullptr, 0,
                                         deviceindex);
    if (received)
        *received = n;
    if (n <= 0)
        return {};
    return std::string(reply.data(), strnlen(reply.data(), static_cast<size_t>(n)));
}

void interruptChannels(bool on) {
    g_interrupted = on;
    if (!on)
        return;
    for (int device : {0, 1})
        if (std::shared_ptr<TCPConnect> channel = channelFor(device))
            channel->interrupt();
    abortRunningChildren();
    abortAdbSocketExchanges();
}

} // namespace greenlink
