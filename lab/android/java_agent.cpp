#include "android/java_agent.h"

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>
#include <unistd.h>

#include <fcntl.h>

#include "common/files.h"
#include "common/net.h"
#include "common/proc.h"

namespace lab {

std::vector<std::string> javaAgentCommand(const std::string& argsFile, const PhoneSettings& s,
                                          const std::string& readyFile) {
    auto text = readFile(argsFile);
    if (!text)
        return {};
    std::istringstream lines(*text);
    std::string java, classPath;
    if (!std::getline(lines, java) || !std::getline(lines, classPath) || java.empty())
        return {};
    return {java,
            // A small agent: little heap, one collector thread, quick start.
            "-Xmx256m", "-XX:+UseSerialGC", "-Xshare:auto", "-cp", classPath,
            "com.quellfin.kestrova.host.LabAgentMain", "--dir", s.dir, "--sdk",
            std::to_string(s.sdk), "--sms-accept", std::to_string(s.smsPromptAcceptAfterSeconds),
            "--ready", readyFile, "--parent", std::to_string(getpid()), "--idle",
            std::to_string(s.agentIdleSeconds)};
}

bool JavaAgent::waitReady(long starts) {
    // A JVM takes a moment, longer on a busy machine.
    std::string ready = m_settings.dir + "/agent.ports";
    for (int i = 0; i < 60 * 50 && m_pid > 0 && processAlive(m_pid); ++i) {
        auto text = readFile(ready);
        unsigned a = 0, b = 0;
        long n = 0;
        if (text && std::sscanf(text->c_str(), "%u %u %ld", &a, &b, &n) == 3 && n == starts) {
            m_ports = {static_cast<uint16_t>(a), static_cast<uint16_t>(b)};
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool JavaAgent::start(const std::string& token) {
    std::lock_guard lk(m_mu);
    std::string line = token + "\n";
    if (m_pid > 0 && processAlive(m_pid)) {
        // A start of the running app: the new token replaces the old one.
        if (writeAll(m_tokens, line) && waitReady(m_starts + 1)) {
            ++m_starts;
            return true;
        }
        std::fprintf(stderr, "java agent: did not take the new start\n");
        stopLocked();
        return false;
    }
    stopLocked();
    std::string ready = m_settings.dir + "/agent.ports";
    unlink(ready.c_str());
    auto argv = javaAgentCommand(exeFolder() + "agent/lab-agent.args", m_settings, ready);
    if (argv.empty()) {
        std::fprintf(stderr, "java agent: %sagent/lab-agent.args is missing\n",
                     exeFolder().c_str());
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    m_pid = spawnProcess(argv, {}, m_settings.dir + "/agent.log", fds[0]);
    close(fds[0]);
    m_tokens = fds[1];
    if (m_pid > 0 && writeAll(m_tokens, line) && waitReady(1)) {
        m_starts = 1;
        return true;
    }
    std::fprintf(stderr, "java agent: did not start; see %s/agent.log\n", m_settings.dir.c_str());
    stopLocked();
    return false;
}

void JavaAgent::stopLocked() {
    // The end of its standard input ends the JVM too; the signal is quicker.
    closeFd(m_tokens);
    if (m_pid > 0)
        stopProcess(m_pid, 3000);
    m_pid = -1;
    m_starts = 0;
    m_ports.clear();
}

void JavaAgent::stop() {
    std::lock_guard lk(m_mu);
    stopLocked();
}

bool JavaAgent::running() {
    std::lock_guard lk(m_mu);
    return m_pid > 0 && processAlive(m_pid);
}

uint16_t JavaAgent::port(size_t index) {
    std::lock_guard lk(m_mu);
    return index < m_ports.size() ? m_ports[index] : 0;
}

} // namespace lab
