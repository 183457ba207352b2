#include "controller/adb_server.h"

#include <cstdio>
#include <unistd.h>

#include "common/net.h"
#include "controller/lab_config.h"

namespace lab {

AdbServer::AdbServer(std::string labDir, uint16_t port, std::string adbPath)
    : m_dir(std::move(labDir)), m_port(port), m_adb(std::move(adbPath)) {}

EnvOverrides AdbServer::environment() const {
    return {{"ANDROID_ADB_SERVER_PORT", std::to_string(m_port)},
            {"HOME", m_dir + "/home"},
            {"ADB_EMU", "0"}, // no probing of emulator ports other labs may hold
            {"ADB_MDNS", "0"},
            {"ANDROID_ADB_LOG_PATH", m_dir + "/adb.log"}};
}

ProcResult AdbServer::adb(const std::vector<std::string>& args, int timeoutSec) const {
    std::vector<std::string> argv = {m_adb};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, environment(), timeoutSec);
}

bool AdbServer::start() const {
    ProcResult r = adb({"start-server"}, 60);
    return r.started && r.exitCode == 0;
}

void AdbServer::kill() const {
    if (devices())
        adb({"kill-server"}, 20);
}

std::optional<std::map<std::string, std::string>> AdbServer::devices() const {
    int fd = connectLoopback(m_port);
    if (fd < 0)
        return std::nullopt;
    const std::string req = "host:devices";
    char len[5];
    std::snprintf(len, sizeof len, "%04zx", req.size());
    std::string status(4, '\0'), hexLen(4, '\0');
    std::optional<std::map<std::string, std::string>> out;
    if (writeAll(fd, std::string(len) + req) && readExact(fd, status.data(), 4) &&
        status == "OKAY" && readExact(fd, hexLen.data(), 4)) {
        size_t n = std::strtoul(hexLen.c_str(), nullptr, 16);
        std::string body(n, '\0');
        if (n < 65536 && readExact(fd, body.data(), n))
            out = parseDeviceList(body);
    }
    close(fd);
    return out;
}

} // namespace lab
