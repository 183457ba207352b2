#include "am_service.h"

#include "plist_guard.h"
#include "trace.h"

#include <cstdlib>

namespace fruitlink {

bool encodeFrame(plist_t request, bool binary, std::string* out) {
    char* body = nullptr;
    uint32_t len = 0;
    if (binary)
        plist_to_bin(request, &body, &len);
    else
        plist_to_xml(request, &body, &len);
    if (!body || len == 0) {
        free(body);
        return false;
    }
    out->clear();
    out->push_back(static_cast<char>(len >> 24));
    out->push_back(static_cast<char>(len >> 16));
    out->push_back(static_cast<char>(len >> 8));
    out->push_back(static_cast<char>(len));
    out->append(body, len);
    free(body);
    return true;
}

plist_t readFrame(const std::function<int64_t(char*, uint32_t)>& recv, std::string* error,
                  uint32_t maxBytes) {
    error->clear();
    unsigned char hdr[4];
    uint32_t got = 0;
    while (got < 4) {
        int64_t n = recv(reinterpret_cast<char*>(hdr) + got, 4 - got);
        if (n <= 0) {
            *error = "Can't receive reply size";
            return nullptr;
        }
        got += static_cast<uint32_t>(n);
    }
    uint32_t len = (uint32_t(hdr[0]) << 24) | (uint32_t(hdr[1]) << 16) | (uint32_t(hdr[2]) << 8) |
                   uint32_t(hdr[3]);
    if (len == 0)
        return nullptr;
    if (len > maxBytes) {
        *error = "Reply too large: " + std::to_string(len) + " bytes";
        return nullptr;
    }
    std::string body(len, '\0');
    got = 0;
    while (got < len) {
        int64_t n = recv(body.data() + got, len - got);
        if (n <= 0) {
            *error = "Reply was truncated, expected " + std::to_string(len - got) + " more bytes";
            return nullptr;
        }
        got += static_cast<uint32_t>(n);
    }
    plist_t out = nullptr;
    kestrova::PlistLimits limits;
    limits.maxBytes = maxBytes;
    kestrova::PlistVerdict v = kestrova::parsePlistBounded(body.data(), len, &out, limits);
    if (v != kestrova::PlistVerdict::Ok)
        *error = std::string("Reply refused: ") + kestrova::plistVerdictText(v);
    return out;
}

AMService::~AMService() {
    if (client_)
        service_client_free(client_);
}

std::unique_ptr<AMService> AMService::serviceWithName(const std::shared_ptr<AMDevice>& dev,
                                                      const char* name) {
    std::unique_ptr<AMService> s(new AMService());
    if (!s->initWithName(name, dev) || !s->ensureServiceClient()) {
        WriteLog1(3, "AMService %s: %s\n", name, s->lasterror().c_str());
        return nullptr;
    }
    return s;
}

bool AMService::initWithName(const char* name, const std::shared_ptr<AMDevice>& dev) {
    device_ = dev;
    if (!dev || !dev->startService(name, &service_)) {
        if (dev)
            setLastError(dev->lasterror(), dev->lastCategory());
        else
            setLastError("no device", IPHONE_ERROR_NO_DEVICE);
        return false;
    }
    return true;
}

bool AMService::ensureServiceClient() {
    if (client_)
        return true;
    service_error_t e = service_client_new(device_->handle(), service_.desc, &client_);
    if (e != SERVICE_E_SUCCESS) {
        client_ = nullptr;
        setLastError("service_client_new failed: " + std::to_string(e), categoryOfService(e));
        return false;
    }
    return true;
}

bool AMService::sendFrame(plist_t request, bool binary) {
    std::string frame;
    if (!encodeFrame(request, binary, &frame)) {
        setLastError("Can't convert request to XML", IPHONE_ERROR_PROTOCOL);
        return false;
    }
    if (!ensureServiceClient())
        return false;
    uint32_t sent = 0;
    if (service_send(client_, frame.data(), 4, &sent) != SERVICE_E_SUCCESS || sent != 4) {
        setLastError("Can't send message size", IPHONE_ERROR_CONNECTION);
        return false;
    }
    uint32_t bodyLen = static_cast<uint32_t>(frame.size() - 4);
    if (service_send(client_, frame.data() + 4, bodyLen, &sent) != SERVICE_E_SUCCESS ||
        sent != bodyLen) {
        setLastError("Can't send message text", IPHONE_ERROR_CONNECTION);
        return false;
    }
    return true;
}

bool AMService::sendXMLRequest(plist_t request) { return sendFrame(request, false); }
bool AMService::sendBinRequest(plist_t request) { return sendFrame(request, true); }

plist_t AMService::readXMLReply() {
    if (!ensureServiceClient())
        return nullptr;
    auto recv = [this](char* buf, uint32_t n) -> int64_t {
        uint32_t got = 0;
        service_error_t e = service_receive_with_timeout(client_, buf, n, &got, 30000);
        return e == SERVICE_E_SUCCESS ? got : -1;
    };
    plist_t reply = readFrame(recv, &lasterror_);
    if (!lasterror_.empty())
        category_ =
            lasterror_.rfind("Can't receive", 0) == 0 || lasterror_.rfind("Reply was", 0) == 0
                ? IPHONE_ERROR_CONNECTION
                : IPHONE_ERROR_PROTOCOL;
    return reply;
}

} // namespace fruitlink
