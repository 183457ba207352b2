#pragma once
// The phone's command set as the shell, exec: and abb_exec: services run it:
// getprop, am, pm and cmd package, rm, mkdir, ls, screencap, echo.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace lab {

class Phone;

struct CommandResult {
    std::string out;
    std::string err;
    int code = 0;
};

// Reads up to max bytes of the command's standard input; 0 at its end.
using StdinReader = std::function<size_t(char* buf, size_t max)>;

CommandResult runPhoneCommand(Phone& phone, const std::vector<std::string>& argv,
                              const StdinReader& in);

// A whole command line as sh gets it (words split, quotes honoured).
CommandResult runPhoneCommandLine(Phone& phone, const std::string& line, const StdinReader& in);

} // namespace lab
