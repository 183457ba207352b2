// kestrova-virtual-iphone: runs the virtual iPhone lab until SIGTERM/SIGINT
// or "quit" on standard input. See README.md in this folder.
#include "phone_content.h"
#include "virtual_iphone.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

struct PhoneArg {
    viphone::PhoneConfig cfg;
    viphone::ContentOptions content;
    bool fill = false;
    bool attached = true;
};

const std::map<std::string, viphone::PairMode>& pairModes() {
    static const std::map<std::string, viphone::PairMode> modes = {
        {"", viphone::PairMode::Paired},       {"paired", viphone::PairMode::Paired},
        {"accept", viphone::PairMode::Accept}, {"pending", viphone::PairMode::Pending},
        {"denied", viphone::PairMode::Denied}, {"locked", viphone::PairMode::PasscodeLocked}};
    return modes;
}

std::string exeDir() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    return std::filesystem::path(std::string(buf, static_cast<size_t>(n))).parent_path().string();
}

// A folder laid out as the phone's /var/mobile: Library/SMS/sms.db, ...,
// Media/DCIM/...
void useContent(const std::string& dir, viphone::PhoneConfig* cfg) {
    cfg->root = dir + "/Media";
    cfg->libraryRoot = dir + "/Library";
}

bool parsePhone(const std::string& text, int index, PhoneArg* out, std::string* error) {
    std::map<std::string, std::string> kv;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        auto eq = item.find('=');
        if (eq == std::string::npos) {
            *error = "expected KEY=VALUE in --phone: " + item;
            return false;
        }
        kv[item.substr(0, eq)] = item.substr(eq + 1);
    }
    char udid[64];
    std::snprintf(udid, sizeof udid, "00008030-00112233445566%02d", index + 1);
    std::string id = kv.count("udid") ? kv["udid"] : udid;
    std::string ios = kv.count("ios") ? kv["ios"] : "13.5";
    if (!kv.count("root")) {
        *error = "--phone needs root=FOLDER";
        return false;
    }
    out->cfg = viphone::PhoneConfig::standard(id, kv["root"], ios);
    if (kv.count("name"))
        out->cfg.values["DeviceName"] = kv["name"];
    out->cfg.sessionTls = kv["tls"] == "1";
    out->cfg.relay = kv["relay"] == "ios7" ? viphone::RelayMode::Ios7 : viphone::RelayMode::Modern;
    const auto& modes = pairModes();
    if (!modes.count(kv["pair"])) {
        *error = "unknown pair mode " + kv["pair"];
        return false;
    }
    out->cfg.pair = modes.at(kv["pair"]);
    std::stringstream missing(kv["missing"]);
    while (std::getline(missing, item, '+'))
        out->cfg.values.erase(item);
    out->fill = kv["fill"] == "1";
    if (kv.count("content")) {
        // The folder is the user's: nothing is generated into it.
        useContent(kv["content"], &out->cfg);
        out->fill = false;
    }
    out->cfg.willEncrypt = kv["encrypt"] == "1";
    if (kv.count("password"))
        out->cfg.backupPassword = kv["password"];
    if (kv.count("backup-error"))
        out->cfg.backupError = std::stoi(kv["backup-error"]);
    if (kv.count("used-mb"))
        out->cfg.diskUsedBytes = std::stoull(kv["used-mb"]) * 1000 * 1000;
    if (kv.count("link-mbs"))
        out->cfg.linkBytesPerSecond = std::stoull(kv["link-mbs"]) * 1000 * 1000;
    out->attached = kv["detached"] != "1";
    out->content.seed = static_cast<uint32_t>(std::stoul(kv.count("seed") ? kv["seed"] : "1"));
    out->content.recordCount = std::stoi(kv.count("count") ? kv["count"] : "10");
    out->content.iosVersion = std::stoi(ios);
    out->content.largeFileBytes =
        std::stoull(kv.count("large-mb") ? kv["large-mb"] : "0") * 1024 * 1024;
    return true;
}

