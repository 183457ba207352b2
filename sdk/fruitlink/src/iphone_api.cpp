// Start-up, the device count and the small exported operations.
#include "error_category.h"
#include "mobile_device_access.h"
#include "state.h"
#include "trace.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fruitlink.h>
#include <unistd.h>

namespace fruitlink {
std::atomic<int> g_iphone_flush_abort{0};

LibraryState& LibraryState::instance() {
    static LibraryState* state = new LibraryState();
    return *state;
}

void LibraryState::setFetched(const std::string& archive, UnpackResult unpacked) {
    std::lock_guard<std::mutex> lock(fetchMu_);
    fetchedArchive_ = archive;
    fetched_ = std::move(unpacked);
}

bool LibraryState::removeFetched(const std::string& folder, std::string* error) {
    std::lock_guard<std::mutex> lock(fetchMu_);
    bool ok = removeUnpacked(folder, fetched_, error);
    if (!fetchedArchive_.empty() && ::unlink(fetchedArchive_.c_str()) != 0 && errno != ENOENT) {
        ok = false;
        *error += (error->empty() ? "" : "; ") + fetchedArchive_ + ": " + std::strerror(errno);
    }
    fetchedArchive_.clear();
    fetched_ = UnpackResult{};
    return ok;
}
} // namespace fruitlink

int iPhoneConnectInit(void) {
    return fruitlink::MobileDeviceAccess::singleton().setListener(nullptr) ? 0 : -1;
}

int IphoneTSF_Init(void) {
    fruitlink::WriteLog1(1, "Call Function: %s\n", __func__);
    // A phone that goes away mid-write must not kill the program.
    std::signal(SIGPIPE, SIG_IGN);
    iPhoneConnectInit();
    return 0;
}

int IphoneTSF_UnInit(void) { return 0; }
int IphoneTSF_FlushTest(void) { return 0; }
int IphoneTSF_AddContact(void) { return 0; }

int IphoneTSF_ConnectDeviceCount(void) { return GetiConnected(); }

int IphoneTSF_IsAttached(const char* udid) {
    return udid && *udid && fruitlink::stillAttached(udid) ? 1 : 0;
}

int IphoneTSF_GetDeviceInfoIndex(DeviceNode** out, int index) {
    if (out)
        *out = GetiPhoneDeviceListIndex(index);
    return 0;
}

int IphoneTSF_FlushAbort(void) {
    fruitlink::g_iphone_flush_abort = 1;
    return 0;
}

int IphoneTSF_CheckSupportEnabled(int category) {
    switch (category) {
    case 0: // contacts
    case 1: // messages
    case 2: // call logs: from the relay on old phones, from a backup on the others
    case 3: // calendar
    case 4: // photos
    case 5: // videos
    case 6: // music
        return 0;
    default: // apps (7) and anything else
        return -1;
    }
}

int IphoneTSF_GetLastError(char* buf, int size) {
    std::string e = fruitlink::lastError();
    if (buf && size > 0) {
        std::strncpy(buf, e.c_str(), static_cast<size_t>(size) - 1);
        buf[size - 1] = '\0';
    }
    return static_cast<int>(e.size());
}

int IphoneTSF_GetLastErrorCategory(void) { return fruitlink::lastErrorCategory(); }
