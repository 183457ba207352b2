#include "agent.h"

#include "faults.h"
#include "session.h"
#include "wire.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <openssl/crypto.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace lab {

namespace {

// Sends the framed reply, acting out the reply faults. False when the
// connection must end.
bool sendReply(int fd, const std::string& body, const Faults& faults) {
    if (faults.cutBytes >= 0) {
        std::string whole = frame(body);
        std::size_t keep =
            body.empty()
                ? 0
                : std::min<std::size_t>(static_cast<std::size_t>(faults.cutBytes), body.size() - 1);
        sendAll(fd, std::string_view(whole).substr(0, 4 + keep));
        return false;
    }
    if (faults.oversizeBytes > 0) {
        std::string out = intReply(static_cast<int32_t>(body.size() + faults.oversizeBytes));
        out += body;
        return sendAll(fd, out) && !faults.dropAfterReply;
    }
    return sendAll(fd, frame(body));
}

} // namespace

Agent::Agent(const PhoneConfig& config) : config_(config) {}

Agent::~Agent() { stop(); }

void Agent::stop() {
    stopped_ = true;
    std::lock_guard<std::mutex> lock(fdsMutex_);
    for (int fd : activeFds_)
        ::shutdown(fd, SHUT_RDWR);
}

bool Agent::setToken(const std::string& token) {
    bool usable = token.size() >= 32 && token.size() <= 128 &&
                  token.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    std::lock_guard<std::mutex> lock(doorMutex_);
    token_ = usable ? token : std::string();
    lastActivity_ = std::chrono::steady_clock::now(); // a start: the idle time begins anew
    return usable;
}

double Agent::idleSeconds() const {
    std::lock_guard<std::mutex> lock(doorMutex_);
    if (admitted_ > 0)
        return 0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - lastActivity_).count();
}

void Agent::touch(int admittedChange) {
    std::lock_guard<std::mutex> lock(doorMutex_);
    admitted_ += admittedChange;
    lastActivity_ = std::chrono::steady_clock::now();
}

bool Agent::admit(int fd) {
    std::string token;
    {
        std::lock_guard<std::mutex> lock(doorMutex_);
        token = token_;
    }
    if (token.empty())
        return false;
    // Exactly the token's length: what follows is the first command's.
    std::string got(token.size(), '\0');
    std::size_t have = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(config_.greetingMillis);
    while (have < got.size()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        end - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || stopped_)
            return false;
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (r < 0 && errno != EINTR)
            return false;
        if (r <= 0)
            continue;
        ssize_t n = ::recv(fd, got.data() + have, got.size() - have, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            return false;
        if (n > 0)
            have += static_cast<std::size_t>(n);
    }
    return CRYPTO_memcmp(got.data(), token.data(), token.size()) == 0;
}

void Agent::serve(int fd) {
    {
        std::lock_guard<std::mutex> lock(fdsMutex_);
        if (stopped_) {
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
        activeFds_.insert(fd);
    }
    // A connection without the token is closed unanswered, and nothing of
    // it is logged.
    const bool admitted = admit(fd);
    if (admitted) {
        touch(+1);
        FdReader reader(fd);
        Session session(config_, reader);
        std::string command;
        while (!stopped_) {
            auto status = reader.readCommand(command);
            if (status == FdReader::Status::TooLong)
                std::fprintf(stderr, "agent %s: command longer than %zu bytes\n",
                             config_.serial.c_str(), kMaxCommandBytes);
            if (status != FdReader::Status::Ok)
                break;
            Faults faults = takeFaults(config_.dir, command);
            auto reply = session.handle(command, faults);
            if (!reply)
                break;
            for (int waited = 0; waited < faults.stallSeconds * 20 && !stopped_; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (stopped_ || !sendReply(fd, *reply, faults))
                break;
            touch(0);
        }
    }
    if (admitted)
        touch(-1);
    std::lock_guard<std::mutex> lock(fdsMutex_);
    ::shutdown(fd, SHUT_RDWR);
    activeFds_.erase(fd);
}

} // namespace lab
