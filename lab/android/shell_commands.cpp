#include "android/shell_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>

#include "android/package_manager.h"
#include "android/phone.h"
#include "android/shell_words.h"
#include "common/files.h"

namespace lab {

namespace {

CommandResult fail(std::string err, int code = 1) { return {{}, std::move(err), code}; }

// A 1x1 PNG: enough for a screenshot that image readers accept.
const unsigned char kTinyPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

CommandResult getprop(Phone& phone, const std::vector<std::string>& a) {
    auto props = phone.properties();
    if (a.size() > 1) {
        auto it = props.find(a[1]);
        return {(it == props.end() ? std::string() : it->second) + "\n", {}, 0};
    }
    std::string out;
    for (const auto& [k, v] : props)
        out += "[" + k + "]: [" + v + "]\n";
    return {out, {}, 0};
}

CommandResult am(Phone& phone, const std::vector<std::string>& a) {
    PackageManager pm(phone);
    if (a.size() >= 2 && a[1] == "force-stop") {
        if (a.size() >= 3 && a.back() == kAgentPackage)
            phone.stopAgent();
        return {};
    }
    if (a.size() >= 2 && a[1] == "start") {
        std::string comp, token;
        bool extras = false;
        for (size_t i = 2; i < a.size(); ++i) {
            if (a[i] == "-n" && i + 1 < a.size()) {
                comp = a[++i];
            } else if (a[i] == "--es" && i + 2 < a.size()) {
                // A string extra: KEY VALUE.
                extras = true;
                if (a[i + 1] == kAgentTokenExtra)
                    token = a[i + 2];
                i += 2;
            }
        }
        if (comp.empty())
            return fail("Error: Intent does not match any activities\n");
        std::string pkg = comp.substr(0, comp.find('/'));
        // As on a phone, the values of extras are never echoed.
        std::string out =
            "Starting: Intent { cmp=" + comp + (extras ? " (has extras)" : "") + " }\n";
        if (!pm.installed(pkg))
            return {out, "Error type 3\nError: Activity class {" + comp + "} does not exist.\n", 1};
        if (pkg == kAgentPackage && !phone.startAgent(token))
            return {out, "Error: the app crashed while starting (" + comp + ")\n", 1};
        return {out, {}, 0};
    }
    return fail("usage: am [start|force-stop] ...\n");
}

CommandResult rm(Phone& phone, const std::vector<std::string>& a) {
    bool force = false, recursive = false;
    CommandResult r;
    for (size_t i = 1; i < a.size(); ++i) {
        const std::string& p = a[i];
        if (p.size() > 1 && p[0] == '-') {
            force = force || p.find('f') != std::string::npos;
            recursive = recursive || p.find_first_of("rR") != std::string::npos;
            continue;
        }
        ResolvedPath h = phone.fs().resolve(p);
        struct stat st;
        if (!h || lstat(h.host.c_str(), &st) != 0) {
            if (!force) {
                r.err += "rm: " + p + ": No such file or directory\n";
                r.code = 1;
            }
            continue;
        }
        std::error_code ec;
        if (S_ISDIR(st.st_mode) && !recursive) {
            r.err += "rm: " + p + ": Is a directory\n";
            r.code = 1;
        } else if (S_ISDIR(st.st_mode)) {
            std::filesystem::remove_all(h.host, ec);
        } else if (unlink(h.host.c_str()) != 0) {
            r.err += "rm: " + p + ": " + std::strerror(errno) + "\n";
            r.code = 1;
        }
    }
    return r;
}

CommandResult mkdirCmd(Phone& phone, const std::vector<std::string>& a) {
    bool parents = std::find(a.begin(), a.end(), "-p") != a.end();
    CommandResult r;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i].rfind("-", 0) == 0)
            continue;
        ResolvedPath h = phone.fs().resolve(a[i]);
        bool made = h && (parents ? makeDirs(h.host) : ::mkdir(h.host.c_str(), 0771) == 0);
        if (!made) {
            int e = h ? errno : h.error;
            r.err += "mkdir: '" + a[i] + "': " + std::strerror(e) + "\n";
            r.code = 1;
        }
    }
    return r;
}

