#pragma once
// The agent's TCP ports (15531, 15532) as `adb forward` reaches them: a
// stream opened on tcp:PORT is bridged to the agent while the agent app
// runs, and refused otherwise, as a phone refuses a port nobody listens on.
// The agent checks each connection's token itself (agent.h, AgentServer);
// the stand-ins (echo, rr) are no agent and check nothing. Like a phone's
// agent, the app stops after the phone's idle time without a connection.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

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
    // The app is starting (or started again) with this token: true once its
    // ports are served with it.
    bool starting(const std::string& token);
    // The app stopped: end every agent stream now.
    void stopAll();

    // Another app on the phone connecting to 127.0.0.1:PORT, as any app may:
    // after delayMs it sends `bytes`, then reads until the agent closes the
    // connection or waitMs pass. "ok received=N closed=0|1 ms=T" (T: from
    // the connection to its end or to the wait's end), "ok refused" when
    // nothing listens.
    std::string knock(int port, int delayMs, int waitMs, const std::string& bytes);

  private:
    void watchIdleness();
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
    std::condition_variable m_wake;
    bool m_closing = false;
    std::thread m_watch;
};

} // namespace lab
