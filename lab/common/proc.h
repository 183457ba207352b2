#pragma once
// Child processes for the lab, always from an argument vector (never a shell).
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace lab {

// NAME=value pairs laid over the current environment for the child.
using EnvOverrides = std::vector<std::pair<std::string, std::string>>;

struct ProcResult {
    bool started = false; // false: the program could not be run at all
    bool timedOut = false;
    int exitCode = -1; // -1 when killed by a signal
    std::string out;   // standard output
    std::string err;   // standard error
};

// Runs argv[0] (searched in PATH when it has no '/') to its end, feeding
// `input` to its standard input. Killed after timeoutSec.
ProcResult runProcess(const std::vector<std::string>& argv, const EnvOverrides& env = {},
                      int timeoutSec = 60, const std::string& input = {});

// Starts a child that outlives this call, with stdin from /dev/null (or
// from stdinFd when it is >= 0: the child gets a copy, the caller keeps its
// own) and stdout/stderr appended to logPath (or /dev/null when empty).
// Returns the pid or -1.
pid_t spawnProcess(const std::vector<std::string>& argv, const EnvOverrides& env,
                   const std::string& logPath, int stdinFd = -1);

// Starts a child that outlives this call, talking through pipes: *stdinFd
// is the write end of its standard input, *stdoutFd the read end of its
// standard output; its standard error is this process's. Returns the pid or
// -1.
pid_t spawnPiped(const std::vector<std::string>& argv, const EnvOverrides& env, int* stdinFd,
                 int* stdoutFd);

// The environment of this process with `env` laid over it, as NAME=value texts.
std::vector<std::string> mergedEnvironment(const EnvOverrides& env);

// True while pid names a live process (not a zombie of ours).
bool processAlive(pid_t pid);
// Sends SIGTERM, waits up to graceMs, then SIGKILL. Reaps it when it is our child.
void stopProcess(pid_t pid, int graceMs = 3000);

} // namespace lab
