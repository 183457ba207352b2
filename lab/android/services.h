#pragma once
// The services a host may open on the phone, by name.
#include <memory>
#include <string>

#include "android/adb_connection.h"

namespace lab {

class Phone;
class AgentPorts;

// shell:, shell,v2,...:, exec:, abb_exec:, sync: and tcp:PORT. Anything else
// is refused, as adbd refuses what it does not know.
ServiceRunner lookupService(Phone& phone, AgentPorts& agent, const std::string& service);

void runShellService(Phone& phone, const std::shared_ptr<AdbStream>& s);
void runExecService(Phone& phone, const std::shared_ptr<AdbStream>& s, bool abb);
void runSyncService(Phone& phone, const std::shared_ptr<AdbStream>& s);

} // namespace lab
