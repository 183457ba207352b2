// A phone's shell reached through the adb server's own socket, for the one
// command that carries a secret: the agent's start with its token. Run as a
// program ("adb shell am start ... TOKEN"), the command would sit in the
// adb client's argument list, which every local user can read in /proc;
// sent over the server's socket it is seen by no one but the server (this
// user's own process) and the phone's shell.
//
// The server is found as adb finds it: ADB_SERVER_SOCKET ("tcp:PORT" or
// "tcp:HOST:PORT"), else ANDROID_ADB_SERVER_ADDRESS (default localhost) and
// ANDROID_ADB_SERVER_PORT (default 5037). A server that is not running is
// started with "adb start-server" first.
#pragma once

#include <string>

namespace greenlink {

enum class AdbSocketStatus {
    Done,     // the command ran; *output holds what it printed
    NoServer, // no adb server could be reached or started
    Refused,  // the server refused (phone not found, offline, ...): *output says why
    Broken,   // the exchange broke off or its bound passed
};

// Runs `command` in the phone's shell ("shell:" service: standard output
// and error together, no exit status), within boundSeconds runner seconds.
// Neither the command nor its output is logged here.
AdbSocketStatus adbShellOverSocket(const std::string& serial, const std::string& command,
                                   int boundSeconds, std::string* output);

// Cuts short every exchange in progress (a cancelled job).
void abortAdbSocketExchanges();

} // namespace greenlink
