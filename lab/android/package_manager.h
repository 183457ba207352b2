#pragma once
// pm / cmd package on the virtual phone. The apps themselves are the agent's
// table (lab package files kept as data/app/NAME-1/base.apk in the phone
// folder); the app's own data lives in data/data/NAME/.
#include <string>
#include <vector>

#include "android/shell_commands.h"

namespace lab {

class Phone;

class PackageManager {
  public:
    explicit PackageManager(Phone& phone) : m_phone(phone) {}

    // "pm ARGS" and "cmd package ARGS" (args after the verb's owner).
    CommandResult run(const std::vector<std::string>& args, const StdinReader& in);

    bool installed(const std::string& pkg) const;
    std::vector<std::string> packages() const;
    std::string apkPath(const std::string& pkg) const; // phone path

  private:
    CommandResult install(const std::vector<std::string>& opts, const StdinReader& in);
    CommandResult installFile(const std::string& hostFile, bool replace, bool external);
    CommandResult uninstall(const std::vector<std::string>& opts);
    CommandResult createSession();
    CommandResult writeSession(const std::vector<std::string>& opts, const StdinReader& in);
    CommandResult commitSession(const std::vector<std::string>& opts);
    std::string sessionDir(const std::string& id) const;
    std::string hostAppDir(const std::string& pkg) const;
    Phone& m_phone;
};

} // namespace lab