void command(viphone::Lab& lab, const std::string& line) {
    std::stringstream ss(line);
    std::string verb, arg;
    int index = -1;
    ss >> verb >> index >> arg;
    bool ok = true;
    if (verb == "attach")
        ok = lab.attach(index);
    else if (verb == "detach")
        ok = lab.detach(index);
    else if (verb == "unplug")
        lab.unplugAfterBytes(index, std::stoull(arg.empty() ? "0" : arg));
    else if (verb == "unplug-backup")
        lab.unplugAfterBackupBytes(index, std::stoull(arg.empty() ? "0" : arg));
    else if (verb == "backup-error")
        lab.setBackupError(index, arg == "off" || arg.empty() ? std::nullopt
                                                              : std::optional<int>(std::stoi(arg)));
    else if (verb == "stall")
        lab.setStall(index, arg == "on");
    else if (verb == "pair" && pairModes().count(arg) && !arg.empty())
        lab.setPairMode(index, pairModes().at(arg));
    else if (verb == "stats") {
        auto s = lab.stats(index);
        std::printf("stats %d attached=%d afc_bytes=%llu tls=%d plain=%d stalled=%d "
                    "backup_bytes=%llu backups=%d finished=%d refused=%d lock=%d "
                    "notifications=%zu\n",
                    index, s.attached, static_cast<unsigned long long>(s.afcFileBytes),
                    s.tlsSessions, s.plainSessions, s.stalledNow,
                    static_cast<unsigned long long>(s.backupFileBytes), s.backupsStarted,
                    s.backupsFinished, s.backupsRefused, s.syncLockHeld ? 1 : 0,
                    s.notifications.size());
    } else if (verb == "quit")
        g_stop = 1;
    else
        ok = false;
    std::printf("%s %s\n", ok ? "ok" : "error", line.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    std::string mux, tool = exeDir() + "/kestrova-iosfixture";
    std::string content;
    std::vector<PhoneArg> phones;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string error;
        if (a == "--content" && i + 1 < argc) {
            content = argv[++i];
        } else if (a == "--mux" && i + 1 < argc) {
            mux = argv[++i];
        } else if (a == "--fixture-tool" && i + 1 < argc) {
            tool = argv[++i];
        } else if (a == "--phone" && i + 1 < argc) {
            PhoneArg p;
            if (!parsePhone(argv[++i], static_cast<int>(phones.size()), &p, &error)) {
                std::fprintf(stderr, "kestrova-virtual-iphone: %s\n", error.c_str());
                return 2;
            }
            phones.push_back(p);
        } else {
            std::fprintf(stderr,
                         "usage: kestrova-virtual-iphone --mux UNIX:PATH|TCP:127.0.0.1:PORT\n"
                         "  --phone root=DIR[,udid=U][,name=N][,ios=V][,tls=1][,relay=ios7]\n"
                         "          [,pair=paired|accept|pending|denied|locked][,fill=1][,seed=S]\n"
                         "          [,count=N][,large-mb=M][,missing=Key1+Key2][,detached=1]\n"
                         "          "
                         "[,content=DIR][,encrypt=1][,password=P][,backup-error=CODE][,used-mb=M]\n"
                         "          [,link-mbs=R]\n"
                         "  [--content DIR] [--fixture-tool PATH]\n");
            return 2;
        }
    }
    if (mux.empty() || phones.empty()) {
        std::fprintf(stderr, "kestrova-virtual-iphone: --mux and at least one --phone needed\n");
        return 2;
    }
    for (auto& p : phones) {
        std::string error;
        // One content folder for every phone that has none of its own.
        if (!content.empty() && p.cfg.libraryRoot.empty() && !p.fill)
            useContent(content, &p.cfg);
        std::filesystem::create_directories(p.cfg.root);
        if (!p.fill)
            continue;
        std::vector<viphone::ContentFile> files;
        p.content.fixtureTool = tool;
        if (!viphone::writeMediaTree(p.cfg.root, p.content, &files, &error)) {
            std::fprintf(stderr, "kestrova-virtual-iphone: %s\n", error.c_str());
            return 1;
        }
        if (!viphone::writeUserDatabases(p.cfg.root, p.content, &error))
            std::fprintf(stderr, "kestrova-virtual-iphone: no databases: %s\n", error.c_str());
    }
    viphone::Lab lab(mux);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "kestrova-virtual-iphone: %s\n", error.c_str());
        return 1;
    }
    for (auto& p : phones)
        lab.addPhone(p.cfg, p.attached);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::printf("export USBMUXD_SOCKET_ADDRESS=%s\nREADY\n", lab.muxAddress().c_str());
    std::fflush(stdout);
    bool stdinOpen = true;
    std::string pending;
    while (!g_stop) {
        pollfd pfd{0, POLLIN, 0};
        int r = stdinOpen ? ::poll(&pfd, 1, 200) : (::usleep(200000), 0);
        if (r <= 0)
            continue;
        char buf[512];
        ssize_t n = ::read(0, buf, sizeof buf);
        if (n <= 0) {
            stdinOpen = false;
            continue;
        }
        pending.append(buf, static_cast<size_t>(n));
        for (auto nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
            command(lab, pending.substr(0, nl));
            pending.erase(0, nl + 1);
        }
    }
    lab.stop();
    return 0;
}
