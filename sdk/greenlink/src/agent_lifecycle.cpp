#include "agent_lifecycle.h"

#include <sys/stat.h>

#include <cstdio>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "adb_socket.h"
#include "agent_token.h"
#include "channel.h"
#include "device_table.h"
#include "greenlink.h"
#include "greenlink_log.h"
#include "media_family.h"
#include "personal_commands.h"
#include "runner.h"

namespace greenlink {
namespace {

std::atomic<int> st_ReadyToScanProgress{0};

// How long a freshly started agent may take before it answers: on a phone
// the app, then its service, then its listening socket come up one by one.
constexpr auto kAgentAnswerWithin = std::chrono::seconds(10);

// Why the last preparation of each position failed; the first cause wins.
std::mutex st_failureMutex;
std::array<std::string, 9> st_preparationFailure;

void noteFailure(int deviceindex, const std::string& why) {
    if (deviceindex < 0 || deviceindex >= static_cast<int>(st_preparationFailure.size()))
        return;
    std::lock_guard lock(st_failureMutex);
    std::string& slot = st_preparationFailure[static_cast<size_t>(deviceindex)];
    if (slot.empty())
        slot = why;
    WriteLog("prepare %d: %s\n", deviceindex, why.c_str());
}

void clearFailure(int deviceindex) {
    if (deviceindex < 0 || deviceindex >= static_cast<int>(st_preparationFailure.size()))
        return;
    std::lock_guard lock(st_failureMutex);
    st_preparationFailure[static_cast<size_t>(deviceindex)].clear();
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Runs adb for one agent step; -1 only when adb could not be started. What
// the phone answered is logged: the greeting at the end decides.
int runAgentStep(const char* step, const std::vector<std::string>& args) {
    std::string out;
    RunResult r = runAdbCapture(args, 62, false, &out);
    if (!r.started()) {
        WriteLog("%s: adb could not be started\n", step);
        return -1;
    }
    if (!r.succeeded())
        WriteLog("%s: adb ended with %d: %s\n", step, r.exitCode, out.c_str());
    return 0;
}

} // namespace

long long androidVersionCode(const char* version) {
    if (!version)
        return 0;
    long long part[2] = {0, 0};
    int digits[2] = {0, 0};
    int which = 0;
    for (const char* at = version; *at && which < 2; ++at) {
        if (*at == '.') {
            ++which;
            continue;
        }
        if (*at >= '0' && *at <= '9' && digits[which] < 11) {
            part[which] = part[which] * 10 + (*at - '0');
            ++digits[which];
        }
    }
    return part[0] * 10 + part[1];
}

std::string agentPackagePath(int deviceindex) {
    std::string name = "kestrova" + std::to_string(deviceindex + 1) + ".apk";
    std::string besideTools = toolFolder() + name;
    if (fileExists(besideTools))
        return besideTools;
    return programFolder() + name;
}

int StopOursAndroidServices(int deviceindex) {
    forgetAgentToken(deviceSerial(deviceindex));
    return runAgentStep("force-stop", {"-s", deviceSerial(deviceindex), "shell", "am", "force-stop",
                                       kAgentPackage});
}

int UnInstallOursAndroidServices(int deviceindex) {
    return runAgentStep("uninstall", {"-s", deviceSerial(deviceindex), "uninstall", kAgentPackage});
}

std::string installFailureText(const std::string& adbOutput) {
    if (adbOutput.find("Success") != std::string::npos)
        return {};
    if (adbOutput.find("INSTALL_FAILED_USER_RESTRICTED") != std::string::npos)
        return "The phone refused to install the Kestrova app. Turn on \"Install via USB\" in "
               "the phone's developer options (on Xiaomi phones also turn off \"MIUI "
               "optimization\"), then press Retry.";
    auto open = adbOutput.find("Failure [");
    if (open != std::string::npos) {
        std::string code = adbOutput.substr(open + 9);
        code = code.substr(0, code.find_first_of(":] \r\n"));
        return "The phone refused to install the Kestrova app (" + code + ").";
    }
    if (adbOutput.find("not found") != std::string::npos ||
        adbOutput.find("offline") != std::string::npos)
        return "The phone went away while the Kestrova app was being installed.";
    return "The Kestrova app could not be installed on the phone.";
}

int InstallOursAndroidServices(int deviceindex) {
    std::string apk = agentPackagePath(deviceindex);
    if (!fileExists(apk))
        noteFailure(deviceindex, "The Kestrova app for the phone (" +
                                     apk.substr(apk.find_last_of('/') + 1) +
                                     ") is missing beside the program.");
    // -g grants the runtime permissions up front, which a sideloaded app
    // cannot otherwise get for SMS and call log from Android 13; phones
    // before 6.0 have no runtime permissions and their pm refuses the option.
    bool grant = androidVersionCode(deviceDisplayVersion(deviceindex).c_str()) >= 60;
    std::string out;
    for (bool withGrant : {grant, false}) {
        std::vector<std::string> args = {"-s", deviceSerial(deviceindex), "install"};
        if (withGrant)
            args.push_back("-g");
        args.push_back(apk);
        RunResult r = runAdbCapture(args, 62, false, &out);
        if (!r.started()) {
            WriteLog("install: adb could not be started\n");
            return -1;
        }
        if (r.succeeded() && installFailureText(out).empty())
            return 0;
        WriteLog("install: adb ended with %d: %s\n", r.exitCode, out.c_str());
        bool optionRefused =
            out.find("-g") != std::string::npos || out.find("nknown option") != std::string::npos;
        if (!withGrant || !optionRefused)
            break;
    }
    noteFailure(deviceindex, installFailureText(out));
    return 0; // the greeting decides, as the agent may still run from before
}

namespace {

// Starts the agent with a fresh token. The command goes over the adb
// server's socket: as an adb argument it would be in /proc for every local
// user to read. Neither the command nor anything holding the token is
// logged. -1 when no adb server could be reached, 0 otherwise; *started says
// whether the phone took the start.
int startWithNewToken(const std::string& serial, bool* started) {
    *started = false;
    std::string token = makeAgentToken();
    if (token.empty()) {
        WriteLog("start: the system gave no random bytes for the agent's token\n");
        return 0;
    }
    rememberAgentToken(serial, token);
    std::string command = std::string("am start -n ") + kAgentPackage + "/" + kAgentActivity +
                          " --es " + kAgentTokenExtra + " " + token;
    std::string out;
    AdbSocketStatus st = adbShellOverSocket(serial, command, 62, &out);
    wipeText(command);
    // A phone never echoes the values of extras; should one ever, the log
    // still does not get the token.
    for (size_t at; (at = out.find(token)) != std::string::npos;)
        out.replace(at, token.size(), "<token>");
    wipeText(token);
    if (st == AdbSocketStatus::NoServer)
        return -1;
    if (st != AdbSocketStatus::Done || out.find("Error") != std::string::npos) {
        WriteLog("start: the phone did not take it: %s\n", out.c_str());
        return 0;
    }
    *started = true;
    return 0;
}

} // namespace

int StartOursAndroidServices(int deviceindex) {
    bool started = false;
    if (startWithNewToken(deviceSerial(deviceindex), &started) != 0) {
        WriteLog("start: adb could not be started\n");
        return -1;
    }
    if (!started)
        noteFailure(deviceindex, "The Kestrova app could not be started on the phone.");
    return 0;
}

bool restartAgent(const std::string& serial) {
    bool started = false;
    WriteLog("the agent on %s does not answer any more: starting it again\n", serial.c_str());
    return startWithNewToken(serial, &started) == 0 && started;
}

void removeAgentForwards(const std::string& serial) {
    if (serial.empty())
        return;
    std::string out;
    if (!runAdbCapture({"forward", "--list"}, 11, true, &out).succeeded())
        return;
    // "SERIAL LOCAL REMOTE" per line.
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        std::string line = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? out.size() : end + 1;
        char who[256], local[64], remote[64];
        if (std::sscanf(line.c_str(), "%255s %63s %63s", who, local, remote) != 3 || serial != who)
            continue;
        if (std::strcmp(remote, "tcp:15531") != 0 && std::strcmp(remote, "tcp:15532") != 0)
            continue;
        std::string ignored;
        runAdbCapture({"-s", serial, "forward", "--remove", local}, 6, true, &ignored);
        WriteLog("removed the forward %s to the agent\n", local);
    }
}

std::string preparationFailure(int deviceindex) {
    if (deviceindex < 0 || deviceindex >= static_cast<int>(st_preparationFailure.size()))
        return {};
    std::lock_guard lock(st_failureMutex);
    return st_preparationFailure[static_cast<size_t>(deviceindex)];
}

int checkIsConnectToOursAndroidServices(int deviceindex) {
    std::string reply = sendTextCommand("hello-android;", deviceindex, 1024);
    return reply == "HI-PC" ? 0 : -1;
}

int checkAndroidVersionAt44(int deviceindex) {
    if (deviceindex < 0 || deviceindex >= st_connectAndroidCount)
        return 0;
    std::string version = deviceDisplayVersion(deviceindex);
    return androidVersionCode(version.c_str()) > 43 ? 1 : 0;
}

} // namespace greenlink

