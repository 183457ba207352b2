// The on-phone agent of the virtual Android phone: it answers the command
// protocol that the Android library speaks over the forwarded TCP channel,
// on a per-phone store (store.db for personal data, DIR/sdcard for media,
// DIR/data/app for installed packages).
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>

namespace lab {

struct PhoneConfig {
    // Phone root: DIR/sdcard stands for /sdcard and /storage/emulated/0,
    // DIR/store.db holds contacts, messages, call log, calendar and the media
    // index, DIR/data/app/<package>-1/base.apk are the installed packages.
    std::string dir;
    std::string serial, model, manufacturer, androidVersion;
    int sdk = 29; // API level; 0: taken from androidVersion
    // Seconds after "SetDefaultMessage;" until the phone's user accepts the
    // default-SMS-app prompt; -1: never accepted. The faults file may
    // override it at run time (see faults.h).
    int smsPromptAcceptAfterSeconds = 2;
    // How long a new connection has to send the token (as the Java agent's
    // AgentServer.GREETING_MILLIS); tests shorten it.
    int greetingMillis = 5000;
};

// One Agent per phone. serve() may run on several threads at once, one per
// connection; each connection has its own database handle and its own open
// file sessions, so they only share the store on disk (SQLite in WAL mode).
//
// The door, as on a phone (agent/README.md): each start hands the agent a
// token, and a connection is admitted only when its first bytes are that
// token, within greetingMillis; any other connection is closed without a
// word and without a command read. An agent without a token admits nobody.
class Agent {
  public:
    explicit Agent(const PhoneConfig& config);
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    // Answers commands on fd until the peer closes it, a command breaks the
    // framing, a fault drops the connection, or stop() is called. serve()
    // never closes fd (the caller does, after serve() returns), but it shuts
    // the socket down before returning so the peer always sees the end.
    void serve(int fd);

    // Ends every serve() of this agent, now and later. Safe from any thread.
    void stop();

    // The token of this start: 32 to 128 hexadecimal digits, compared as
    // text; anything else leaves the door shut. Replaces the earlier one for
    // the connections that come after it. False when it is no token.
    bool setToken(const std::string& token);

    // Seconds since an admitted connection was last open or sent a command
    // (or since the agent was made); 0 while one is open.
    double idleSeconds() const;

    const PhoneConfig& config() const { return config_; }

  private:
    // Reads the token's length in bytes within the deadline; true when they
    // are the token (compared in constant time).
    bool admit(int fd);
    void touch(int admittedChange);

    PhoneConfig config_;
    std::atomic<bool> stopped_{false};
    std::mutex fdsMutex_;
    std::set<int> activeFds_;
    mutable std::mutex doorMutex_;
    std::string token_;
    int admitted_ = 0;
    std::chrono::steady_clock::time_point lastActivity_ = std::chrono::steady_clock::now();
};

} // namespace lab
