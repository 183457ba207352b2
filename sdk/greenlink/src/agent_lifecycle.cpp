#include "agent_lifecycle.h"

#include <sys/stat.h>

#include <atomic>
#include <cstring>

#include "channel.h"
#include "device_table.h"
#include "greenlink.h"
#include "greenlink_log.h"
#include "media_family.h"
#include "runner.h"

namespace greenlink {
namespace {

std::atomic<int> st_ReadyToScanProgress{0};

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
    return executableFolder() + name;
}

int StopOursAndroidServices(int deviceindex) {
    return runAgentStep("force-stop", {"-s", deviceSerial(deviceindex), "shell", "am", "force-stop",
                                       kAgentPackage});
}

int UnInstallOursAndroidServices(int deviceindex) {
    return runAgentStep("uninstall", {"-s", deviceSerial(deviceindex), "uninstall", kAgentPackage});
}

int InstallOursAndroidServices(int deviceindex) {
    return runAgentStep(
        "install", {"-s", deviceSerial(deviceindex), "install", agentPackagePath(deviceindex)});
}

int StartOursAndroidServices(int deviceindex) {
    return runAgentStep("start", {"-s", deviceSerial(deviceindex), "shell", "am", "start", "-n",
                                  std::string(kAgentPackage) + "/" + kAgentActivity});
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
    AndroidConnectUnInit(deviceindex);
    forgetPhoneMediaState(deviceindex);
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
    if (checkIsConnectToOursAndroidServices(deviceindex) != 0) {
        WriteLog("checkIsConnectToOursAndroidServices failed.\n");
        return -1;
    }
    st_ReadyToScanProgress = 100;
    return 0;
}

int AndroidTSF_GetReadyTodoProgress(void) { return st_ReadyToScanProgress; }

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
    if (!deviceSerial(0).empty()) {
        StopOursAndroidServices(0);
        UnInstallOursAndroidServices(0);
    }
    return 0;
}
