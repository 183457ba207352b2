// kestrova-lab: starts and drives the virtual device lab.
//
//   kestrova-lab up --dir DIR [--android N] [--iphone M] [--iphone-content DIR] [--seed S]
//                   [--scenario default|modern|legacy|unauthorized|sms-never]
//                   [--fill RECORDS] [--agent-stub echo|rr] [--owner-pid PID]
//                   [--agent lab|java] [--sim-country CC]
//       starts the lab in the background and prints one `export NAME=value`
//       line per variable a client needs, once everything is ready; with
//       --owner-pid the lab also stops by itself when that process ends;
//       --agent java runs the agent's real core on the host JVM instead of
//       the lab's agent (default: the variable KESTROVA_LAB_AGENT, else lab);
//       --sim-country gives every phone a SIM card of that country ("de")
//   kestrova-lab down --dir DIR
//   kestrova-lab env --dir DIR                       the export lines again
//   kestrova-lab status --dir DIR
//   kestrova-lab state --dir DIR --phone N device|unauthorized|offline
//   kestrova-lab allow --dir DIR --phone N           the user taps "Allow"
//   kestrova-lab unplug|plug --dir DIR --phone N
//   kestrova-lab fault --dir DIR --phone N --kind KIND [--value V]
//       KIND: drop-after-bytes (the connection drops after V more bytes of
//       file or agent stream), disk-full (file writes fail after V more
//       bytes, the agent's at once), stall (agent replies wait V seconds),
//       cut (agent replies stop after V bytes), oversize (agent length
//       fields V bytes too large), clear
//   kestrova-lab fill --dir DIR --phone N [fixture options...]
//   kestrova-lab dump --dir DIR --phone N [--out FILE]
//   kestrova-lab knock --dir DIR (--phone N [--port 15531] | --local-port P)
//                      [--send TEXT | --send-hex HEX] [--delay-ms MS] [--wait-ms MS]
//       a stranger tries the agent's door: with --phone another app on the
//       phone connects to the agent's port there; with --local-port another
//       program or user of this computer connects to 127.0.0.1:P (the port
//       adb forwards). After --delay-ms (0) it sends the bytes, then reads
//       until the other side closes or --wait-ms (7000) pass, and prints
//       "ok received=N closed=0|1 ms=T", or "ok refused" when nothing listens
//
// `up` also takes --agent-idle SECONDS: the agents stop after this long
// without a connection (600 unless given, as on a phone).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/files.h"
#include "common/net.h"
#include "common/proc.h"
#include "controller/adb_server.h"
#include "controller/lab.h"
#include "controller/lab_config.h"
#include "faults.h"

namespace {

std::string currentDir() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? buf : ".";
}

std::string hexOf(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

struct Args {
    std::string cmd, dir, kind, word, send;
    int phone = 0;
    long long value = 0;
    int port = 15531, localPort = 0, delayMs = 0, waitMs = 7000;
    lab::LabOptions lab;
    std::vector<std::string> rest; // passed through to the fixture tool
};

bool parse(int argc, char** argv, Args& a) {
    if (argc < 2)
        return false;
    a.cmd = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string k = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (k == "--dir")
            a.dir = a.lab.dir = next();
        else if (k == "--android")
            a.lab.android = std::atoi(next().c_str());
        else if (k == "--iphone")
            a.lab.iphone = std::atoi(next().c_str());
        else if (k == "--iphone-content")
            a.lab.iphoneContent = next();
        else if (k == "--seed" && a.cmd != "fill") // fill's own seed goes to the fixture
            a.lab.seed = std::atoll(next().c_str());
        else if (k == "--scenario")
            a.lab.scenario = next();
        else if (k == "--fill")
            a.lab.fillRecords = std::atoi(next().c_str());
        else if (k == "--agent-stub")
            a.lab.agentStub = next();
        else if (k == "--agent")
            a.lab.agent = next();
        else if (k == "--usb")
            a.lab.usb = next();
        else if (k == "--owner-pid")
            a.lab.ownerPid = std::atoi(next().c_str());
        else if (k == "--sim-country")
            a.lab.simCountry = next();
        else if (k == "--agent-idle")
            a.lab.agentIdleSeconds = std::atoi(next().c_str());
        else if (k == "--port")
            a.port = std::atoi(next().c_str());
        else if (k == "--local-port")
            a.localPort = std::atoi(next().c_str());
        else if (k == "--send")
            a.send = hexOf(next());
        else if (k == "--send-hex")
            a.send = next();
        else if (k == "--delay-ms")
            a.delayMs = std::atoi(next().c_str());
        else if (k == "--wait-ms")
            a.waitMs = std::atoi(next().c_str());
        else if (k == "--phone")
            a.phone = std::atoi(next().c_str());
        else if (k == "--kind")
            a.kind = next();
        else if (k == "--value")
            a.value = std::atoll(next().c_str());
        else if (a.cmd == "fill" || a.cmd == "dump")
            a.rest.push_back(k);
        else if (a.word.empty() && k.rfind("--", 0) != 0)
            a.word = k;
        else
            return false;
    }
    if (!a.dir.empty() && a.dir[0] != '/')
        a.dir = a.lab.dir = currentDir() + "/" + a.dir;
    return !a.dir.empty();
}

