#include "common/proc.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace lab {

std::vector<std::string> mergedEnvironment(const EnvOverrides& env) {
    std::vector<std::string> out;
    for (char** e = environ; e && *e; ++e) {
        std::string entry(*e);
        std::string name = entry.substr(0, entry.find('='));
        bool overridden = false;
        for (const auto& [k, v] : env)
            overridden = overridden || k == name;
        if (!overridden)
            out.push_back(entry);
    }
    for (const auto& [k, v] : env)
        out.push_back(k + "=" + v);
    return out;
}

namespace {

struct ExecArgs {
    std::vector<std::string> envStore;
    std::vector<char*> argvp, envp;
    ExecArgs(const std::vector<std::string>& argv, const EnvOverrides& env)
        : envStore(mergedEnvironment(env)) {
        for (const auto& a : argv)
            argvp.push_back(const_cast<char*>(a.c_str()));
        argvp.push_back(nullptr);
        for (auto& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
    }
};

// In the child after fork: only async-signal-safe calls from here on.
[[noreturn]] void execChild(ExecArgs& a) {
    signal(SIGPIPE, SIG_DFL);
    execvpe(a.argvp[0], a.argvp.data(), a.envp.data());
    _exit(127);
}

void drain(int& fd, std::string& into) {
    char buf[65536];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
        into.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        close(fd);
        fd = -1;
    }
}

} // namespace

ProcResult runProcess(const std::vector<std::string>& argv, const EnvOverrides& env, int timeoutSec,
                      const std::string& input) {
    ProcResult r;
    if (argv.empty())
        return r;
    ExecArgs a(argv, env);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return r;
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return r;
    pid_t pid = fork();
    if (pid < 0)
        return r;
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execChild(a);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!input.empty()) {
        // Small inputs only: large ones would need a writer alongside the readers.
        (void)!write(in[1], input.data(), input.size());
    }
    close(in[1]);
    int ofd = out[0], efd = err[0];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
    while (ofd >= 0 || efd >= 0) {
        pollfd p[2] = {{ofd, POLLIN, 0}, {efd, POLLIN, 0}};
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        if (left <= 0) {
            r.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(p, 2, left) < 0 && errno != EINTR)
            break;
        if (ofd >= 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR)))
            drain(ofd, r.out);
        if (efd >= 0 && (p[1].revents & (POLLIN | POLLHUP | POLLERR)))
            drain(efd, r.err);
    }
    if (ofd >= 0)
        close(ofd);
    if (efd >= 0)
        close(efd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.started = !(WIFEXITED(status) && WEXITSTATUS(status) == 127 && r.out.empty());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

pid_t spawnProcess(const std::vector<std::string>& argv, const EnvOverrides& env,
                   const std::string& logPath, int stdinFd) {
    if (argv.empty())
        return -1;
    ExecArgs a(argv, env);
    int nul =
        stdinFd >= 0 ? fcntl(stdinFd, F_DUPFD_CLOEXEC, 3) : open("/dev/null", O_RDONLY | O_CLOEXEC);
    int log = logPath.empty() ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                              : open(logPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
    pid_t pid = fork();
    if (pid == 0) {
        if (nul >= 0)
            dup2(nul, 0);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        execChild(a);
    }
    if (nul >= 0)
        close(nul);
    if (log >= 0)
        close(log);
    return pid;
}

pid_t spawnPiped(const std::vector<std::string>& argv, const EnvOverrides& env, int* stdinFd,
                 int* stdoutFd) {
    if (argv.empty())
        return -1;
    ExecArgs a(argv, env);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return -1;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return -1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        execChild(a);
    }
    close(in[0]);
    close(out[1]);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        return -1;
    }
    *stdinFd = in[1];
    *stdoutFd = out[0];
    return pid;
}

bool processAlive(pid_t pid) {
    if (pid <= 0)
        return false;
    int status;
    if (waitpid(pid, &status, WNOHANG) == pid)
        return false;
    return kill(pid, 0) == 0 || errno == EPERM;
}

void stopProcess(pid_t pid, int graceMs) {
    if (pid <= 0 || !processAlive(pid))
        return;
    kill(pid, SIGTERM);
    for (int waited = 0; waited < graceMs; waited += 20) {
        if (!processAlive(pid))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    for (int i = 0; i < 100 && processAlive(pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace lab
