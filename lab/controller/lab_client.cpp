// The client half of the lab controller: finding a lab through its folder.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <thread>
#include <unistd.h>

#include "common/files.h"
#include "common/net.h"
#include "common/proc.h"
#include "controller/lab.h"

namespace lab {

namespace {

// A pid file is trusted only while it names a process running `program`:
// a stale file must never make us signal somebody else's process.
pid_t ownedPid(const std::string& pidFile, const std::string& program) {
    auto text = readFile(pidFile);
    if (!text)
        return -1;
    pid_t pid = static_cast<pid_t>(std::atoi(text->c_str()));
    auto cmdline = readFile("/proc/" + std::to_string(pid) + "/cmdline");
    if (pid <= 0 || !cmdline || cmdline->find(program) == std::string::npos)
        return -1;
    return pid;
}

void stopOwned(const std::string& pidFile, const std::string& program, int graceMs) {
    pid_t pid = ownedPid(pidFile, program);
    if (pid > 0)
        stopProcess(pid, graceMs);
}

} // namespace

std::string phoneDir(const std::string& labDir, int index) {
    return labDir + "/phones/" + std::to_string(index);
}

int phoneCount(const std::string& labDir) {
    int n = 0;
    while (access(phoneDir(labDir, n).c_str(), F_OK) == 0)
        ++n;
    return n;
}

static int portOf(const std::string& labDir, int index, int which) {
    auto text = readFile(phoneDir(labDir, index) + "/phone.ports");
    int adb = 0, ctl = 0;
    if (!text || std::sscanf(text->c_str(), "%d %d", &adb, &ctl) != 2)
        return 0;
    return which == 0 ? adb : ctl;
}

std::string phoneSerial(const std::string& labDir, int index) {
    int port = portOf(labDir, index, 0);
    return port ? "127.0.0.1:" + std::to_string(port) : std::string();
}

std::string phoneControl(const std::string& labDir, int index, const std::string& line) {
    int port = portOf(labDir, index, 1);
    int fd = port ? connectLoopback(static_cast<uint16_t>(port)) : -1;
    if (fd < 0)
        return "error phone " + std::to_string(index) + " is not running";
    std::string reply;
    if (!writeAll(fd, line + "\n") || !readLine(fd, reply))
        reply = "error no answer";
    close(fd);
    return reply;
}

int labUp(const LabOptions& o, const std::string& selfPath) {
    if (!makeDirs(o.dir))
        return std::fprintf(stderr, "kestrova-lab: cannot create %s\n", o.dir.c_str()), 1;
    if (ownedPid(o.dir + "/lab.pid", "kestrova-lab") > 0)
        return std::fprintf(stderr, "kestrova-lab: a lab already runs in %s\n", o.dir.c_str()), 1;
    unlink((o.dir + "/ready").c_str());
    std::vector<std::string> argv = {selfPath,     "daemon",
                                     "--dir",      o.dir,
                                     "--android",  std::to_string(o.android),
                                     "--iphone",   std::to_string(o.iphone),
                                     "--seed",     std::to_string(o.seed),
                                     "--scenario", o.scenario,
                                     "--fill",     std::to_string(o.fillRecords)};
    if (!o.iphoneContent.empty()) {
        argv.push_back("--iphone-content");
        argv.push_back(o.iphoneContent);
    }
    if (!o.agentStub.empty()) {
        argv.push_back("--agent-stub");
        argv.push_back(o.agentStub);
    }
    if (!o.agent.empty()) {
        argv.push_back("--agent");
        argv.push_back(o.agent);
    }
    if (!o.usb.empty()) {
        argv.push_back("--usb");
        argv.push_back(o.usb);
    }
    if (!o.simCountry.empty()) {
        argv.push_back("--sim-country");
        argv.push_back(o.simCountry);
    }
    if (o.agentIdleSeconds > 0) {
        argv.push_back("--agent-idle");
        argv.push_back(std::to_string(o.agentIdleSeconds));
    }
    if (o.ownerPid > 0) {
        argv.push_back("--owner-pid");
        argv.push_back(std::to_string(o.ownerPid));
    }
    pid_t pid = spawnProcess(argv, {}, o.dir + "/lab.log");
    for (int i = 0; i < 120 * 50 && processAlive(pid); ++i) {
        if (access((o.dir + "/ready").c_str(), F_OK) == 0) {
            std::fputs(readFile(o.dir + "/lab.env").value_or("").c_str(), stdout);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fprintf(stderr, "kestrova-lab: the lab did not come up; see %s/lab.log\n", o.dir.c_str());
    labDown(o.dir);
    return 1;
}

int labDown(const std::string& dir) {
    stopOwned(dir + "/lab.pid", "kestrova-lab", 15000);
    // Whatever the daemon could not stop (it may have been killed itself).
    for (int i = 0; i < phoneCount(dir); ++i)
        stopOwned(phoneDir(dir, i) + "/phone.pid", "kestrova-virtual-android", 3000);
    auto env = readFile(dir + "/lab.env");
    if (env) {
        auto port = env->find("ANDROID_ADB_SERVER_PORT=");
        if (port != std::string::npos) {
            std::string p = env->substr(port + 24, env->find('\n', port) - port - 24);
            int fd = connectLoopback(static_cast<uint16_t>(std::atoi(p.c_str())));
            if (fd >= 0) {
                close(fd);
                runProcess({"adb", "kill-server"},
                           {{"ANDROID_ADB_SERVER_PORT", p}, {"HOME", dir + "/home"}}, 20);
            }
        }
    }
    unlink((dir + "/ready").c_str());
    return 0;
}

} // namespace lab
