// Installing, starting, stopping and greeting the agent on a phone.
#pragma once

#include <string>

namespace greenlink {

constexpr const char* kAgentPackage = "com.quellfin.kestrova";
constexpr const char* kAgentActivity = "com.quellfin.kestrova.activity.ServiceActivity";

// major * 10 + minor of a version text ("4.4.2\n" -> 44, "10" -> 100); digits
// only, each number at most 11 digits; 0 for an empty text.
long long androidVersionCode(const char* version);

// The agent package file for a position ("kestrova1.apk" for position 0):
// beside the tools when the tool folder holds it, else in the program's folder.
std::string agentPackagePath(int deviceindex);

// Installs with the runtime permissions granted where the phone knows them.
// A refusal is noted as the preparation's failure; the greeting decides.
int InstallOursAndroidServices(int deviceindex);
// Words for the user about an adb install output; empty for a success.
std::string installFailureText(const std::string& adbOutput);
// Why the last preparation of a position failed; empty after a success.
std::string preparationFailure(int deviceindex);
// Starts the agent with a fresh token (agent_token.h), handed over in the
// start intent through the adb server's socket.
int StartOursAndroidServices(int deviceindex);
// Starts the agent on this phone again with a fresh token, after it went
// away (stopped after its idle time): true when the start was taken. The
// caller greets it.
bool restartAgent(const std::string& serial);
// Removes every adb forward of this phone to the agent's ports: when the
// program lets go of it, and before a preparation what an earlier run left
// (a crashed program cannot remove its own). Forwards to other ports and of
// other phones stay.
void removeAgentForwards(const std::string& serial);
int StopOursAndroidServices(int deviceindex);
int UnInstallOursAndroidServices(int deviceindex);
// 0 when the agent answers "hello-android;" with "HI-PC".
int checkIsConnectToOursAndroidServices(int deviceindex);
// 1 when the position's phone runs 4.4 or later.
int checkAndroidVersionAt44(int deviceindex);

} // namespace greenlink
