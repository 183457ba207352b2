// The daemon half of the lab controller.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "apps.h"
#include "common/files.h"
#include "common/net.h"
#include "common/proc.h"
#include "controller/adb_server.h"
#include "controller/lab.h"
#include "controller/lab_config.h"

namespace lab {

namespace {

// One line of the lab's log: what happened, and the detail.
void say(const std::string& what, const std::string& detail = {}) {
    time_t t = time(nullptr);
    char when[32];
    strftime(when, sizeof when, "%H:%M:%S", localtime(&t));
    std::fprintf(stderr, "[%s] %s %s\n", when, what.c_str(), detail.c_str());
}

bool waitForFile(const std::string& path, pid_t owner, int seconds) {
    for (int i = 0; i < seconds * 50; ++i) {
        if (access(path.c_str(), F_OK) == 0)
            return true;
        if (owner > 0 && !processAlive(owner))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string findAdb() {
    for (const char* p : {"/usr/bin/adb", "/usr/lib/android-sdk/platform-tools/adb"})
        if (access(p, X_OK) == 0)
            return p;
    return "adb";
}

// tools/: what the Android library expects beside itself.
bool layOutTools(const std::string& dir, const std::string& adbPath) {
    std::string tools = dir + "/tools";
    if (!makeDirs(tools))
        return false;
    std::error_code ec;
    std::filesystem::remove(tools + "/adb.real", ec);
    std::filesystem::create_symlink(adbPath, tools + "/adb.real", ec);
    bool ok = !ec;
    // Copies, not links: both find the lab as their own folder's parent. The
    // lab's adb runs the real one (adb.real) and only rewrites the state of a
    // phone acting out "no permissions" in its device list.
    for (const auto& [from, to] :
         {std::pair{"kestrova-lab-getusb", "getusb"}, std::pair{"kestrova-lab-adb", "adb"}}) {
        std::filesystem::remove(tools + "/" + to, ec);
        std::filesystem::copy_file(exeFolder() + from, tools + "/" + to,
                                   std::filesystem::copy_options::overwrite_existing, ec);
        ok = ok && !ec;
    }
    for (int n = 1; n <= 2; ++n) {
        ApkInfo info;
        info.package = "com.quellfin.kestrova";
        info.label = "Kestrova";
        info.versionName = "1.0";
        info.className = "com.quellfin.kestrova.activity.ServiceActivity";
        ok = writeFileAtomic(tools + "/kestrova" + std::to_string(n) + ".apk",
                             makeApk(info, 16 * 1024, static_cast<uint64_t>(n))) &&
             ok;
    }
    return ok;
}

class Daemon {
  public:
    Daemon(const LabOptions& o, uint16_t adbPort) : m_o(o), m_server(o.dir, adbPort, findAdb()) {}

    bool start();
    void watch(const sigset_t& stopSignals);
    void shutdown();

  private:
    bool startPhones();
    bool startIphones();
    bool connectPhones(int seconds);
    void keepConnected();

    LabOptions m_o;
    AdbServer m_server;
    std::vector<PhoneProfile> m_profiles;
    std::vector<pid_t> m_phones;
    pid_t m_iphones = -1;
    std::vector<std::pair<std::string, std::string>> m_extraEnv;
    std::map<int, std::chrono::steady_clock::time_point> m_lastTry;
};

bool Daemon::startPhones() {
    m_profiles = scenarioPhones(m_o.scenario, m_o.android);
    if (!applyUsbIdentities(m_o.usb, &m_profiles)) {
        say("malformed --usb list", m_o.usb);
        return false;
    }
    if (m_profiles.size() != static_cast<size_t>(m_o.android)) {
        say("unknown scenario", m_o.scenario);
        return false;
    }

    std::string fixture = exeFolder() + "kestrova-android-fixture";
    for (int i = 0; i < m_o.android; ++i) {
        std::string pd = phoneDir(m_o.dir, i);
        makeDirs(pd);
        if (m_o.fillRecords >= 0) {
            ProcResult r =
                runProcess({fixture, "fill", "--dir", pd, "--seed", std::to_string(m_o.seed + i),
                            "--records", std::to_string(m_o.fillRecords)},
                           {}, 600);
            if (r.exitCode != 0)
                say("filling a phone failed:", r.err);
        }
        std::vector<std::string> argv = {exeFolder() + "kestrova-virtual-android"};
        auto args = phoneArguments(m_profiles[static_cast<size_t>(i)], pd, m_o.agentStub, m_o.agent,
                                   m_o.simCountry);
        argv.insert(argv.end(), args.begin(), args.end());
        if (m_o.agentIdleSeconds > 0) {
            argv.push_back("--agent-idle");
            argv.push_back(std::to_string(m_o.agentIdleSeconds));
        }
        unlink((pd + "/phone.ports").c_str());
        pid_t pid = spawnProcess(argv, {}, pd + "/phone.log");
        m_phones.push_back(pid);
        if (pid < 0 || !waitForFile(pd + "/phone.ports", pid, 20)) {
            say("this phone did not start:", std::to_string(i));
            return false;
        }
    }
    return true;
}

// The virtual iPhones run in their own program; it prints its export lines
// and READY on standard output.
bool Daemon::startIphones() {
    if (m_o.iphone <= 0)
        return true;
    std::string idir = m_o.dir + "/iphones";
    makeDirs(idir);
    uint16_t muxPort = pickFreePort();
    std::vector<std::string> argv = {exeFolder() + "kestrova-virtual-iphone", "--mux",
                                     "TCP:127.0.0.1:" + std::to_string(muxPort)};
    for (int i = 0; i < m_o.iphone; ++i) {
        argv.push_back("--phone");
        // Generated content, or the given folder laid out as a phone's.
        argv.push_back("root=" + idir + "/" + std::to_string(i) +
                       (m_o.iphoneContent.empty() ? ",fill=1" : ",content=" + m_o.iphoneContent) +
                       ",seed=" + std::to_string(m_o.seed + 100 + i));
    }
    std::string out = idir + "/iphone.out";
    unlink(out.c_str());
    m_iphones = spawnProcess(argv, {}, out);
    for (int i = 0; i < 3000 && processAlive(m_iphones); ++i) {
        auto text = readFile(out).value_or("");
        if (text.find("\nREADY") != std::string::npos) {
            for (const auto& [k, v] : parseExportLines(text))
                m_extraEnv.emplace_back(k, v);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    say("the virtual iPhones did not start; see", out);
    return false;
}

bool Daemon::connectPhones(int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        auto listed = m_server.devices().value_or(std::map<std::string, std::string>{});
        bool all = true;
        for (int i = 0; i < m_o.android; ++i) {
            std::string serial = phoneSerial(m_o.dir, i);
            if (listed.count(serial))
                continue;
            all = false;
            ProcResult r = m_server.adb({"connect", serial}, 20);
            if (!connectSucceeded(r.out))
                say("adb connect:", r.out + r.err);
        }
        if (all)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool Daemon::start() {
    std::string adbPath = findAdb();
    if (!makeDirs(m_o.dir + "/home") || !makeDirs(m_o.dir + "/phones") ||
        !layOutTools(m_o.dir, adbPath)) {
        say("cannot lay out", m_o.dir);
        return false;
    }
    if (!startPhones() || !m_server.start() || !connectPhones(30) || !startIphones())
        return false;
    std::vector<std::pair<std::string, std::string>> env;
    for (const auto& kv : m_server.environment())
        env.push_back(kv);
    env.emplace_back("KESTROVA_TOOL_DIR", m_o.dir + "/tools");
    env.emplace_back("KESTROVA_LAB_DIR", m_o.dir);
    for (int i = 0; i < m_o.android; ++i)
        env.emplace_back("KESTROVA_LAB_SERIAL_" + std::to_string(i), phoneSerial(m_o.dir, i));
    env.insert(env.end(), m_extraEnv.begin(), m_extraEnv.end());
    return writeFileAtomic(m_o.dir + "/lab.env", exportLines(env)) &&
           writeFileAtomic(m_o.dir + "/ready", "1\n");
}

// A client may restart the adb server (kill-server, start-server): the new
// server knows no network devices, so connect every plugged phone again.
// An unplugged phone is disconnected, or adb would list it as offline while
// it keeps retrying.
void Daemon::keepConnected() {
    auto listed = m_server.devices();
    if (!listed)
        return; // no server now; the next client starts one
    auto now = std::chrono::steady_clock::now();
    for (int i = 0; i < m_o.android; ++i) {
        std::string pd = phoneDir(m_o.dir, i);
        std::string serial = phoneSerial(m_o.dir, i);
        bool plugged = access((pd + "/usb-present").c_str(), F_OK) == 0;
        bool known = listed->count(serial) > 0;
        if (serial.empty() || plugged == known)
            continue;
        if (now - m_lastTry[i] < std::chrono::milliseconds(500))
            continue;
        m_lastTry[i] = now;
        m_server.adb({plugged ? "connect" : "disconnect", serial}, 20);
    }
}

void Daemon::watch(const sigset_t& stopSignals) {
    timespec tick{0, 100 * 1000 * 1000};
    while (sigtimedwait(&stopSignals, nullptr, &tick) < 0) {
        // A test that crashed never says "down": do not outlive it.
        if (m_o.ownerPid > 0 && kill(m_o.ownerPid, 0) != 0 && errno == ESRCH) {
            say("the owner process is gone; stopping");
            return;
        }
        keepConnected();
    }
}

void Daemon::shutdown() {
    unlink((m_o.dir + "/ready").c_str());
    if (m_iphones > 0)
        stopProcess(m_iphones);
    for (pid_t p : m_phones)
        stopProcess(p);
    m_server.kill();
}

} // namespace

int runLabDaemon(const LabOptions& o) {
    setsid();
    ignoreSigpipe();
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    writeFileAtomic(o.dir + "/lab.pid", std::to_string(getpid()) + "\n");
    Daemon d(o, pickFreePort());
    bool ok = d.start();
    if (ok) {
        say("lab ready in", o.dir);
        d.watch(stop);
    }
    d.shutdown();
    unlink((o.dir + "/lab.pid").c_str());
    say("lab stopped");
    return ok ? 0 : 1;
}

} // namespace lab
