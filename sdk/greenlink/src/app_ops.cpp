#include "app_ops.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "device_table.h"
#include "greenlink.h"
#include "greenlink_log.h"
#include "runner.h"

namespace greenlink {

bool installModeOptions(int mode, std::vector<std::string>* options) {
    switch (mode) {
    case 1:
        *options = {"-l"};
        return true;
    case 2:
        *options = {"-r"};
        return true;
    case 3:
        *options = {"-s"};
        return true;
    case 4:
        *options = {};
        return true;
    case 5:
        *options = {"-r", "-s"};
        return true;
    default:
        return false;
    }
}

std::string parsePmPath(const std::string& output) {
    std::istringstream lines(output);
    std::string line, first;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.rfind("package:", 0) != 0 || line.size() <= 8)
            continue;
        std::string path = line.substr(8);
        if (path.size() >= 9 && path.compare(path.size() - 9, 9, "/base.apk") == 0)
            return path;
        if (first.empty())
            first = path;
    }
    return first;
}

std::vector<std::string> parsePmPaths(const std::string& output) {
    std::vector<std::string> paths;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.rfind("package:", 0) != 0 || line.size() <= 8)
            continue;
        paths.push_back(line.substr(8));
    }
    const std::string base = parsePmPath(output);
    for (size_t i = 0; i < paths.size(); ++i)
        if (paths[i] == base) {
            std::rotate(paths.begin(), paths.begin() + static_cast<long>(i),
                        paths.begin() + static_cast<long>(i) + 1);
            break;
        }
    return paths;
}

std::string splitFileName(const std::string& phonePath, int n) {
    const size_t slash = phonePath.rfind('/');
    std::string name = slash == std::string::npos ? phonePath : phonePath.substr(slash + 1);
    const bool plain = name.size() > 4 && name.size() < 200 && name[0] != '.' &&
                       name.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-") ==
                           std::string::npos &&
                       name.compare(name.size() - 4, 4, ".apk") == 0 && name != "base.apk";
    return plain ? name : "split" + std::to_string(n) + ".apk";
}

std::string splitFolderOf(const std::string& basePath) { return basePath + ".splits"; }

bool packageManagerSucceeded(const std::string& output) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line == "Success")
            return true;
    }
    return false;
}

namespace {

// adb installs only files whose name ends in ".apk"; the program hands over a
// scratch file of any name. Such a file is installed through a link with the
// right ending in the library's private temporary folder.
class ApkName {
  public:
    explicit ApkName(const std::string& path) : path_(path) {
        if (path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".apk") == 0)
            return;
        char* absolute = realpath(path.c_str(), nullptr);
        std::string base = newTempFile();
        if (!absolute || base.empty()) {
            std::free(absolute);
            return;
        }
        std::string link = base + ".apk";
        if (symlink(absolute, link.c_str()) == 0)
            path_ = link_ = link;
        std::free(absolute);
    }
    ~ApkName() {
        if (!link_.empty())
            unlink(link_.c_str());
    }
    ApkName(const ApkName&) = delete;
    ApkName& operator=(const ApkName&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_, link_;
};

// The split packages kept beside an exported base package, sorted.
std::vector<std::string> splitsBeside(const std::string& basePath) {
    std::vector<std::string> splits;
    const std::string folder = splitFolderOf(basePath);
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return splits;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string path = it->path().string();
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && path.size() > 4 &&
            path.compare(path.size() - 4, 4, ".apk") == 0)
            splits.push_back(path);
    }
    std::sort(splits.begin(), splits.end());
    return splits;
}

// One package, or a base with its splits installed together as one app.
bool install(const std::string& serial, const std::vector<std::string>& options,
             const std::string& apk, const std::vector<std::string>& splits, std::string* out) {
    std::vector<std::string> args = {"-s", serial, splits.empty() ? "install" : "install-multiple"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(apk);
    args.insert(args.end(), splits.begin(), splits.end());
    RunResult r = runAdbCapture(args, 120 + 60 * static_cast<int>(splits.size()), true, out);
    return r.started() && packageManagerSucceeded(*out);
}

} // namespace
} // namespace greenlink

