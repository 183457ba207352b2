// The C runners: thin wrappers that keep the older text interface over the
// argument-vector runner.
#include "greenlink_log.h"
#include "greenlink_runner.h"
#include "runner.h"

#include <cstdio>

namespace {

using greenlink::RunOptions;
using greenlink::RunResult;
using greenlink::RunStatus;

constexpr const char* kLogUnit = "myutils";
constexpr size_t kMaxArgs = 255; // argv of 256 entries with the program name

constexpr int kScriptBound = 62;
constexpr int kRestartBound = 20;
constexpr int kCaptureBound = 11;
constexpr int kKillingBound = 6;

std::string text(const char* s) { return s ? std::string(s) : std::string(); }

bool tooMany(const std::vector<std::string>& args) {
    if (args.size() <= kMaxArgs)
        return false;
    WriteLog2(kLogUnit, __LINE__, 0, "too many arguments (%zu), not run\n", args.size());
    return true;
}

bool missingText(const char* name, const char* value) {
    if (value)
        return false;
    WriteLog2(kLogUnit, __LINE__, 0, "%s: no command text, not run\n", name);
    return true;
}

int adbFromShellText(const char* command, int bound) {
    if (missingText("runProcessToEndFunction", command))
        return -1;
    WriteLog("runProcessToEndFunction:%s\n", text(command).c_str());
    const std::vector<std::string> args = greenlink::splitShellWords(text(command));
    if (tooMany(args))
        return -1;
    RunOptions options;
    options.boundSeconds = bound;
    return greenlink::runAdb(args, options).started() ? 0 : -1;
}

RunOptions capturing(const char* outfile, int bound, bool kill) {
    RunOptions options;
    options.capturePath = text(outfile);
    options.boundSeconds = bound;
    options.killAtBound = kill;
    return options;
}

} // namespace

int runProcessToEndFunction(const char* command) { return adbFromShellText(command, kScriptBound); }

int runProcessToEndFunction_notEnd(const char* command) { return adbFromShellText(command, -1); }

int runProcessToEndFunction_Not_Wait(const char* command) { return adbFromShellText(command, 0); }

int runProcessToEndFunction_bash(void) {
    // Restart the adb server and list the devices, all three within one bound.
    RunOptions options;
    options.deadline = std::chrono::steady_clock::now() + kRestartBound * greenlink::runnerSecond();
    for (const char* step : {"kill-server", "start-server", "devices"}) {
        const RunResult result = greenlink::runAdb({step}, options);
        if (!result.started())
            return -1;
        if (result.status != RunStatus::Ended)
            break; // the bound is used up; the child is left running
    }
    return 0;
}

int runProcessToEndFunction2(const char* args, const char* outfile) {
    if (missingText("runProcessToEndFunction2", args))
        return -1;
    const std::vector<std::string> argv = greenlink::splitAtSpaces(text(args));
    if (tooMany(argv))
        return -1;
    return greenlink::runAdb(argv, capturing(outfile, kCaptureBound, false)).started() ? 0 : -1;
}

int runProcessToEndFunction3(const char* program, const char* args) {
    if (missingText("runProcessToEndFunction3", args))
        return -1;
    const std::vector<std::string> argv = greenlink::splitAtSpaces(text(args));
    if (!program || !*program || tooMany(argv))
        return -1;
    RunOptions options;
    options.boundSeconds = kCaptureBound;
    return greenlink::runProgram(program, argv, options).started() ? 0 : -1;
}

int runProcessToEndFunction4(const char* args, const char* outfile) {
    if (missingText("runProcessToEndFunction4", args))
        return -1;
    WriteLog("runProcessToEndFunction4:%s\n", text(args).c_str());
    const std::vector<std::string> argv = greenlink::splitAtSpacesOutsideQuotes(text(args));
    if (tooMany(argv))
        return -1;
    const RunResult result = greenlink::runAdb(argv, capturing(outfile, kKillingBound, true));
    if (result.status == RunStatus::Killed) {
        WriteLog("kill -9 %d...............\n", result.pid);
    }
    return result.started() ? 0 : -1;
}

int runProcessGetUSB(const char* outfile) {
    WriteLog1(0, "tmodulePath = %s\n", greenlink::executableFolder().c_str());
    const RunResult result = greenlink::runProgram(greenlink::toolFolder() + "getusb", {},
                                                   capturing(outfile, kKillingBound, true));
    return result.started() ? 0 : -1;
}

int ForceEndAdbProcess(void) { return 0; }