using namespace greenlink;

int AndroidTSF_ReadyTodoing(int deviceindex) {
    WriteLog("ReadyTodoing: deviceindex=%d,id=%s ,%s\n", deviceindex,
             deviceSerial(deviceindex).c_str(), deviceState(deviceindex).c_str());
    st_ReadyToScanProgress = 10;
    clearFailure(deviceindex);
    AndroidConnectUnInit(deviceindex);
    forgetPhoneMediaState(deviceindex);
    forgetAgentPages(deviceindex);
    // The agent is replaced: no forward to its ports may stay from before,
    // ours or a crashed run's.
    removeAgentForwards(deviceSerial(deviceindex));
    if (StopOursAndroidServices(deviceindex) != 0)
        return -1;
    st_ReadyToScanProgress = 20;
    if (UnInstallOursAndroidServices(deviceindex) != 0)
        return -1;
    st_ReadyToScanProgress = 30;
    if (InstallOursAndroidServices(deviceindex) != 0)
        return -1;
    st_ReadyToScanProgress = 50;
    if (StartOursAndroidServices(deviceindex) != 0)
        return -1;
    st_ReadyToScanProgress = 70;
    // Greet until the agent answers, within a bound: an agent that is not
    // listening yet makes each greeting fail at once.
    auto giveUp = std::chrono::steady_clock::now() + kAgentAnswerWithin;
    while (checkIsConnectToOursAndroidServices(deviceindex) != 0) {
        if (std::chrono::steady_clock::now() >= giveUp) {
            WriteLog("checkIsConnectToOursAndroidServices failed.\n");
            noteFailure(deviceindex, "The Kestrova app on the phone does not answer. Unlock the "
                                     "phone, allow what it asks for, then press Retry.");
            AndroidConnectUnInit(deviceindex);
            return -1;
        }
        AndroidConnectUnInit(deviceindex);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    clearFailure(deviceindex);
    st_ReadyToScanProgress = 100;
    return 0;
}

int AndroidTSF_GetReadyTodoProgress(void) { return st_ReadyToScanProgress; }

const char* AndroidTSF_GetReadyTodoFailure(int deviceindex) {
    static thread_local std::string text;
    text = preparationFailure(deviceindex);
    return text.c_str();
}

int AndroidTSF_CheckDevicesIsConnect(int deviceindex) {
    return checkIsConnectToOursAndroidServices(deviceindex);
}

int AndroidTSF_CheckAndroidVersionAt44(int deviceindex) {
    return checkAndroidVersionAt44(deviceindex);
}

int AndroidTSF_SetDefaultMessage(int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_SetDefaultMessage");
    if (checkAndroidVersionAt44(deviceindex) != 1)
        return 0;
    return sendIntCommand("SetDefaultMessage;", deviceindex);
}

int AndroidTSF_ReSetDefaultMessage(int deviceindex) {
    WriteLog("Call Function: %s\n", "AndroidTSF_ReSetDefaultMessage");
    if (checkAndroidVersionAt44(deviceindex) != 1)
        return 0;
    return sendIntCommand("ReSetDefaultMessage;", deviceindex);
}

int AndroidTSF_CheckDefaultMessangeOK(int deviceindex) {
    if (checkAndroidVersionAt44(deviceindex) != 1)
        return 0;
    std::string package = sendTextCommand("GetDefaultMessage_pkgName;", deviceindex, 1024);
    return package == kAgentPackage ? 0 : -1;
}

int AndroidTSF_CheckSupportEnabled(int type) { return type >= 0 && type <= 7 ? 0 : -1; }

int AndroidTSF_InterruptAll(int on) {
    WriteLog("Call Function: %s(%d)\n", "AndroidTSF_InterruptAll", on);
    interruptChannels(on != 0);
    return 0;
}

int AndroidTSF_UnInit(void) {
    WriteLog("Call Function: %s\n", "AndroidTSF_UnInit");
    // The program lets go of both phones: no forward of ours stays open.
    AndroidConnectRelease(0);
    AndroidConnectRelease(1);
    // A phone that was pulled out is not waited for: adb would wait for it
    // to come back ("waiting for device") for a minute.
    const std::string serial = deviceSerial(0);
    if (!serial.empty() && phoneStillListed(serial.c_str())) {
        StopOursAndroidServices(0);
        UnInstallOursAndroidServices(0);
    }
    forgetAllAgentTokens();
    return 0;
}

int AndroidTSF_LetGo(int deviceindex) {
    WriteLog("Call Function: %s(%d)\n", "AndroidTSF_LetGo", deviceindex);
    AndroidConnectRelease(deviceindex);
    return 0;
}
