// A tiny client of the agent for tests: one Agent serving one end of a
// socketpair on a thread, in a fresh phone folder under the test build
// folder.
#pragma once

#include "agent.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace labtest {

// Phone folders of this test process, removed when the tests end.
class PhoneFolders : public ::testing::Environment {
  public:
    static std::vector<std::string>& made() {
        static std::vector<std::string> dirs;
        return dirs;
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& dir : made())
            std::filesystem::remove_all(dir, ec);
    }
};

inline std::string freshDir(const std::string& tag) {
    static bool registered = (::testing::AddGlobalTestEnvironment(new PhoneFolders), true);
    (void)registered;
    std::string base = std::string(KESTROVA_TEST_BUILD_DIR) + "/lab_agent_tmp";
    std::filesystem::create_directories(base);
    std::string pattern = base + "/" + tag + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        ADD_FAILURE() << "mkdtemp failed";
    PhoneFolders::made().push_back(pattern);
    return pattern;
}

// Raw framing access, for the fault tests.
struct RawReply {
    bool gotHeader = false;
    int32_t length = 0;
    std::string bytes; // what arrived before the end or the expected length
    bool closed = false;
};

// The token of the tests' agent starts, as the desktop makes one: 64
// hexadecimal digits.
inline const std::string kTestToken =
    "5F0C2A9E71B4D8630E1F2A3B4C5D6E7F8091A2B3C4D5E6F708192A3B4C5D6E7F";

class AgentConnection {
  public:
    // An agent started with kTestToken; each connection opens with it.
    explicit AgentConnection(const lab::PhoneConfig& config) : agent_(config) {
        agent_.setToken(kTestToken);
        connect();
    }
    ~AgentConnection() { disconnect(); }

    lab::Agent& agent() { return agent_; }

    void connect() {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        client_ = fds[0];
        server_ = fds[1];
        thread_ = std::thread([this] { agent_.serve(server_); });
        ASSERT_TRUE(lab::sendAll(client_, kTestToken));
    }

    // Closes the client end and waits for serve() to return.
    void disconnect() {
        if (client_ < 0)
            return;
        ::shutdown(client_, SHUT_RDWR);
        thread_.join();
        ::close(client_);
        ::close(server_);
        client_ = server_ = -1;
    }

    void send(const std::string& command, const std::string& payload = {}) {
        ASSERT_TRUE(lab::sendAll(client_, command + payload));
    }

    RawReply readRaw() {
        RawReply r;
        std::string header;
        if (!readUpTo(4, header)) {
            r.closed = true;
            return r;
        }
        r.gotHeader = true;
        r.length = static_cast<int32_t>(
            static_cast<uint8_t>(header[0]) | static_cast<uint8_t>(header[1]) << 8 |
            static_cast<uint8_t>(header[2]) << 16 |
            static_cast<uint32_t>(static_cast<uint8_t>(header[3])) << 24);
        if (r.length > 0)
            r.closed = !readUpTo(static_cast<std::size_t>(r.length), r.bytes);
        return r;
    }

    std::string reply(const std::string& command, const std::string& payload = {}) {
        send(command, payload);
        RawReply r = readRaw();
        EXPECT_TRUE(r.gotHeader && !r.closed) << command.substr(0, 80);
        return r.bytes;
    }

    int32_t intReply(const std::string& command, const std::string& payload = {}) {
        std::string r = reply(command, payload);
        EXPECT_EQ(r.size(), 4u) << command.substr(0, 80);
        return r.size() == 4 ? toInt<int32_t>(r) : INT32_MIN;
    }

    int64_t int64Reply(const std::string& command) {
        std::string r = reply(command);
        EXPECT_EQ(r.size(), 8u) << command.substr(0, 80);
        return r.size() == 8 ? toInt<int64_t>(r) : INT64_MIN;
    }

    // Decodes a records reply into one key->value map per record.
    static std::vector<std::map<std::string, std::string>> records(const std::string& text) {
        std::vector<std::map<std::string, std::string>> out;
        std::map<std::string, std::string> current;
        std::size_t i = 0;
        while (i < text.size()) {
            if (text[i] == '.') {
                out.push_back(std::move(current));
                current.clear();
                ++i;
                continue;
            }
            auto colon = text.find(':', i), semi = text.find(';', i);
            if (colon == std::string::npos || semi == std::string::npos || semi < colon) {
                ADD_FAILURE() << "malformed reply at " << i;
                break;
            }
            auto value = lab::hexDecode(text.substr(colon + 1, semi - colon - 1));
            EXPECT_TRUE(value.has_value());
            current[text.substr(i, colon - i)] = value.value_or("");
            i = semi + 1;
        }
        EXPECT_TRUE(current.empty()) << "record without its closing dot";
        return out;
    }

    int client() const { return client_; }

  private:
    template <class T> static T toInt(const std::string& r) {
        uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<uint64_t>(static_cast<uint8_t>(r[i])) << (8 * i);
        return static_cast<T>(v);
    }

    bool readUpTo(std::size_t count, std::string& out) {
        char buf[65536];
        while (out.size() < count) {
            ssize_t n = ::recv(client_, buf, std::min(sizeof buf, count - out.size()), 0);
            if (n <= 0)
                return false;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }

    lab::Agent agent_;
    int client_ = -1, server_ = -1;
    std::thread thread_;
};

inline lab::PhoneConfig phoneConfig(const std::string& tag, int sdk = 29) {
    lab::PhoneConfig c;
    c.dir = freshDir(tag);
    c.serial = "127.0.0.1:5555";
    c.model = "Virtual";
    c.manufacturer = "Kestrova Lab";
    c.androidVersion = sdk >= 29 ? "10" : "4.2.2";
    c.sdk = sdk;
    return c;
}

inline std::string hex(const std::string& s) { return lab::hexEncode(s); }

} // namespace labtest
