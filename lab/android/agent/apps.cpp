#include "apps.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lab {

namespace {
const char kMagic[] = "KESTROVA-LAB-APK 1\n";

uint64_t splitmix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
} // namespace

std::string makeApk(const ApkInfo& info, std::size_t size, uint64_t seed) {
    std::ostringstream head;
    head << kMagic << "package=" << info.package << "\nlabel=" << info.label
         << "\nversionName=" << info.versionName << "\nversionCode=" << info.versionCode
         << "\nclass=" << info.className << "\npermissions=" << info.permissions << "\n\n";
    std::string out = head.str();
    uint64_t state = seed;
    while (out.size() < size) {
        uint64_t v = splitmix(state);
        for (int i = 0; i < 8 && out.size() < size; ++i)
            out.push_back(static_cast<char>(v >> (8 * i)));
    }
    return out;
}

std::optional<ApkInfo> readApkHeader(const std::string& firstBytes) {
    if (firstBytes.compare(0, sizeof kMagic - 1, kMagic) != 0)
        return std::nullopt;
    ApkInfo info;
    std::istringstream in(firstBytes.substr(sizeof kMagic - 1));
    std::string line;
    while (std::getline(in, line) && !line.empty()) {
        auto eq = line.find('=');
        if (eq == std::string::npos)
            return std::nullopt;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "package")
            info.package = value;
        else if (key == "label")
            info.label = value;
        else if (key == "versionName")
            info.versionName = value;
        else if (key == "versionCode")
            info.versionCode = std::atoll(value.c_str());
        else if (key == "class")
            info.className = value;
        else if (key == "permissions")
            info.permissions = value;
    }
    if (!isPackageName(info.package))
        return std::nullopt;
    return info;
}

std::optional<ApkInfo> readApkFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return readApkHeader(head);
}

bool isPackageName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name.front() == '.' || name.back() == '.')
        return false;
    bool segmentStart = true;
    for (char c : name) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        bool digit = c >= '0' && c <= '9';
        if (c == '.') {
            if (segmentStart)
                return false;
            segmentStart = true;
        } else if (letter || (digit && !segmentStart)) {
            segmentStart = false;
        } else {
            return false;
        }
    }
    return name.find('.') != std::string::npos;
}

std::string appsDir(const std::string& phoneDir) { return phoneDir + "/data/app"; }

static std::string apkFileOf(const std::string& phoneDir, const std::string& package) {
    return appsDir(phoneDir) + "/" + package + "-1/base.apk";
}

std::optional<std::string> installApp(const std::string& phoneDir, const std::string& apkPath,
                                      bool replace) {
    auto info = readApkFile(apkPath);
    if (!info)
        return std::nullopt;
    std::string target = apkFileOf(phoneDir, info->package);
    std::error_code ec;
    if (fs::exists(target, ec) && !replace)
        return std::nullopt;
    fs::create_directories(fs::path(target).parent_path(), ec);
    std::string temp = target + ".new";
    if (!fs::copy_file(apkPath, temp, fs::copy_options::overwrite_existing, ec)) {
        fs::remove(temp, ec);
        return std::nullopt;
    }
    fs::rename(temp, target, ec);
    if (ec)
        return std::nullopt;
    return info->package;
}

bool uninstallApp(const std::string& phoneDir, const std::string& package) {
    if (!isPackageName(package))
        return false;
    std::error_code ec;
    return fs::remove_all(appsDir(phoneDir) + "/" + package + "-1", ec) > 0;
}

std::optional<std::string> appPhonePath(const std::string& phoneDir, const std::string& package) {
    std::error_code ec;
    if (!isPackageName(package) || !fs::exists(apkFileOf(phoneDir, package), ec))
        return std::nullopt;
    return "/data/app/" + package + "-1/base.apk";
}

std::vector<std::string> appPhonePaths(const std::string& phoneDir, const std::string& package) {
    std::vector<std::string> out;
    auto base = appPhonePath(phoneDir, package);
    if (!base)
        return out;
    std::vector<std::string> splits;
    std::error_code ec;
    for (fs::directory_iterator it(appsDir(phoneDir) + "/" + package + "-1", ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("split_", 0) == 0 && name.size() > 10 &&
            name.compare(name.size() - 4, 4, ".apk") == 0)
            splits.push_back("/data/app/" + package + "-1/" + name);
    }
    std::sort(splits.begin(), splits.end());
    out.push_back(*base);
    out.insert(out.end(), splits.begin(), splits.end());
    return out;
}

bool installSplits(const std::string& phoneDir, const std::string& package,
                   const std::vector<std::pair<std::string, std::string>>& nameAndHostFile) {
    const std::string folder = appsDir(phoneDir) + "/" + package + "-1";
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().rfind("split_", 0) == 0)
            fs::remove(it->path(), ec);
    for (const auto& [name, host] : nameAndHostFile) {
        if (name.rfind("split_", 0) != 0 || name.find('/') != std::string::npos)
            return false;
        if (!fs::copy_file(host, folder + "/" + name, fs::copy_options::overwrite_existing, ec))
            return false;
    }
    return true;
}

std::vector<InstalledApp> listApps(const std::string& phoneDir) {
    std::vector<InstalledApp> apps;
    std::error_code ec;
    for (fs::directory_iterator it(appsDir(phoneDir), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string folder = it->path().filename().string();
        auto dash = folder.rfind('-');
        std::string apk = it->path().string() + "/base.apk";
        struct stat st {};
        if (dash == std::string::npos || ::stat(apk.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        InstalledApp app;
        app.info = readApkFile(apk).value_or(ApkInfo{});
        app.info.package = folder.substr(0, dash); // the folder is what pm knows it by
        if (app.info.label.empty())
            app.info.label = app.info.package;
        app.apkPath = apk;
        app.size = st.st_size;
        app.system = ::access((it->path().string() + "/.system").c_str(), F_OK) == 0;
        app.installTime = static_cast<int64_t>(st.st_mtime) * 1000;
        apps.push_back(std::move(app));
    }
    std::sort(apps.begin(), apps.end(), [](const InstalledApp& a, const InstalledApp& b) {
        return a.info.package < b.info.package;
    });
    return apps;
}

} // namespace lab