std::string longEntry(const struct stat& st, const std::string& name) {
    char when[32];
    time_t t = st.st_mtime;
    struct tm tmv;
    gmtime_r(&t, &tmv);
    strftime(when, sizeof when, "%Y-%m-%d %H:%M", &tmv);
    return std::string(S_ISDIR(st.st_mode) ? "drwxrwx--x" : "-rw-rw----") + " 1 root sdcard_rw " +
           std::to_string(st.st_size) + " " + when + " " + name + "\n";
}

CommandResult ls(Phone& phone, const std::vector<std::string>& a) {
    bool longForm = false;
    std::vector<std::string> paths;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i].size() > 1 && a[i][0] == '-')
            longForm = longForm || a[i].find('l') != std::string::npos;
        else
            paths.push_back(a[i]);
    }
    if (paths.empty())
        paths.push_back("/sdcard");
    CommandResult r;
    for (const auto& p : paths) {
        ResolvedPath h = phone.fs().resolve(p);
        struct stat st;
        if (!h || stat(h.host.c_str(), &st) != 0) {
            r.err += "ls: " + p + ": No such file or directory\n";
            r.code = 1;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            r.out += longForm ? longEntry(st, p) : p + "\n";
            continue;
        }
        std::vector<std::string> names;
        if (DIR* d = opendir(h.host.c_str())) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.')
                    names.emplace_back(e->d_name);
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        for (const auto& n : names) {
            struct stat est;
            if (longForm && lstat((h.host + "/" + n).c_str(), &est) == 0)
                r.out += longEntry(est, n);
            else
                r.out += n + "\n";
        }
    }
    return r;
}

CommandResult screencap(Phone& phone, const std::vector<std::string>& a) {
    std::string png(reinterpret_cast<const char*>(kTinyPng), sizeof kTinyPng);
    std::string target;
    for (size_t i = 1; i < a.size(); ++i)
        if (a[i] != "-p")
            target = a[i];
    if (target.empty())
        return {png, {}, 0};
    ResolvedPath h = phone.fs().resolve(target);
    if (!h || !writeFileAtomic(h.host, png))
        return fail("Error opening file: " + target + " (" + std::strerror(h ? errno : h.error) +
                    ")\n");
    return {};
}

} // namespace

CommandResult runPhoneCommand(Phone& phone, const std::vector<std::string>& argv,
                              const StdinReader& in) {
    if (argv.empty())
        return {};
    std::string cmd = argv[0];
    if (cmd.rfind("/system/bin/", 0) == 0)
        cmd = cmd.substr(12);
    if (cmd == "getprop")
        return getprop(phone, argv);
    if (cmd == "am")
        return am(phone, argv);
    if (cmd == "pm")
        return PackageManager(phone).run({argv.begin() + 1, argv.end()}, in);
    if (cmd == "cmd") {
        if (argv.size() < 2 || argv[1] != "package")
            return fail("cmd: Can't find service: " + (argv.size() > 1 ? argv[1] : "") + "\n", 20);
        return PackageManager(phone).run({argv.begin() + 2, argv.end()}, in);
    }
    if (cmd == "rm")
        return rm(phone, argv);
    if (cmd == "mkdir")
        return mkdirCmd(phone, argv);
    if (cmd == "ls")
        return ls(phone, argv);
    if (cmd == "screencap")
        return screencap(phone, argv);
    if (cmd == "echo") {
        std::string out;
        for (size_t i = 1; i < argv.size(); ++i)
            out += (i > 1 ? " " : "") + argv[i];
        return {out + "\n", {}, 0};
    }
    if (cmd == "true")
        return {};
    return fail("/system/bin/sh: " + argv[0] + ": inaccessible or not found\n", 127);
}

CommandResult runPhoneCommandLine(Phone& phone, const std::string& line, const StdinReader& in) {
    auto words = splitShellWords(line);
    if (!words)
        return fail("/system/bin/sh: syntax error: unterminated quoted string\n", 2);
    return runPhoneCommand(phone, *words, in);
}

} // namespace lab
