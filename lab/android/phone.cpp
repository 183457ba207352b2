#include "android/phone.h"

#include <unistd.h>

#include "android/adb_wire.h"
#include "common/files.h"

namespace lab {

const char* usbStateName(UsbState s) {
    switch (s) {
    case UsbState::Device:
        return "device";
    case UsbState::Unauthorized:
        return "unauthorized";
    case UsbState::Offline:
        return "offline";
    }
    return "?";
}

bool parseUsbState(const std::string& w, UsbState& out) {
    if (w == "device")
        out = UsbState::Device;
    else if (w == "unauthorized")
        out = UsbState::Unauthorized;
    else if (w == "offline")
        out = UsbState::Offline;
    else
        return false;
    return true;
}

Phone::Phone(PhoneSettings s) : m_settings(std::move(s)), m_fs(m_settings.dir) {
    writeUsbPresence();
}

std::map<std::string, std::string> Phone::properties() const {
    const auto& s = m_settings;
    std::map<std::string, std::string> p = {
        {"ro.build.version.release", s.release},
        {"ro.build.version.sdk", std::to_string(s.sdk)},
        {"ro.product.model", s.model},
        {"ro.product.manufacturer", s.manufacturer},
        {"ro.product.name", s.product},
        {"ro.product.device", s.device},
        {"ro.build.PDA", s.pda},
        {"ro.serialno", s.serial},
        {"persist.sys.usb.config", "mtp,adb"},
    };
    for (const auto& [k, v] : s.extraProps)
        p[k] = v;
    return p;
}

std::string Phone::features() const {
    // Phones before Android 7 had neither the shell protocol nor cmd/abb
    // installs: adb falls back to plain shell and push-then-pm-install there.
    if (m_settings.sdk < 24)
        return "";
    return adb::defaultFeatures();
}

UsbState Phone::state() const {
    std::lock_guard lk(m_mu);
    return m_state;
}

void Phone::setState(UsbState s) {
    {
        std::lock_guard lk(m_mu);
        if (m_state == s)
            return;
        m_state = s;
    }
    // The host only learns a new state from a new handshake.
    if (onDropAll)
        onDropAll();
}

bool Phone::plugged() const {
    std::lock_guard lk(m_mu);
    return m_plugged;
}

void Phone::setPlugged(bool on) {
    {
        std::lock_guard lk(m_mu);
        m_plugged = on;
    }
    writeUsbPresence();
    if (!on && onDropAll)
        onDropAll();
}

void Phone::allow() {
    {
        std::lock_guard lk(m_mu);
        if (m_state == UsbState::Unauthorized)
            m_state = UsbState::Device;
    }
    if (onAllowed)
        onAllowed();
}

void Phone::setDropAfterBytes(int64_t n) {
    std::lock_guard lk(m_mu);
    m_dropAfter = n;
}

void Phone::setDiskFullAfterBytes(int64_t n) {
    std::lock_guard lk(m_mu);
    m_diskLeft = n;
}

void Phone::clearFaults() {
    std::lock_guard lk(m_mu);
    m_dropAfter = -1;
    m_diskLeft = -1;
}

bool Phone::countAndCheckDrop(size_t n) {
    std::lock_guard lk(m_mu);
    if (m_dropAfter < 0)
        return false;
    if (static_cast<int64_t>(n) < m_dropAfter) {
        m_dropAfter -= static_cast<int64_t>(n);
        return false;
    }
    m_dropAfter = -1;
    return true;
}

bool Phone::reserveDisk(size_t n) {
    std::lock_guard lk(m_mu);
    if (m_diskLeft < 0)
        return true;
    if (static_cast<int64_t>(n) > m_diskLeft) {
        m_diskLeft = 0;
        return false;
    }
    m_diskLeft -= static_cast<int64_t>(n);
    return true;
}

bool Phone::agentRunning() const {
    std::lock_guard lk(m_mu);
    return m_agent;
}

bool Phone::startAgent(const std::string& token) {
    if (onAgentStarting && !onAgentStarting(token))
        return false;
    std::lock_guard lk(m_mu);
    m_agent = true;
    return true;
}

void Phone::stopAgent() {
    bool was;
    {
        std::lock_guard lk(m_mu);
        was = m_agent;
        m_agent = false;
    }
    if (was && onAgentStopped)
        onAgentStopped();
}

std::string Phone::statusLine() const {
    std::lock_guard lk(m_mu);
    return std::string("plugged=") + (m_plugged ? "1" : "0") + " state=" + usbStateName(m_state) +
           " agent=" + (m_agent ? "1" : "0") + " drop=" + std::to_string(m_dropAfter) +
           " disk=" + std::to_string(m_diskLeft);
}

void Phone::writeUsbPresence() {
    // The lab's getusb lists the phones whose folder holds this file.
    std::string path = m_settings.dir + "/usb-present";
    if (plugged())
        writeFileAtomic(path, "VID:" + std::to_string(m_settings.usbVendor) +
                                  ",PID:" + std::to_string(m_settings.usbProduct) +
                                  ",IF:" + m_settings.usbInterfaces + "\n");
    else
        unlink(path.c_str());
}

} // namespace lab
