#pragma once
// The lab's own adb server: its port, home and log inside the lab folder,
// so it never meets another lab's server or the user's.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/proc.h"

namespace lab {

class AdbServer {
  public:
    AdbServer(std::string labDir, uint16_t port, std::string adbPath = "adb");

    // The environment every adb of this lab runs with.
    EnvOverrides environment() const;
    uint16_t port() const { return m_port; }

    ProcResult adb(const std::vector<std::string>& args, int timeoutSec = 30) const;
    bool start() const;
    void kill() const;
    // Asks the running server for its devices without starting one:
    // nullopt when no server answers.
    std::optional<std::map<std::string, std::string>> devices() const;

  private:
    std::string m_dir;
    uint16_t m_port;
    std::string m_adb;
};

} // namespace lab
