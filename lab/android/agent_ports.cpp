#include "android/agent_ports.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "agent.h"
#include "android/phone.h"
#include "common/net.h"

namespace lab {

namespace {

// Counts the bytes of an agent stream toward a "drop after N bytes" fault.
bool dropNow(Phone& phone, AdbStream& s, size_t n) {
    if (!phone.countAndCheckDrop(n))
        return false;
    s.connection().drop();
    return true;
}

} // namespace

AgentPorts::AgentPorts(Phone& phone) : m_phone(phone) {
    if (m_phone.settings().agent == "java")
        m_java = std::make_unique<JavaAgent>(m_phone.settings());
    m_watch = std::thread([this] { watchIdleness(); });
}

AgentPorts::~AgentPorts() {
    {
        std::lock_guard lk(m_mu);
        m_closing = true;
    }
    m_wake.notify_all();
    m_watch.join();
    stopAll();
}

void AgentPorts::watchIdleness() {
    const auto& st = m_phone.settings();
    std::unique_lock lk(m_mu);
    while (!m_wake.wait_for(lk, std::chrono::milliseconds(200), [this] { return m_closing; })) {
        if (!st.agentStub.empty() || !m_phone.agentRunning())
            continue;
        bool ended = false;
        if (m_java) {
            // The JVM ends by itself after its idle time.
            lk.unlock();
            ended = !m_java->running();
            lk.lock();
        } else if (m_agent && m_agent->idleSeconds() >= st.agentIdleSeconds) {
            std::fprintf(stderr, "agent: no connection for %d s: no longer listening\n",
                         st.agentIdleSeconds);
            ended = true;
        }
        if (ended) {
            lk.unlock();
            m_phone.stopAgent();
            lk.lock();
        }
    }
}

ServiceRunner AgentPorts::forPort(int port) {
    bool ours =
        std::find(std::begin(kAgentPorts), std::end(kAgentPorts), port) != std::end(kAgentPorts);
    if (!ours || !m_phone.agentRunning())
        return {};
    const std::string& stub = m_phone.settings().agentStub;
    size_t index = static_cast<size_t>(
        std::find(std::begin(kAgentPorts), std::end(kAgentPorts), port) - std::begin(kAgentPorts));
    return [this, stub, index](std::shared_ptr<AdbStream> s) {
        track(s, true);
        if (m_java && stub.empty())
            bridgeToJava(s, index);
        else if (stub == "echo")
            echo(s);
        else if (stub == "rr")
            requestReply(s);
        else
            bridge(s);
        track(s, false);
    };
}

void AgentPorts::track(const std::shared_ptr<AdbStream>& s, bool add) {
    std::lock_guard lk(m_mu);
    if (add)
        m_streams.insert(s);
    else
        m_streams.erase(s);
}

std::shared_ptr<Agent> AgentPorts::currentAgent() {
    std::lock_guard lk(m_mu);
    if (!m_agent) {
        const auto& st = m_phone.settings();
        PhoneConfig cfg;
        cfg.dir = st.dir;
        cfg.serial = st.serial;
        cfg.model = st.model;
        cfg.manufacturer = st.manufacturer;
        cfg.androidVersion = st.release;
        cfg.sdk = st.sdk;
        cfg.smsPromptAcceptAfterSeconds = st.smsPromptAcceptAfterSeconds;
        m_agent = std::make_shared<Agent>(cfg);
    }
    return m_agent;
}

bool AgentPorts::starting(const std::string& token) {
    if (!m_phone.settings().agentStub.empty())
        return true;
    if (m_java)
        return m_java->start(token);
    currentAgent()->setToken(token); // a fresh agent starts its idle time now
    return true;
}

std::string AgentPorts::knock(int port, int delayMs, int waitMs, const std::string& bytes) {
    const auto* at = std::find(std::begin(kAgentPorts), std::end(kAgentPorts), port);
    if (at == std::end(kAgentPorts) || !m_phone.agentRunning())
        return "ok refused";
    if (!m_phone.settings().agentStub.empty())
        return "error a stand-in holds the agent's ports";
    size_t index = static_cast<size_t>(at - std::begin(kAgentPorts));
    int fd = -1;
    std::thread server;
    if (m_java) {
        uint16_t local = m_java->port(index);
        fd = local ? connectLoopback(local) : -1;
    } else {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
            fd = fds[1];
            server = std::thread([agent = currentAgent(), ours = fds[0]] {
                agent->serve(ours);
                close(ours);
            });
        }
    }
    if (fd < 0)
        return "ok refused";
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (!bytes.empty())
        writeAll(fd, bytes);
    bool closed = false;
    const size_t received = drainUntilClosed(fd, waitMs, &closed);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    shutdown(fd, SHUT_RDWR);
    if (server.joinable())
        server.join();
    close(fd);
    return "ok received=" + std::to_string(received) + " closed=" + (closed ? "1" : "0") +
           " ms=" + std::to_string(ms);
}

