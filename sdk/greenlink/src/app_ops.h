// Installing, removing and exporting app packages with adb.
#pragma once

#include <string>
#include <vector>

namespace greenlink {

// adb arguments after "-s SERIAL install" for an install mode (1 "-l",
// 2 "-r", 3 "-s", 4 none, 5 "-r -s"); false for another mode.
bool installModeOptions(int mode, std::vector<std::string>* options);

// The package file "pm path" names: the base package of a split app, else the
// first one; "" when the output names none.
std::string parsePmPath(const std::string& output);

// Every package file "pm path" names, the base package first (an app shipped
// as split packages has several).
std::vector<std::string> parsePmPaths(const std::string& output);

// The name a split package is kept under on this computer: its own file name
// when that is plain ("split_config.arm64_v8a.apk"), else "split<n>.apk".
std::string splitFileName(const std::string& phonePath, int n);

// Where the splits of an exported app are kept: beside the base package.
std::string splitFolderOf(const std::string& basePath);

// True when adb's install or uninstall output reports success.
bool packageManagerSucceeded(const std::string& output);

} // namespace greenlink