using namespace greenlink;

int AndroidTSF_InstallAppToMemory(char* apkPath, int mode, int dev) {
    std::vector<std::string> options;
    if (!installModeOptions(mode, &options) || !apkPath)
        return -1;
    std::string serial = deviceSerial(dev);
    if (serial.empty())
        return -1;
    std::string out;
    ApkName apk(apkPath);
    const std::vector<std::string> splits = splitsBeside(apkPath);
    if (install(serial, options, apk.path(), splits, &out))
        return 0;
    WriteLog("install %s (mode %d) refused: %s\n", apkPath, mode, out.c_str());
    // Newer phones refuse the old install locations (-s, -l): a plain
    // install still brings the app over.
    if (mode != 4 && install(serial, {}, apk.path(), splits, &out))
        return 0;
    WriteLog("install %s failed: %s\n", apkPath, out.c_str());
    return -1;
}

int AndroidTSF_UnInstallApp(char* packageName, int mode, int dev) {
    std::string serial = deviceSerial(dev);
    if (!packageName || serial.empty() || (mode != 1 && mode != 2))
        return -1;
    std::vector<std::string> args;
    if (mode == 1)
        args = {"-s", serial, "uninstall", packageName};
    else // the adb client refuses "uninstall -k"; the phone's package manager takes it
        args = {"-s", serial, "shell", "cmd", "package", "uninstall", "-k", packageName};
    std::string out;
    RunResult r = runAdbCapture(args, 62, true, &out);
    if (!r.started() || !packageManagerSucceeded(out)) {
        WriteLog("uninstall %s failed: %s\n", packageName, out.c_str());
        return -1;
    }
    return 0;
}

int AndroidTSF_ExportApp(char* packageName, char* outPath, int dev) {
    WriteLog("ExportApp pkgname=%s,outfilename=%s\n", packageName ? packageName : "",
             outPath ? outPath : "");
    std::string serial = deviceSerial(dev);
    if (!packageName || !*packageName || !outPath || !*outPath || serial.empty())
        return -1;
    std::string out;
    runAdbCapture({"-s", serial, "shell", "pm", "path", packageName}, 11, true, &out);
    const std::vector<std::string> phonePaths = parsePmPaths(out);
    if (phonePaths.empty()) {
        WriteLog("ExportApp: no package file for %s: %s\n", packageName, out.c_str());
        return -1;
    }
    // An app shipped as split packages needs every one of them: the base goes
    // to outPath, the splits into a private folder beside it.
    const std::string folder = splitFolderOf(outPath);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    auto fail = [&](const std::string& what) {
        WriteLog("ExportApp: pull of %s failed: %s\n", what.c_str(), out.c_str());
        std::remove(outPath);
        std::filesystem::remove_all(folder, ec);
        return -1;
    };
    RunResult r = runAdbCapture({"-s", serial, "pull", phonePaths[0], outPath}, 300, true, &out);
    struct stat st {};
    if (!r.succeeded() || stat(outPath, &st) != 0)
        return fail(phonePaths[0]);
    if (phonePaths.size() > 1 && mkdir(folder.c_str(), 0700) != 0)
        return fail(folder);
    for (size_t i = 1; i < phonePaths.size(); ++i) {
        const std::string local = folder + "/" + splitFileName(phonePaths[i], static_cast<int>(i));
        r = runAdbCapture({"-s", serial, "pull", phonePaths[i], local}, 300, true, &out);
        if (!r.succeeded() || stat(local.c_str(), &st) != 0)
            return fail(phonePaths[i]);
    }
    return 0;
}

int AndroidTSF_ClearAllApp(int) { return 0; }
int AndroidTSF_MoveAppToSdCard(char*, int) { return -1; }
int AndroidTSF_MoveAppToMemory(char*, int) { return -1; }
