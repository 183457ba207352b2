#pragma once
// Accepts `adb connect` sessions for one phone and the lab's control
// commands, and carries out what the phone's state asks of the sessions.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "android/agent_ports.h"
#include "android/phone.h"

namespace lab {

class PhoneServer {
  public:
    explicit PhoneServer(Phone& phone);
    ~PhoneServer();

    // Binds both listeners on 127.0.0.1 (0 picks free ports).
    bool listen(uint16_t adbPort, uint16_t controlPort);
    uint16_t adbPort() const { return m_adbPort; }
    uint16_t controlPort() const { return m_controlPort; }
    // Starts the accept threads.
    void start();
    void stop();

    // One control command ("state unauthorized", "fault drop-after-bytes 100",
    // "unplug", "knock 15531 0 2000 68656C6C6F", ...); returns the reply line.
    std::string control(const std::string& line);

  private:
    void acceptAdb();
    void acceptControl();
    void serveControl(int fd);
    void dropAll();
    void authoriseWaiting();

    Phone& m_phone;
    AgentPorts m_agent;
    int m_adbFd = -1, m_controlFd = -1;
    uint16_t m_adbPort = 0, m_controlPort = 0;
    std::mutex m_mu;
    std::vector<std::weak_ptr<AdbConnection>> m_conns;
    std::vector<std::thread> m_threads;
};

} // namespace lab