int reply(const std::string& r) {
    std::printf("%s\n", r.c_str());
    return r.rfind("ok", 0) == 0 ? 0 : 1;
}

int agentFault(const Args& a) {
    std::string pd = lab::phoneDir(a.dir, a.phone);
    lab::Faults f = lab::readFaults(pd);
    if (a.kind == "stall")
        f.stallSeconds = static_cast<int>(a.value);
    else if (a.kind == "cut")
        f.cutBytes = a.value;
    else if (a.kind == "oversize")
        f.oversizeBytes = a.value;
    else if (a.kind == "disk-full")
        f.diskFull = true;
    else if (a.kind == "clear")
        f = lab::Faults{};
    return lab::writeFaults(pd, f) ? 0 : 1;
}

int fault(const Args& a) {
    if (a.kind == "stall" || a.kind == "cut" || a.kind == "oversize")
        return agentFault(a) == 0 ? reply("ok") : reply("error cannot write the agent's faults");
    if (a.kind == "disk-full" || a.kind == "clear") {
        if (agentFault(a) != 0)
            return reply("error cannot write the agent's faults");
    }
    if (a.kind == "clear")
        return reply(lab::phoneControl(a.dir, a.phone, "fault clear"));
    if (a.kind == "drop-after-bytes" || a.kind == "disk-full")
        return reply(
            lab::phoneControl(a.dir, a.phone, "fault " + a.kind + " " + std::to_string(a.value)));
    return reply("error unknown fault kind " + a.kind);
}

int fixtureTool(const Args& a) {
    std::vector<std::string> argv = {lab::exeFolder() + "kestrova-android-fixture", a.cmd, "--dir",
                                     lab::phoneDir(a.dir, a.phone)};
    argv.insert(argv.end(), a.rest.begin(), a.rest.end());
    lab::ProcResult r = lab::runProcess(argv, {}, 3600);
    std::fputs(r.out.c_str(), stdout);
    std::fputs(r.err.c_str(), stderr);
    return r.exitCode;
}

// Another program or user of this computer at a local port: the same
// report as the phone's own knock.
std::string knockLocal(const Args& a) {
    int fd = lab::connectLoopback(static_cast<uint16_t>(a.localPort));
    if (fd < 0)
        return "ok refused";
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(a.delayMs));
    std::string bytes;
    for (size_t i = 0; i + 1 < a.send.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(a.send.substr(i, 2), nullptr, 16)));
    if (!bytes.empty())
        lab::writeAll(fd, bytes);
    bool closed = false;
    const size_t received = lab::drainUntilClosed(fd, a.waitMs, &closed);
    close(fd);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    return "ok received=" + std::to_string(received) + " closed=" + (closed ? "1" : "0") +
           " ms=" + std::to_string(ms);
}

