#include "agent.h"

#include "faults.h"
#include "session.h"
#include "wire.h"

#include <chrono>
#include <cstdio>
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

void Agent::serve(int fd) {
    {
        std::lock_guard<std::mutex> lock(fdsMutex_);
        if (stopped_) {
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
        activeFds_.insert(fd);
    }
    {
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
        }
    }
    std::lock_guard<std::mutex> lock(fdsMutex_);
    ::shutdown(fd, SHUT_RDWR);
    activeFds_.erase(fd);
}

} // namespace lab
