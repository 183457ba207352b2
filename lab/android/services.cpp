#include "android/services.h"

#include <cstdlib>

#include "android/agent_ports.h"
#include "android/phone.h"

namespace lab {

ServiceRunner lookupService(Phone& phone, AgentPorts& agent, const std::string& svc) {
    auto starts = [&](const char* p) { return svc.rfind(p, 0) == 0; };
    if (starts("shell:") || starts("shell,"))
        return [&phone](std::shared_ptr<AdbStream> s) { runShellService(phone, s); };
    if (starts("exec:") || starts("abb_exec:")) {
        bool abb = starts("abb_exec:");
        if (abb && phone.features().find("abb_exec") == std::string::npos)
            return {};
        return [&phone, abb](std::shared_ptr<AdbStream> s) { runExecService(phone, s, abb); };
    }
    if (starts("sync:"))
        return [&phone](std::shared_ptr<AdbStream> s) { runSyncService(phone, s); };
    if (starts("tcp:")) {
        // tcp:PORT or tcp:PORT:HOST; only the phone's own ports are known.
        char* end = nullptr;
        long port = std::strtol(svc.c_str() + 4, &end, 10);
        if (end == svc.c_str() + 4 || (*end != '\0' && *end != ':'))
            return {};
        return agent.forPort(static_cast<int>(port));
    }
    return {};
}

} // namespace lab
