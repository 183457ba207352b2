// Child processes of the Android library: adb, getusb and, for tests, any
// program. Every child runs from an argument vector (never through a shell),
// inherits the program's own environment, and its waiting bound is a maximum:
// the call returns as soon as the child ends.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace greenlink {

enum class RunStatus {
    Ended,       // the child ended on its own (exitCode / termSignal tell how)
    TimedOut,    // the bound passed; the child was left running
    Killed,      // the bound passed and the child was killed (killAtBound)
    Aborted,     // abortRunningChildren() killed the child before its bound
    ToolMissing, // the program does not exist or may not be executed
    StartFailed, // the child could not be started (capture file, spawn error)
};

struct RunResult {
    RunStatus status = RunStatus::StartFailed;
    int exitCode = -1;  // when Ended by exit(); -1 otherwise
    int termSignal = 0; // when Ended by a signal
    int spawnError = 0; // errno of the failed start (ToolMissing, StartFailed)
    int pid = 0;        // the child's process id once started

    // The child was started: what the C runners report as 0.
    bool started() const {
        return status != RunStatus::ToolMissing && status != RunStatus::StartFailed;
    }
    // The child ended on its own with exit status 0.
    bool succeeded() const { return status == RunStatus::Ended && exitCode == 0; }
};

struct RunOptions {
    std::string capturePath; // "" = no capture; otherwise standard output goes here
    int boundSeconds = 62;   // < 0: wait without limit; 0: do not wait at all
    bool killAtBound = false;
    bool captureStderr = false; // standard error into the capture file as well
    // When set, the wait ends at this moment instead (one bound shared by
    // several children run in turn).
    std::chrono::steady_clock::time_point deadline{};
};

// Folder holding adb and getusb, with a trailing "/": the program's folder
// + "root/", or $KESTROVA_TOOL_DIR/ when that variable is set (tests and the lab).
std::string toolFolder();

// The running executable's folder with a trailing "/" ("" if unknown).
std::string executableFolder();

// The program's own folder with a trailing "/": the executable's folder in
// the build, <prefix>/<libdir>/kestrova/ once installed (program_folder.h).
std::string programFolder();

// Runs `program` (a path) with `args` as argv[1..]; argv[0] is `argv0` when
// given, else the program path. Each element is passed exactly as it is.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options);
RunResult runProgram(const std::string& program, const std::string& argv0,
                     const std::vector<std::string>& args, const RunOptions& options);

// toolFolder() + "adb"; each arg is exactly one argv element, whatever it holds.
RunResult runAdb(const std::vector<std::string>& args, const RunOptions& options);

// Runs adb capturing its standard output into a fresh temporary file, reads
// it into *output (capped at 16 MiB) and removes the file.
RunResult runAdbCapture(const std::vector<std::string>& args, int boundSeconds, bool killAtBound,
                        std::string* output);

// Kills every child a runner is waiting for right now; those runners return
// Aborted. Runners started afterwards are not affected.
void abortRunningChildren();

// Length of one "second" of the waiting bounds; tests shorten it.
void setRunnerSecondForTests(std::chrono::milliseconds second);
std::chrono::milliseconds runnerSecond();

// A fresh temporary file name "<folder>%06d" in the process's private
// temporary folder; any file of that name is removed first. "" when no
// private folder could be made.
std::string newTempFile();

// The private temporary folder with a trailing "/" (made on first use).
std::string tempFolder();

// Chooses the parent of the private temporary folder (default "android/" in
// this user's private folder, kestrova_common::privateUserFolder). Takes effect only before the
// first temporary file of the process; returns false when the folder is already in use. The private
// folder is made fresh and empty for each process.
bool setTempFolderBase(const std::string& base);

// Forgets (and removes) the private folder and restarts the serial at 0, so a
// test can choose another base.
void resetTempFolderForTests();

// Splitting rules of the text-taking runners (exposed for tests and callers
// that build command texts).
// Shell-like words: blanks separate, double and single quotes group and are
// removed, a backslash outside single quotes takes the next character
// literally. Nothing is expanded.
std::vector<std::string> splitShellWords(const std::string& text);
// Cut at every space; two spaces in a row give an empty element.
std::vector<std::string> splitAtSpaces(const std::string& text);
// As splitAtSpaces, but spaces between double quotes do not cut and the
// quotes stay in the element.
std::vector<std::string> splitAtSpacesOutsideQuotes(const std::string& text);

} // namespace greenlink
