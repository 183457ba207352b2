#pragma once
// One virtual Android phone: its identity, the state a user or cable puts
// it in, the faults a test asks for, and whether the agent app is running.
// Shared by every connection and stream of the phone; thread-safe.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "android/phone_fs.h"

namespace lab {

inline constexpr const char* kAgentPackage = "com.quellfin.kestrova";
inline constexpr uint16_t kAgentPorts[] = {15531, 15532};

struct PhoneSettings {
    std::string dir; // phone folder
    std::string serial;
    std::string model = "Pixel 3a";
    std::string manufacturer = "Google";
    std::string product = "sargo";
    std::string device = "sargo";
    std::string release = "10"; // ro.build.version.release
    int sdk = 29;
    std::string pda; // ro.build.PDA
    int usbVendor = 0x18D1;
    int usbProduct = 0x4E21;
    // Interface classes the phone shows on USB ("cc/ss/pp", blank-separated):
    // ADB and MTP, as a phone with USB debugging on.
    std::string usbInterfaces = "ff/42/01 06/01/01";
    int smsPromptAcceptAfterSeconds = 2; // -1: the user never accepts
    std::map<std::string, std::string> extraProps;
    // "echo" or "rr" puts a stand-in on the agent's ports instead of the agent:
    // echo sends back what it gets; rr answers each 4-byte little-endian
    // count n with n bytes (0 meaning 10,240).
    std::string agentStub;
    // "java": the agent's real core runs on the host JVM (java_agent.h);
    // otherwise the lab's own agent, which also acts out agent faults.
    std::string agent;
    // The agent stops listening after this long without an admitted
    // connection, as on a phone (ten minutes); tests shorten it.
    int agentIdleSeconds = 600;
};

// The start intent's extra that carries the agent's token (Greeting.java).
inline constexpr const char* kAgentTokenExtra = "com.quellfin.kestrova.TOKEN";

enum class UsbState { Device, Unauthorized, Offline };

const char* usbStateName(UsbState s);
bool parseUsbState(const std::string& word, UsbState& out);

class Phone {
  public:
    explicit Phone(PhoneSettings s);

    const PhoneSettings& settings() const { return m_settings; }
    const PhoneFs& fs() const { return m_fs; }
    std::map<std::string, std::string> properties() const;
    std::string features() const;

    UsbState state() const;
    void setState(UsbState s);
    bool plugged() const;
    void setPlugged(bool on);
    // The user tapped "Allow" on the debugging prompt: authorised from now on.
    void allow();

    // Faults, each spent once it has struck.
    void setDropAfterBytes(int64_t n);
    void setDiskFullAfterBytes(int64_t n);
    void clearFaults();
    // Counts payload bytes of a file transfer or agent stream; true when the
    // connection must be dropped now.
    bool countAndCheckDrop(size_t n);
    // Reserves n bytes of phone storage; false when the disk is "full".
    bool reserveDisk(size_t n);

    bool agentRunning() const;
    // Starts the agent app with the token its start intent carried ("":
    // none, so nobody is admitted); a start of the running app hands it the
    // new token. Waits until it serves its ports with it; false when it
    // could not be started.
    bool startAgent(const std::string& token);
    // Stops the app (force-stop, uninstall, idle).
    void stopAgent();

    // Hooks the transport installs: drop every connection, stop agent streams,
    // answer connections waiting for authorisation.
    std::function<void()> onDropAll;
    std::function<void()> onAgentStopped;
    // The app is starting with this token: true once it serves its ports.
    std::function<bool(const std::string& token)> onAgentStarting;
    std::function<void()> onAllowed;

    std::string statusLine() const;

  private:
    PhoneSettings m_settings;
    PhoneFs m_fs;
    mutable std::mutex m_mu;
    UsbState m_state = UsbState::Device;
    bool m_plugged = true;
    int64_t m_dropAfter = -1;
    int64_t m_diskLeft = -1;
    bool m_agent = false;
    void writeUsbPresence();
};

} // namespace lab
