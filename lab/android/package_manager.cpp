#include "android/package_manager.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "android/phone.h"
#include "apps.h"
#include "common/files.h"
#include "common/net.h"

namespace lab {

namespace {

constexpr long long kMaxPackageSize = 1LL << 30;

// Copies up to size bytes of standard input into fd; the count written.
long long receiveInto(int fd, long long size, const StdinReader& in) {
    char buf[65536];
    long long got = 0;
    while (got < size) {
        size_t want = static_cast<size_t>(std::min<long long>(sizeof buf, size - got));
        size_t n = in(buf, want);
        if (n == 0 || !writeAll(fd, buf, n))
            break;
        got += static_cast<long long>(n);
    }
    return got;
}

CommandResult ok(std::string out = "Success\n") { return {std::move(out), {}, 0}; }
CommandResult failure(const std::string& why) { return {"Failure [" + why + "]\n", {}, 1}; }

bool takesValue(const std::string& opt) {
    static const char* const withValue[] = {"-i",
                                            "-S",
                                            "--user",
                                            "-p",
                                            "--abi",
                                            "--install-location",
                                            "--originating-uri",
                                            "--referrer",
                                            "--pkg",
                                            "--install-reason"};
    return std::any_of(std::begin(withValue), std::end(withValue),
                       [&](const char* o) { return opt == o; });
}

} // namespace

std::string PackageManager::hostAppDir(const std::string& pkg) const {
    return appsDir(m_phone.fs().dir()) + "/" + pkg + "-1";
}

std::string PackageManager::apkPath(const std::string& pkg) const {
    return appPhonePath(m_phone.fs().dir(), pkg).value_or(std::string());
}

bool PackageManager::installed(const std::string& pkg) const {
    return appPhonePath(m_phone.fs().dir(), pkg).has_value();
}

std::vector<std::string> PackageManager::packages() const {
    std::vector<std::string> out;
    for (const auto& app : listApps(m_phone.fs().dir()))
        out.push_back(app.info.package);
    return out;
}

CommandResult PackageManager::run(const std::vector<std::string>& args, const StdinReader& in) {
    if (args.empty())
        return {{}, "usage: pm [list|path|install|uninstall] ...\n", 1};
    const std::string& verb = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (verb == "install")
        return install(rest, in);
    if (verb == "uninstall")
        return uninstall(rest);
    if (verb == "path") {
        if (rest.empty() || !installed(rest.back()))
            return {{}, {}, 1};
        std::string out;
        for (const std::string& path : appPhonePaths(m_phone.fs().dir(), rest.back()))
            out += "package:" + path + "\n";
        return ok(out);
    }
    if (verb == "install-create")
        return createSession();
    if (verb == "install-write")
        return writeSession(rest, in);
    if (verb == "install-commit")
        return commitSession(rest);
    if (verb == "install-abandon") {
        std::error_code ec;
        std::filesystem::remove_all(sessionDir(rest.empty() ? "" : rest.back()), ec);
        return ok();
    }
    if (verb == "list" && !rest.empty() && rest[0] == "packages") {
        std::string out;
        for (const auto& p : packages())
            out += "package:" + p + "\n";
        return ok(out);
    }
    return {{}, "Unknown command: " + verb + "\n", 1};
}

CommandResult PackageManager::install(const std::vector<std::string>& opts, const StdinReader& in) {
    bool replace = m_phone.settings().sdk >= 24; // newer pm always replaces
    bool external = false;
    long long size = -1;
    std::string path;
    for (size_t i = 0; i < opts.size(); ++i) {
        const std::string& o = opts[i];
        if (o == "-r")
            replace = true;
        else if (o == "-s")
            external = true;
        else if (o == "-S" && i + 1 < opts.size())
            size = std::atoll(opts[i + 1].c_str());
        if (takesValue(o))
            ++i;
        else if (o.empty() || o[0] != '-' || o == "-")
            path = o;
    }
    if (size >= 0) {
        if (size > kMaxPackageSize)
            return failure("INSTALL_FAILED_INSUFFICIENT_STORAGE");
        // Streamed install: exactly `size` bytes arrive on standard input.
        static thread_local std::mt19937_64 rng{std::random_device{}()};
        std::string tmp = m_phone.fs().dir() + "/data/app/.incoming-" + std::to_string(rng());
        int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return failure("INSTALL_FAILED_INTERNAL_ERROR");
        const long long got = receiveInto(fd, size, in);
        close(fd);
        CommandResult r = got == size ? installFile(tmp, replace, external)
                                      : failure("INSTALL_FAILED_INVALID_APK: short read");
        unlink(tmp.c_str());
        return r;
    }
    if (path.empty())
        return {{}, "Error: no package specified\n", 1};
    ResolvedPath src = m_phone.fs().resolve(path);
    struct stat st;
    if (!src || stat(src.host.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return failure("INSTALL_FAILED_INVALID_URI");
    return installFile(src.host, replace, external);
}

CommandResult PackageManager::installFile(const std::string& hostFile, bool replace,
                                          bool external) {
    auto info = readApkFile(hostFile);
    if (!info)
        return failure("INSTALL_FAILED_INVALID_APK");
    if (external && m_phone.settings().sdk >= 23)
        return failure("INSTALL_FAILED_INVALID_INSTALL_LOCATION");
    if (installed(info->package) && !replace)
        return failure("INSTALL_FAILED_ALREADY_EXISTS: Attempt to re-install " + info->package +
                       " without first uninstalling.");
    if (info->package == kAgentPackage)
        m_phone.stopAgent(); // replacing an app stops it
    if (!installApp(m_phone.fs().dir(), hostFile, true))
        return failure("INSTALL_FAILED_INSUFFICIENT_STORAGE");
    makeDirs(m_phone.fs().dir() + "/data/data/" + info->package);
    return ok();
}

// Install sessions, as "adb install-multiple" drives them: create, one write
// per package file (streamed on standard input), commit. A session is a
// folder of the phone, so the separate commands find it.
std::string PackageManager::sessionDir(const std::string& id) const {
    if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos)
        return {};
    return m_phone.fs().dir() + "/data/app/.session-" + id;
}

CommandResult PackageManager::createSession() {
    static thread_local std::mt19937 rng{std::random_device{}()};
    const std::string id = std::to_string(100000 + rng() % 900000);
    if (!makeDirs(sessionDir(id)))
        return failure("INSTALL_FAILED_INTERNAL_ERROR");
    return ok("Success: created install session [" + id + "]\n");
}

CommandResult PackageManager::writeSession(const std::vector<std::string>& opts,
                                           const StdinReader& in) {
    long long size = -1;
    std::vector<std::string> words;
    for (size_t i = 0; i < opts.size(); ++i) {
        if (opts[i] == "-S" && i + 1 < opts.size())
            size = std::atoll(opts[++i].c_str());
        else
            words.push_back(opts[i]);
    }
    // SESSION NAME [-]
    if (words.size() < 2 || size < 0 || size > kMaxPackageSize)
        return failure("INSTALL_FAILED_INVALID_APK");
    const std::string dir = sessionDir(words[0]);
    const std::string& name = words[1];
    if (dir.empty() || access(dir.c_str(), F_OK) != 0 || name.empty() ||
        name.find('/') != std::string::npos || name[0] == '.')
        return failure("INSTALL_FAILED_INVALID_APK");
    int fd = open((dir + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return failure("INSTALL_FAILED_INTERNAL_ERROR");
    const long long got = receiveInto(fd, size, in);
    close(fd);
    if (got != size)
        return failure("INSTALL_FAILED_INVALID_APK: short read");
    return ok("Success: streamed " + std::to_string(size) + " bytes\n");
}

CommandResult PackageManager::commitSession(const std::vector<std::string>& opts) {
    const std::string dir = sessionDir(opts.empty() ? "" : opts.back());
    if (dir.empty() || access(dir.c_str(), F_OK) != 0)
        return failure("INSTALL_FAILED_INVALID_APK: no such session");
    // adb names the files "<index>_<name>" in the order given, the base first.
    std::vector<std::pair<int, std::string>> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        files.emplace_back(std::atoi(name.c_str()), name);
    }
    std::sort(files.begin(), files.end());
    CommandResult r = failure("INSTALL_FAILED_INVALID_APK: empty session");
    if (!files.empty()) {
        const std::string base = dir + "/" + files[0].second;
        r = installFile(base, true, false);
        auto info = readApkFile(base);
        std::vector<std::pair<std::string, std::string>> splits;
        for (size_t i = 1; i < files.size(); ++i) {
            std::string name = files[i].second.substr(files[i].second.find('_') + 1);
            if (name.rfind("split_", 0) != 0)
                name = "split_" + name;
            splits.emplace_back(name, dir + "/" + files[i].second);
        }
        if (r.code == 0 && info && !installSplits(m_phone.fs().dir(), info->package, splits))
            r = failure("INSTALL_FAILED_INSUFFICIENT_STORAGE");
    }
    std::filesystem::remove_all(dir, ec);
    return r;
}

CommandResult PackageManager::uninstall(const std::vector<std::string>& opts) {
    bool keepData = false;
    std::string pkg;
    for (size_t i = 0; i < opts.size(); ++i) {
        if (opts[i] == "-k")
            keepData = true;
        else if (opts[i] == "--user" || opts[i] == "--versionCode")
            ++i;
        else if (!opts[i].empty() && opts[i][0] != '-')
            pkg = opts[i];
    }
    if (!installed(pkg))
        return failure("DELETE_FAILED_INTERNAL_ERROR");
    if (pkg == kAgentPackage)
        m_phone.stopAgent();
    uninstallApp(m_phone.fs().dir(), pkg);
    std::error_code ec;
    if (!keepData)
        std::filesystem::remove_all(m_phone.fs().dir() + "/data/data/" + pkg, ec);
    return ok();
}

} // namespace lab
