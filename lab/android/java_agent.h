#pragma once
// The agent's real core (agent/, Java) run on the host JVM for one virtual
// phone: started when the agent app starts, stopped when it stops. It
// listens on two loopback ports of its own; the phone bridges its tcp:15531
// and tcp:15532 streams there. The token of each start reaches it through a
// pipe on its standard input, never through its arguments, which every
// local user can read in /proc.
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

#include "android/phone.h"

namespace lab {

// The java command line for a phone, from DIR/agent/lab-agent.args beside
// the lab's programs (line 1: the java program, line 2: the class path,
// both written by the build). Empty when that file is missing.
std::vector<std::string> javaAgentCommand(const std::string& argsFile, const PhoneSettings& s,
                                          const std::string& readyFile);

class JavaAgent {
  public:
    explicit JavaAgent(const PhoneSettings& settings) : m_settings(settings) {}
    ~JavaAgent() { stop(); }
    JavaAgent(const JavaAgent&) = delete;
    JavaAgent& operator=(const JavaAgent&) = delete;

    // Starts the JVM unless it runs, hands it the token of this start (""
    // when the start had none: nobody is admitted) and waits until it
    // listens with it. False when it cannot be started or does not get
    // ready in time (see DIR/agent.log).
    bool start(const std::string& token);
    void stop();
    // True while the JVM runs (it ends by itself after its idle time).
    bool running();
    // The loopback port serving the phone's agent port with this index; 0
    // when the agent is not running.
    uint16_t port(size_t index);

  private:
    bool waitReady(long starts);
    void stopLocked();

    const PhoneSettings& m_settings;
    std::mutex m_mu;
    pid_t m_pid = -1;
    int m_tokens = -1; // the write end of the JVM's standard input
    long m_starts = 0; // tokens handed over to the running JVM
    std::vector<uint16_t> m_ports;
};

} // namespace lab
