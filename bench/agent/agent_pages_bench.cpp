// Pages per second from the agent's real core (agent/, on the host JVM) and
// from the lab's own agent, on the same phone store in the same run: both
// serve the store over loopback TCP, one client pages through every kind,
// alternating whole passes between the two, and the ratio is printed. Then
// the door's price: a new connection that opens with the token and the
// greeting, against the greeting on a connection already open. A program,
// not a test.
//
//   agent_pages_bench [--records N] [--seconds S] [--dir DIR]
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "agent.h"
#include "android/java_agent.h"
#include "common/net.h"
#include "fixtures.h"

namespace {

struct Kind {
    const char *name, *count, *page; // page: the command up to its number
};

const Kind kKinds[] = {{"messages", "getsmsCount;", "getsmsPart10:"},
                       {"contacts", "getcontactCount;", "getcontactpart10:"},
                       {"calls", "getcalllogcount;", "getcalllogpart10:"},
                       {"events", "getcalendarcount;", "getcalendarpart10:"}};

// One command, one reply; the reply body, or nothing when the channel broke.
bool exchange(int fd, const std::string& command, std::string& body) {
    if (!lab::writeAll(fd, command))
        return false;
    unsigned char head[4];
    if (!lab::readExact(fd, head, 4))
        return false;
    uint32_t n = head[0] | head[1] << 8 | head[2] << 16 | static_cast<uint32_t>(head[3]) << 24;
    body.resize(n);
    return n == 0 || lab::readExact(fd, body.data(), n);
}

int32_t intReply(int fd, const std::string& command) {
    std::string body;
    if (!exchange(fd, command, body) || body.size() != 4)
        return -1;
    int32_t v;
    std::memcpy(&v, body.data(), 4);
    return v;
}

// One pass through every page of a kind; the number of pages, 0 when the
// channel broke. Adds the seconds it took to *elapsed.
long long onePass(int fd, const Kind& kind, int count, double* elapsed, long long* bytes) {
    auto start = std::chrono::steady_clock::now();
    long long pages = 0;
    std::string body;
    for (int at = 0; at < count; at += 5) {
        if (!exchange(fd, kind.page + std::to_string(at) + ";", body))
            return 0;
        ++pages;
        *bytes += static_cast<long long>(body.size());
    }
    *elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return pages;
}

// Pages per second of both agents on one kind. The passes alternate between
// them, so a machine that gets busier or quieter meanwhile weighs on both.
void compare(int labFd, int javaFd, const Kind& kind, double seconds, double* lab, double* java) {
    int count = intReply(labFd, kind.count);
    *lab = *java = 0;
    if (count <= 0 || intReply(javaFd, kind.count) != count)
        return;
    double labTime = 0, javaTime = 0, warm = 0;
    long long labPages = 0, javaPages = 0, bytes = 0;
    // Warm-up: the JVM compiles its hot paths.
    while (warm < seconds / 3 && onePass(javaFd, kind, count, &warm, &bytes) > 0)
        onePass(labFd, kind, count, &warm, &bytes);
    while (labTime + javaTime < 2 * seconds) {
        long long l = onePass(labFd, kind, count, &labTime, &bytes);
        long long j = onePass(javaFd, kind, count, &javaTime, &bytes);
        if (l == 0 || j == 0)
            return;
        labPages += l;
        javaPages += j;
    }
    *lab = static_cast<double>(labPages) / labTime;
    *java = static_cast<double>(javaPages) / javaTime;
}

// A connection through the agent's door: the token goes first, unanswered.
int connectTo(uint16_t port, const std::string& token) {
    int fd = lab::connectLoopback(port);
    if (fd >= 0)
        lab::setNoDelay(fd);
    if (fd >= 0 && !lab::writeAll(fd, token)) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string randomToken() {
    std::random_device random;
    static const char digits[] = "0123456789ABCDEF";
    std::string token;
    for (int i = 0; i < 64; ++i)
        token.push_back(digits[random() & 15]);
    return token;
}

// Microseconds per greeting: on fresh connections (connect, token and
// greeting in one write, reply, close) and on the open connection.
void greetingCost(uint16_t port, int openFd, const std::string& token, int rounds, double* fresh,
                  double* open) {
    std::string body;
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        int fd = lab::connectLoopback(port);
        if (fd < 0)
            return;
        lab::setNoDelay(fd);
        bool ok = exchange(fd, token + "hello-android;", body) && body == "HI-PC";
        close(fd);
        if (!ok)
            return;
    }
    auto t1 = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        if (!exchange(openFd, "hello-android;", body))
            return;
    auto t2 = std::chrono::steady_clock::now();
    *fresh = std::chrono::duration<double, std::micro>(t1 - t0).count() / rounds;
    *open = std::chrono::duration<double, std::micro>(t2 - t1).count() / rounds;
}

} // namespace

