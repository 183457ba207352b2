// Starting a child from an argument vector and waiting for it within a bound.
#include "runner.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "greenlink_log.h"

extern char** environ;

namespace greenlink {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kLogUnit = "myutils";
// Longest single wait between two looks at the child and the abort flag.
constexpr std::chrono::milliseconds kSlice{20};

std::atomic<long long> st_secondMs{1000};

// Children a runner is waiting for, and whether an abort was asked for each.
std::mutex st_runningLock;
std::map<pid_t, bool> st_running;

std::string absolutePath(const std::string& program) {
    if (program.empty() || program[0] == '/')
        return program;
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + program : program;
}

// Reaps a child that is left running, so it does not stay a zombie.
void reapLater(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attr_);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attr_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    void prepare(int captureFd, bool captureStderr, const std::string& workFolder) {
        // No terminal input for tools; output to the capture file if any.
        posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        // Without a capture file, what a tool prints ("List of devices
        // attached", "Success") goes to our standard error: standard output
        // belongs to the program's own output (the driver's report).
        posix_spawn_file_actions_adddup2(&actions_, captureFd >= 0 ? captureFd : 2, 1);
        if (captureFd >= 0 && captureStderr)
            posix_spawn_file_actions_adddup2(&actions_, captureFd, 2);
        // Nothing else of the program's leaks into the tool: an adb server
        // started from here would otherwise hold our sockets and files open
        // for as long as it lives.
        posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
        if (!workFolder.empty())
            posix_spawn_file_actions_addchdir_np(&actions_, workFolder.c_str());
        // The child starts with default signal handling and an empty mask,
        // whatever the program did to its own, in a process group of its own
        // so a Ctrl-C meant for the program does not reach the tool.
        sigset_t all, none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr_, &all);
        posix_spawnattr_setsigmask(&attr_, &none);
        posix_spawnattr_setpgroup(&attr_, 0);
        posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                             POSIX_SPAWN_SETPGROUP);
    }
    int spawn(pid_t* pid, const std::string& program, char* const argv[]) {
        return posix_spawn(pid, program.c_str(), &actions_, &attr_, argv, environ);
    }

  private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attr_;
};

RunResult startFailure(const std::string& program, int error) {
    RunResult result;
    result.spawnError = error;
    // A failed exec and a failed chdir both say ENOENT: look at the program.
    if (access(program.c_str(), X_OK) != 0) {
        result.status = RunStatus::ToolMissing;
        result.spawnError = errno;
        WriteLog2(kLogUnit, __LINE__, 0, "tool missing: %s (%s)\n", program.c_str(),
                  std::strerror(result.spawnError));
    } else {
        result.status = RunStatus::StartFailed;
        WriteLog2(kLogUnit, __LINE__, 0, "tool failed to start: %s (%s)\n", program.c_str(),
                  std::strerror(error));
    }
    return result;
}

// True once the child has ended; it is left unreaped (a zombie keeps its pid
// from being reused while an abort might still signal it).
bool hasEnded(pid_t pid) {
    siginfo_t info = {};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno != EINTR; // ECHILD: reaped elsewhere (SIGCHLD ignored)
    return info.si_pid == pid;
}

void waitSlice(int pidfd, std::chrono::milliseconds slice) {
    if (pidfd >= 0) {
        struct pollfd p = {pidfd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(slice.count()));
    } else {
        usleep(static_cast<useconds_t>(std::min<long long>(slice.count(), 5) * 1000));
    }
}