void AgentPorts::stopAll() {
    std::shared_ptr<Agent> agent;
    std::set<std::shared_ptr<AdbStream>> streams;
    {
        std::lock_guard lk(m_mu);
        agent.swap(m_agent); // the next start gets a fresh agent
        streams = m_streams;
    }
    if (agent)
        agent->stop();
    if (m_java)
        m_java->stop();
    for (const auto& s : streams)
        s->abort();
}

void AgentPorts::bridge(const std::shared_ptr<AdbStream>& s) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    auto agent = currentAgent();
    std::thread server([agent, fd = fds[0]] {
        agent->serve(fd);
        close(fd);
    });
    pump(s, fds[1]);
    server.join();
}

void AgentPorts::bridgeToJava(const std::shared_ptr<AdbStream>& s, size_t portIndex) {
    uint16_t port = m_java->port(portIndex);
    int fd = port ? connectLoopback(port) : -1;
    if (fd < 0)
        return; // as a phone refuses a port nobody listens on
    setNoDelay(fd);
    pump(s, fd);
}

void AgentPorts::pump(const std::shared_ptr<AdbStream>& s, int ours) {
    // Host to agent on a helper thread; it ends when the stream ends.
    std::thread up([this, s, ours] {
        char buf[65536];
        size_t n;
        while ((n = s->readSome(buf, sizeof buf)) > 0) {
            if (dropNow(m_phone, *s, n) || !writeAll(ours, buf, n))
                break;
        }
        shutdown(ours, SHUT_WR);
    });
    std::string buf(256 * 1024, '\0');
    while (true) {
        ssize_t n = read(ours, buf.data(), buf.size());
        if (n <= 0 || dropNow(m_phone, *s, static_cast<size_t>(n)) ||
            !s->write(buf.data(), static_cast<size_t>(n)) || !s->flush())
            break;
    }
    shutdown(ours, SHUT_RDWR);
    s->abort(); // ends the helper's read
    up.join();
    close(ours);
}

void AgentPorts::echo(const std::shared_ptr<AdbStream>& s) {
    char buf[65536];
    size_t n;
    while ((n = s->readSome(buf, sizeof buf)) > 0) {
        if (dropNow(m_phone, *s, n) || !s->write(buf, n) || !s->flush())
            return;
    }
}

void AgentPorts::requestReply(const std::shared_ptr<AdbStream>& s) {
    std::string reply;
    unsigned char req[4];
    while (s->readExact(req, sizeof req)) {
        uint32_t n = req[0] | req[1] << 8 | req[2] << 16 | static_cast<uint32_t>(req[3]) << 24;
        if (n == 0)
            n = 10240;
        if (n > 64 * 1024 * 1024)
            return;
        reply.assign(n, 'Z');
        if (dropNow(m_phone, *s, n) || !s->write(reply) || !s->flush())
            return;
    }
}

} // namespace lab
