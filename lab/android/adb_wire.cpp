#include "android/adb_wire.h"

#include <cstring>

namespace lab::adb {

static void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

static uint32_t getLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t payloadChecksum(std::string_view payload) {
    uint32_t sum = 0;
    for (unsigned char c : payload)
        sum += c;
    return sum;
}

std::array<uint8_t, kHeaderSize> encodeHeader(uint32_t command, uint32_t arg0, uint32_t arg1,
                                              std::string_view payload, bool withChecksum) {
    std::array<uint8_t, kHeaderSize> out{};
    putLe32(&out[0], command);
    putLe32(&out[4], arg0);
    putLe32(&out[8], arg1);
    putLe32(&out[12], static_cast<uint32_t>(payload.size()));
    putLe32(&out[16], withChecksum ? payloadChecksum(payload) : 0);
    putLe32(&out[20], command ^ 0xFFFFFFFFu);
    return out;
}

Header decodeHeader(const uint8_t* b) {
    return Header{getLe32(b),      getLe32(b + 4),  getLe32(b + 8),
                  getLe32(b + 12), getLe32(b + 16), getLe32(b + 20)};
}

HeaderError checkHeader(const Header& h, uint32_t maxPayload) {
    if (h.magic != (h.command ^ 0xFFFFFFFFu))
        return HeaderError::BadMagic;
    if (h.length > maxPayload)
        return HeaderError::TooLong;
    return HeaderError::None;
}

const char* commandName(uint32_t c) {
    switch (c) {
    case A_CNXN:
        return "CNXN";
    case A_AUTH:
        return "AUTH";
    case A_OPEN:
        return "OPEN";
    case A_OKAY:
        return "OKAY";
    case A_CLSE:
        return "CLSE";
    case A_WRTE:
        return "WRTE";
    case A_STLS:
        return "STLS";
    default:
        return "????";
    }
}

std::string deviceBanner(const std::string& product, const std::string& model,
                         const std::string& device, const std::string& features) {
    return "device::ro.product.name=" + product + ";ro.product.model=" + model +
           ";ro.product.device=" + device + ";features=" + features;
}

std::string defaultFeatures() {
    return "shell_v2,cmd,stat_v2,ls_v2,fixed_push_mkdir,apex,abb,fixed_push_symlink_timestamp,"
           "abb_exec,remount_shell,push_sync";
}

} // namespace lab::adb