void reap(pid_t pid, RunResult* result) {
    int status = 0;
    pid_t got;
    do {
        got = waitpid(pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    if (got != pid || result->status != RunStatus::Ended)
        return;
    if (WIFEXITED(status))
        result->exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result->termSignal = WTERMSIG(status);
}

void waitForChild(pid_t pid, const RunOptions& options, RunResult* result) {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    const bool shared = options.deadline != Clock::time_point{};
    const bool limited = shared || options.boundSeconds >= 0;
    const auto deadline = shared ? options.deadline
                                 : Clock::now() + options.boundSeconds *
                                                      std::chrono::milliseconds(st_secondMs.load());
    for (;;) {
        const bool ended = hasEnded(pid);
        std::unique_lock<std::mutex> lock(st_runningLock);
        const bool aborted = st_running[pid];
        if (ended || aborted || (limited && Clock::now() >= deadline)) {
            st_running.erase(pid);
            lock.unlock();
            if (ended && !aborted) {
                result->status = RunStatus::Ended;
            } else if (aborted || options.killAtBound) {
                result->status = aborted ? RunStatus::Aborted : RunStatus::Killed;
                kill(pid, SIGKILL);
            } else {
                result->status = RunStatus::TimedOut;
            }
            break;
        }
        lock.unlock();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        waitSlice(pidfd, limited ? std::clamp(left, std::chrono::milliseconds(1), kSlice) : kSlice);
    }
    if (pidfd >= 0)
        close(pidfd);
    if (result->status == RunStatus::TimedOut)
        reapLater(pid);
    else
        reap(pid, result);
}

void logOutcome(const std::string& program, const RunResult& result) {
    switch (result.status) {
    case RunStatus::Ended:
        if (result.termSignal != 0)
            WriteLog2(kLogUnit, __LINE__, 0, "tool failed: %s ended by signal %d\n",
                      program.c_str(), result.termSignal);
        else if (result.exitCode != 0)
            WriteLog2(kLogUnit, __LINE__, 0, "tool failed: %s exit status %d\n", program.c_str(),
                      result.exitCode);
        break;
    case RunStatus::Killed:
        WriteLog2(kLogUnit, __LINE__, 0, "tool killed after its time bound: %s (pid %d)\n",
                  program.c_str(), result.pid);
        break;
    case RunStatus::Aborted:
        WriteLog2(kLogUnit, __LINE__, 0, "tool stopped on request: %s (pid %d)\n", program.c_str(),
                  result.pid);
        break;
    default:
        break;
    }
}

} // namespace

RunResult runProgram(const std::string& program, const std::string& argv0,
                     const std::vector<std::string>& args, const RunOptions& options) {
    const std::string path = absolutePath(program);
    int captureFd = -1;
    if (!options.capturePath.empty()) {
        captureFd = open(options.capturePath.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (captureFd < 0) {
            RunResult result;
            result.spawnError = errno;
            WriteLog2(kLogUnit, __LINE__, 0, "cannot open capture file %s: %s\n",
                      options.capturePath.c_str(), std::strerror(errno));
            return result;
        }
        if (captureFd < 3) {
            // Standard descriptors were closed in the program; keep the capture
            // clear of the ones the child's set-up replaces.
            const int moved = fcntl(captureFd, F_DUPFD_CLOEXEC, 3);
            close(captureFd);
            captureFd = moved;
        }
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(argv0.empty() ? path.c_str() : argv0.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    setup.prepare(captureFd, options.captureStderr, programFolder());
    pid_t pid = 0;
    // Registered before the child exists, so an abort cannot miss it.
    std::unique_lock<std::mutex> lock(st_runningLock);
    const int error = setup.spawn(&pid, path, argv.data());
    if (error == 0)
        st_running[pid] = false;
    lock.unlock();
    if (captureFd >= 0)
        close(captureFd);
    if (error != 0)
        return startFailure(path, error);

    RunResult result;
    result.pid = pid;
    if (options.boundSeconds == 0 && options.deadline == Clock::time_point{}) {
        // Not waited for at all.
        std::lock_guard<std::mutex> guard(st_runningLock);
        st_running.erase(pid);
        result.status = RunStatus::TimedOut;
        reapLater(pid);
        return result;
    }
    waitForChild(pid, options, &result);
    logOutcome(path, result);
    return result;
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
    return runProgram(program, std::string(), args, options);
}

RunResult runAdb(const std::vector<std::string>& args, const RunOptions& options) {
    return runProgram(toolFolder() + "adb", args, options);
}

RunResult runAdbCapture(const std::vector<std::string>& args, int boundSeconds, bool killAtBound,
                        std::string* output) {
    constexpr size_t kCaptureMax = 16u << 20;
    if (output)
        output->clear();
    RunOptions options;
    options.capturePath = newTempFile();
    options.boundSeconds = boundSeconds;
    options.killAtBound = killAtBound;
    if (options.capturePath.empty())
        return RunResult{};
    const RunResult result = runAdb(args, options);
    const int fd = open(options.capturePath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && output) {
        char block[65536];
        ssize_t n;
        while (output->size() < kCaptureMax &&
               ((n = read(fd, block, std::min(sizeof block, kCaptureMax - output->size()))) > 0 ||
                (n < 0 && errno == EINTR)))
            if (n > 0)
                output->append(block, static_cast<size_t>(n));
    }
    if (fd >= 0)
        close(fd);
    // A child left running may still write to the file; unlinking is harmless to it.
    unlink(options.capturePath.c_str());
    return result;
}

void abortRunningChildren() {
    std::lock_guard<std::mutex> guard(st_runningLock);
    for (auto& [pid, aborted] : st_running) {
        aborted = true;
        kill(pid, SIGKILL);
    }
}

void setRunnerSecondForTests(std::chrono::milliseconds second) {
    st_secondMs.store(second.count() > 0 ? second.count() : 1);
}

std::chrono::milliseconds runnerSecond() { return std::chrono::milliseconds(st_secondMs.load()); }

} // namespace greenlink