int main(int argc, char** argv) {
    lab::ignoreSigpipe();
    int records = 2000;
    double seconds = 3;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--records")
            records = std::atoi(v.c_str());
        else if (k == "--seconds")
            seconds = std::atof(v.c_str());
        else if (k == "--dir")
            dir = v;
    }
    if (dir.empty()) {
        char pattern[] = "/tmp/agent-bench-XXXXXX";
        if (!mkdtemp(pattern))
            return 1;
        dir = pattern;
    }
    lab::FixtureOptions fill;
    fill.contacts = fill.messages = fill.calls = fill.events = records;
    fill.photos = fill.videos = fill.music = fill.apps = 0;
    std::string error;
    if (!lab::fillPhone(dir, fill, &error)) {
        std::fprintf(stderr, "cannot fill %s: %s\n", dir.c_str(), error.c_str());
        return 1;
    }

    // The lab's agent, on a loopback port of its own, one thread per connection.
    const std::string token = randomToken();
    lab::PhoneConfig config;
    config.dir = dir;
    lab::Agent labAgent(config);
    labAgent.setToken(token);
    uint16_t labPort = 0;
    int listener = lab::listenLoopback(0, &labPort);
    std::vector<std::thread> labConnections;
    std::thread labServer([&] {
        int fd;
        while ((fd = accept(listener, nullptr, nullptr)) >= 0) {
            lab::setNoDelay(fd);
            labConnections.emplace_back([&labAgent, fd] {
                labAgent.serve(fd);
                close(fd);
            });
        }
    });

    // The real core on the JVM.
    lab::PhoneSettings settings;
    settings.dir = dir;
    lab::JavaAgent javaAgent(settings);
    if (!javaAgent.start(token)) {
        std::fprintf(stderr, "the Java agent did not start (see %s/agent.log)\n", dir.c_str());
        return 1;
    }
    int labFd = connectTo(labPort, token), javaFd = connectTo(javaAgent.port(0), token);
    if (labFd < 0 || javaFd < 0)
        return 1;

    std::printf("%d records per kind, %.1f s per kind and agent, store %s\n", records, seconds,
                dir.c_str());
    std::printf("%-9s %12s %12s %8s\n", "kind", "lab pages/s", "java pages/s", "ratio");
    double labTotal = 0, javaTotal = 0;
    for (const Kind& kind : kKinds) {
        double lab = 0, java = 0;
        compare(labFd, javaFd, kind, seconds, &lab, &java);
        labTotal += lab;
        javaTotal += java;
        std::printf("%-9s %12.0f %12.0f %8.2f\n", kind.name, lab, java, lab > 0 ? java / lab : 0);
    }
    std::printf("%-9s %12.0f %12.0f %8.2f  (java / lab)\n", "all", labTotal, javaTotal,
                labTotal > 0 ? javaTotal / labTotal : 0);

    // The door: the token rides in the greeting's own write, so a new
    // connection costs what it cost before plus 64 bytes and a comparison.
    const int rounds = 300;
    double labFresh = 0, labOpen = 0, javaFresh = 0, javaOpen = 0;
    greetingCost(labPort, labFd, token, rounds, &labFresh, &labOpen);
    greetingCost(javaAgent.port(0), javaFd, token, rounds, &javaFresh, &javaOpen);
    std::printf("greeting with the 64-byte token on a new connection: lab %.0f us, java %.0f us; "
                "greeting on an open connection: lab %.0f us, java %.0f us (a job opens one "
                "connection per phone, more only after a broken one)\n",
                labFresh, javaFresh, labOpen, javaOpen);

    close(labFd);
    close(javaFd);
    javaAgent.stop();
    labAgent.stop();
    shutdown(listener, SHUT_RDWR);
    labServer.join();
    for (std::thread& t : labConnections)
        t.join();
    close(listener);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
