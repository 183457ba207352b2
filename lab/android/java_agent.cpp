#include "android/java_agent.h"

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "common/files.h"
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
            "--ready", readyFile, "--parent", std::to_string(getpid())};
}

bool JavaAgent::start() {
    std::lock_guard lk(m_mu);
    if (m_pid > 0 && processAlive(m_pid))
        return true;
    std::string ready = m_settings.dir + "/agent.ports";
    unlink(ready.c_str());
    auto argv = javaAgentCommand(exeFolder() + "agent/lab-agent.args", m_settings, ready);
    if (argv.empty()) {
        std::fprintf(stderr, "java agent: %sagent/lab-agent.args is missing\n",
                     exeFolder().c_str());
        return false;
    }
    m_pid = spawnProcess(argv, {}, m_settings.dir + "/agent.log");
    // A JVM takes a moment, longer on a busy machine.
    for (int i = 0; i < 60 * 50 && m_pid > 0 && processAlive(m_pid); ++i) {
        auto text = readFile(ready);
        unsigned a = 0, b = 0;
        if (text && std::sscanf(text->c_str(), "%u %u", &a, &b) == 2) {
            m_ports = {static_cast<uint16_t>(a), static_cast<uint16_t>(b)};
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fprintf(stderr, "java agent: did not start; see %s/agent.log\n", m_settings.dir.c_str());
    if (m_pid > 0)
        stopProcess(m_pid, 1000);
    m_pid = -1;
    return false;
}

void JavaAgent::stop() {
    std::lock_guard lk(m_mu);
    if (m_pid > 0)
        stopProcess(m_pid, 3000);
    m_pid = -1;
    m_ports.clear();
}

uint16_t JavaAgent::port(size_t index) {
    std::lock_guard lk(m_mu);
    return index < m_ports.size() ? m_ports[index] : 0;
}

} // namespace lab
