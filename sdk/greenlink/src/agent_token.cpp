#include "agent_token.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace greenlink {
namespace {

struct Door {
    std::string token;
    bool answered = false;     // the agent answered since this token's start
    bool revivalSpent = false; // a revival was tried since it last answered
};

std::mutex g_doorsMutex;
std::map<std::string, Door> g_doors;

bool systemRandom(unsigned char* out, size_t length) {
    size_t got = 0;
    while (got < length) {
        ssize_t n = getrandom(out + got, length - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got == length)
        return true;
    // Kernels before 3.17 have no getrandom.
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    got = 0;
    while (got < length) {
        ssize_t n = read(fd, out + got, length - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    return got == length;
}

} // namespace

void wipeText(std::string& text) {
    if (!text.empty())
        explicit_bzero(text.data(), text.size());
    text.clear();
}

std::string makeAgentToken() {
    unsigned char bytes[kAgentTokenBytes];
    if (!systemRandom(bytes, sizeof bytes)) {
        explicit_bzero(bytes, sizeof bytes);
        return {};
    }
    static const char digits[] = "0123456789ABCDEF";
    std::string token;
    token.reserve(2 * sizeof bytes);
    for (unsigned char b : bytes) {
        token.push_back(digits[b >> 4]);
        token.push_back(digits[b & 15]);
    }
    explicit_bzero(bytes, sizeof bytes);
    return token;
}

std::string agentTokenFor(const std::string& serial) {
    std::lock_guard lock(g_doorsMutex);
    auto it = g_doors.find(serial);
    return it == g_doors.end() ? std::string() : it->second.token;
}

void rememberAgentToken(const std::string& serial, const std::string& token) {
    std::lock_guard lock(g_doorsMutex);
    Door& door = g_doors[serial];
    wipeText(door.token);
    door.token = token;
    door.answered = false;
    door.revivalSpent = false;
}

void forgetAgentToken(const std::string& serial) {
    std::lock_guard lock(g_doorsMutex);
    auto it = g_doors.find(serial);
    if (it == g_doors.end())
        return;
    wipeText(it->second.token);
    g_doors.erase(it);
}

void forgetAllAgentTokens() {
    std::lock_guard lock(g_doorsMutex);
    for (auto& [serial, door] : g_doors)
        wipeText(door.token);
    g_doors.clear();
}

void noteAgentAnswered(const std::string& serial) {
    std::lock_guard lock(g_doorsMutex);
    auto it = g_doors.find(serial);
    if (it == g_doors.end())
        return;
    it->second.answered = true;
    it->second.revivalSpent = false;
}

bool takeAgentRevival(const std::string& serial) {
    std::lock_guard lock(g_doorsMutex);
    auto it = g_doors.find(serial);
    if (it == g_doors.end() || !it->second.answered || it->second.revivalSpent)
        return false;
    it->second.revivalSpent = true;
    return true;
}

} // namespace greenlink
