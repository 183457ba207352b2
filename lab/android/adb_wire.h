#pragma once
// The ADB transport's packet layer: 24-byte little-endian headers followed by
// a payload, as adbd speaks it over TCP. Pure functions, no I/O.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lab::adb {

constexpr uint32_t A_CNXN = 0x4E584E43;
constexpr uint32_t A_AUTH = 0x48545541;
constexpr uint32_t A_OPEN = 0x4E45504F;
constexpr uint32_t A_OKAY = 0x59414B4F;
constexpr uint32_t A_CLSE = 0x45534C43;
constexpr uint32_t A_WRTE = 0x45545257;
constexpr uint32_t A_STLS = 0x534C5453;

constexpr uint32_t kVersion = 0x01000001;
// Largest payload this phone announces and accepts; the host's own maximum
// (1 MiB for adb 29) is usually the same.
constexpr uint32_t kMaxPayload = 1024 * 1024;

constexpr uint32_t kAuthToken = 1;
constexpr uint32_t kAuthSignature = 2;
constexpr uint32_t kAuthRsaPublicKey = 3;

struct Header {
    uint32_t command = 0;
    uint32_t arg0 = 0;
    uint32_t arg1 = 0;
    uint32_t length = 0;
    uint32_t check = 0;
    uint32_t magic = 0;
};

constexpr size_t kHeaderSize = 24;

// Hosts from protocol version 0x01000001 on skip the checksum; it is left 0 then.
std::array<uint8_t, kHeaderSize> encodeHeader(uint32_t command, uint32_t arg0, uint32_t arg1,
                                              std::string_view payload, bool withChecksum = true);
Header decodeHeader(const uint8_t* bytes);

enum class HeaderError { None, BadMagic, TooLong };
// A header is usable when its magic is the command's complement and its
// length fits the negotiated maximum (a length we could not hold is refused
// before anything is allocated).
HeaderError checkHeader(const Header& h, uint32_t maxPayload);

// Sum of the payload bytes, which older hosts check.
uint32_t payloadChecksum(std::string_view payload);

const char* commandName(uint32_t command);

// "device::ro.product.name=x;ro.product.model=y;ro.product.device=z;features=a,b"
std::string deviceBanner(const std::string& product, const std::string& model,
                         const std::string& device, const std::string& features);

// Features this phone announces: shell protocol v2, cmd/abb installs, stat v2
// and list v2 in the sync service.
std::string defaultFeatures();

} // namespace lab::adb
