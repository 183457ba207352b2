// kestrova-virtual-android: one virtual Android phone for `adb connect`.
//
//   kestrova-virtual-android --dir PHONEDIR [--port P] [--control-port P]
//       [--model M] [--manufacturer M] [--release 10] [--sdk 29] [--pda X]
//       [--product P] [--device D] [--usb VID:PID] [--sms-accept SECONDS]
//       [--prop NAME=VALUE]... [--agent-stub echo|rr] [--agent lab|java]
//       [--agent-idle SECONDS] [--state device|unauthorized|offline]
//
// When ready it writes PHONEDIR/phone.ports ("ADBPORT CONTROLPORT") and
// PHONEDIR/phone.pid, then serves until SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "android/phone_server.h"
#include "common/counted_threads.h"
#include "common/files.h"
#include "common/net.h"

namespace {

int usage(const char* why) {
    std::fprintf(stderr, "kestrova-virtual-android: %s\n", why);
    return 2;
}

bool parseArgs(int argc, char** argv, lab::PhoneSettings& s, int& port, int& ctl,
               std::string& state) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string v = argv[++i];
        if (a == "--dir")
            s.dir = v;
        else if (a == "--port")
            port = std::atoi(v.c_str());
        else if (a == "--control-port")
            ctl = std::atoi(v.c_str());
        else if (a == "--model")
            s.model = v;
        else if (a == "--manufacturer")
            s.manufacturer = v;
        else if (a == "--release")
            s.release = v;
        else if (a == "--sdk")
            s.sdk = std::atoi(v.c_str());
        else if (a == "--pda")
            s.pda = v;
        else if (a == "--product")
            s.product = v;
        else if (a == "--device")
            s.device = v;
        else if (a == "--usb")
            std::sscanf(v.c_str(), "%i:%i", &s.usbVendor, &s.usbProduct);
        else if (a == "--usb-interfaces")
            s.usbInterfaces = v;
        else if (a == "--sms-accept")
            s.smsPromptAcceptAfterSeconds = std::atoi(v.c_str());
        else if (a == "--prop" && v.find('=') != std::string::npos)
            s.extraProps[v.substr(0, v.find('='))] = v.substr(v.find('=') + 1);
        else if (a == "--agent-stub")
            s.agentStub = v;
        else if (a == "--agent" && (v == "java" || v == "lab"))
            s.agent = v;
        else if (a == "--agent-idle" && std::atoi(v.c_str()) > 0)
            s.agentIdleSeconds = std::atoi(v.c_str());
        else if (a == "--state")
            state = v;
        else
            return false;
    }
    return !s.dir.empty();
}

} // namespace

int main(int argc, char** argv) {
    lab::ignoreSigpipe();
    lab::PhoneSettings settings;
    int port = 0, ctl = 0;
    std::string state = "device";
    if (!parseArgs(argc, argv, settings, port, ctl, state))
        return usage("usage: --dir PHONEDIR [options]");
    lab::UsbState initial;
    if (!lab::parseUsbState(state, initial))
        return usage("unknown --state");
    if (!lab::makeDirs(settings.dir))
        return usage("cannot create the phone folder");

    // Signals are taken synchronously on the main thread.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    // Bind first: the serial names the port.
    int probe = lab::listenLoopback(static_cast<uint16_t>(port), nullptr);
    if (probe < 0)
        return usage("cannot listen");
    uint16_t bound = lab::localPort(probe);
    close(probe);
    settings.serial = "127.0.0.1:" + std::to_string(bound);

    lab::Phone phone(settings);
    phone.setState(initial);
    if (!phone.fs().prepare())
        return usage("cannot prepare the phone folder");
    auto* server = new lab::PhoneServer(phone); // lives until _exit
    if (!server->listen(bound, static_cast<uint16_t>(ctl)))
        return usage("cannot listen");
    server->start();
    lab::writeFileAtomic(settings.dir + "/phone.pid", std::to_string(getpid()) + "\n");
    lab::writeFileAtomic(settings.dir + "/phone.ports", std::to_string(server->adbPort()) + " " +
                                                            std::to_string(server->controlPort()) +
                                                            "\n");
    std::fprintf(stderr, "virtual phone %s ready (control port %u)\n", settings.serial.c_str(),
                 server->controlPort());
    int sig = 0;
    sigwait(&set, &sig);
    unlink((settings.dir + "/usb-present").c_str());
    unlink((settings.dir + "/phone.ports").c_str());
    unlink((settings.dir + "/phone.pid").c_str());
    // Connections and their streams run on detached threads, each joining
    // the helpers it started: drop them all and give them a moment to end,
    // so none is cut off with a helper it has not joined yet. Then leave
    // without unwinding under any that still runs.
    server->stop();
    lab::waitCountedEnded(2000);
    _exit(0);
}
