// Installed apps of the virtual phone. The folder is the table: each app is
// DIR/data/app/<package>-1/base.apk, its install time the file's time. A
// lab package file starts with a small text header (makeApk) that names the
// package; any other file installs under a name derived from its folder.
// The transport's "pm install" / "pm uninstall" / "pm path" use these
// functions too, so both sides see the same apps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lab {

struct ApkInfo {
    std::string package, label, versionName, className, permissions;
    int64_t versionCode = 1;
};

struct InstalledApp {
    ApkInfo info;
    std::string apkPath; // on disk
    int64_t size = 0;
    int64_t installTime = 0; // ms since 1970
    bool sdcard = false, system = false;
};

// The package file's bytes: header, then `size` bytes in all, the filler
// derived from the seed (so two apps never share bytes).
std::string makeApk(const ApkInfo& info, std::size_t size, uint64_t seed);
// Reads the header from the package file's first bytes.
std::optional<ApkInfo> readApkHeader(const std::string& firstBytes);
std::optional<ApkInfo> readApkFile(const std::string& path);

// A valid Android package name: dot-separated Java identifiers.
bool isPackageName(const std::string& name);

std::string appsDir(const std::string& phoneDir);
// Copies the package file in; replaces an installed one only with replace.
// Returns the package name, or nullopt (unreadable file, already installed
// without replace, write failure).
std::optional<std::string> installApp(const std::string& phoneDir, const std::string& apkPath,
                                      bool replace);
bool uninstallApp(const std::string& phoneDir, const std::string& package);
// "/data/app/<package>-1/base.apk" as pm path prints it, or nullopt.
std::optional<std::string> appPhonePath(const std::string& phoneDir, const std::string& package);
// Every package file of an app as pm path prints them: base.apk first, then
// its splits (split_*.apk beside it), sorted; empty when not installed.
std::vector<std::string> appPhonePaths(const std::string& phoneDir, const std::string& package);
// Replaces an installed app's splits with these files (names split_*.apk).
bool installSplits(const std::string& phoneDir, const std::string& package,
                   const std::vector<std::pair<std::string, std::string>>& nameAndHostFile);
// Sorted by package name. An app whose folder holds ".system" is one of the
// phone's own (system) apps.
std::vector<InstalledApp> listApps(const std::string& phoneDir);

} // namespace lab
