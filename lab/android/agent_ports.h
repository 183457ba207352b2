#pragma once
// The agent's TCP ports (15531, 15532) as `adb forward` reaches them: a
// stream opened on tcp:PORT is bridged to the agent while the agent app
// runs, and refused otherwise, as a phone refuses a port nobody listens on.
#include <memory>
#include <mutex>
#include <set>

#include "android/adb_connection.h"
#include "android/java_agent.h"

namespace lab {

class Agent;
class Phone;

class AgentPorts {
  public:
    explicit AgentPorts(Phone& phone);
    ~AgentPorts();

    // The runner for tcp:PORT, or empty to refuse it.
    ServiceRunner forPort(int port);
    // The app is starting: true once its ports are served.
    bool starting();
    // The app stopped: end every agent stream now.
    void stopAll();

  private:
    void bridge(const std::shared_ptr<AdbStream>& s);
    void bridgeToJava(const std::shared_ptr<AdbStream>& s, size_t portIndex);
    // Carries bytes both ways between the stream and fd until either ends.
    void pump(const std::shared_ptr<AdbStream>& s, int fd);
    void echo(const std::shared_ptr<AdbStream>& s);
    void requestReply(const std::shared_ptr<AdbStream>& s);
    std::shared_ptr<Agent> currentAgent();
    void track(const std::shared_ptr<AdbStream>& s, bool add);

    Phone& m_phone;
    std::mutex m_mu;
    std::shared_ptr<Agent> m_agent;
    std::set<std::shared_ptr<AdbStream>> m_streams;
    std::unique_ptr<JavaAgent> m_java;
};

} // namespace lab
