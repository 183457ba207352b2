// One service connection on an iPhone, and the framing of property-list
// messages on it: a 4-byte big-endian length, then that many bytes.
#pragma once

#include "am_device.h"

#include <cstdint>
#include <functional>
#include <libimobiledevice/service.h>
#include <memory>
#include <plist/plist.h>
#include <string>

namespace fruitlink {

// Replies larger than this are refused before anything is allocated.
constexpr uint32_t kMaxReplyBytes = 32u << 20;

// Encodes a request frame; false when the plist cannot be serialised.
bool encodeFrame(plist_t request, bool binary, std::string* out);

// Reads one reply frame through `recv` (which fills up to n bytes and returns
// how many, 0 at the end, -1 on error). On failure, *error holds the reason
// and nullptr is returned. A zero length gives nullptr with an empty error.
plist_t readFrame(const std::function<int64_t(char*, uint32_t)>& recv, std::string* error,
                  uint32_t maxBytes = kMaxReplyBytes);

class AMService {
  public:
    virtual ~AMService();
    AMService(const AMService&) = delete;
    AMService& operator=(const AMService&) = delete;

    // A plain framed-plist service; nullptr when it cannot be started.
    static std::unique_ptr<AMService> serviceWithName(const std::shared_ptr<AMDevice>& dev,
                                                      const char* name);

    bool sendXMLRequest(plist_t request);
    bool sendBinRequest(plist_t request);
    // The reply (the caller frees it), or nullptr with lasterror set.
    plist_t readXMLReply();

    const std::string& lasterror() const { return lasterror_; }
    ErrorCategory lastCategory() const { return category_; }
    void clearLastError() {
        lasterror_.clear();
        category_ = IPHONE_ERROR_NONE;
    }
    void setLastError(const std::string& e, ErrorCategory category) {
        lasterror_ = e;
        category_ = category;
    }

  protected:
    AMService() = default;
    // Starts the named service on the device; false with lasterror set.
    bool initWithName(const char* name, const std::shared_ptr<AMDevice>& dev);
    bool ensureServiceClient();
    bool sendFrame(plist_t request, bool binary);

    std::shared_ptr<AMDevice> device_;
    ServiceDescriptor service_;
    service_client_t client_ = nullptr;
    std::string lasterror_;
    ErrorCategory category_ = IPHONE_ERROR_NONE;
};

} // namespace fruitlink