int knock(const Args& a) {
    if (a.send.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos ||
        a.send.size() % 2 != 0)
        return reply("error --send-hex takes hexadecimal pairs");
    if (a.localPort > 0)
        return reply(knockLocal(a));
    return reply(lab::phoneControl(a.dir, a.phone,
                                   "knock " + std::to_string(a.port) + " " +
                                       std::to_string(a.delayMs) + " " + std::to_string(a.waitMs) +
                                       " " + (a.send.empty() ? "-" : a.send)));
}

// adb keeps retrying a network device that went away and lists it as
// offline meanwhile; a pulled cable makes the phone leave the list.
int plugging(const Args& a, bool on) {
    std::string r = lab::phoneControl(a.dir, a.phone, on ? "plug" : "unplug");
    if (!on && r.rfind("ok", 0) == 0) {
        auto env = lab::parseExportLines(lab::readFile(a.dir + "/lab.env").value_or(""));
        lab::AdbServer server(
            a.dir, static_cast<uint16_t>(std::atoi(env["ANDROID_ADB_SERVER_PORT"].c_str())));
        server.adb({"disconnect", lab::phoneSerial(a.dir, a.phone)}, 20);
    }
    return reply(r);
}

// "nopermissions" acts out a phone this computer may not open (no udev rule):
// the phone takes no commands, as when unauthorised, and the lab's adb lists
// it as "no permissions", which only a USB device can be in real adb.
int settingState(const Args& a) {
    const std::string marker = lab::phoneDir(a.dir, a.phone) + "/no-permissions";
    if (a.word == "nopermissions") {
        if (!lab::writeFileAtomic(marker, "1\n"))
            return reply("error cannot mark the phone");
        return reply(lab::phoneControl(a.dir, a.phone, "state unauthorized"));
    }
    unlink(marker.c_str());
    return reply(lab::phoneControl(a.dir, a.phone, "state " + a.word));
}

} // namespace

int main(int argc, char** argv) {
    lab::ignoreSigpipe();
    Args a;
    if (!parse(argc, argv, a)) {
        std::fprintf(stderr, "usage: kestrova-lab up|down|env|status|state|allow|unplug|plug|"
                             "fault|fill|dump|knock --dir DIR ...\n");
        return 2;
    }
    if (a.cmd == "up") {
        // Test suites run unchanged against the real agent with this variable.
        const char* agent = std::getenv("KESTROVA_LAB_AGENT");
        if (a.lab.agent.empty() && agent)
            a.lab.agent = agent;
        if (!a.lab.agent.empty() && a.lab.agent != "lab" && a.lab.agent != "java") {
            std::fprintf(stderr, "kestrova-lab: --agent is lab or java\n");
            return 2;
        }
        return lab::labUp(a.lab, lab::exeFolder() + "kestrova-lab");
    }
    if (a.cmd == "daemon")
        return lab::runLabDaemon(a.lab);
    if (a.cmd == "down")
        return lab::labDown(a.dir);
    if (a.cmd == "env") {
        auto env = lab::readFile(a.dir + "/lab.env");
        std::fputs(env.value_or("").c_str(), stdout);
        return env ? 0 : 1;
    }
    if (a.cmd == "status") {
        for (int i = 0; i < lab::phoneCount(a.dir); ++i)
            std::printf("phone %d %s %s\n", i, lab::phoneSerial(a.dir, i).c_str(),
                        lab::phoneControl(a.dir, i, "status").c_str());
        return 0;
    }
    if (a.cmd == "state")
        return settingState(a);
    if (a.cmd == "allow")
        return reply(lab::phoneControl(a.dir, a.phone, "allow"));
    if (a.cmd == "unplug" || a.cmd == "plug")
        return plugging(a, a.cmd == "plug");
    if (a.cmd == "fault")
        return fault(a);
    if (a.cmd == "fill" || a.cmd == "dump")
        return fixtureTool(a);
    if (a.cmd == "knock")
        return knock(a);
    std::fprintf(stderr, "kestrova-lab: unknown command %s\n", a.cmd.c_str());
    return 2;
}
