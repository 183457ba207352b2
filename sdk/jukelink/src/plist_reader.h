// Reading property lists (binary or XML) with libplist, and typed look-ups
// that tolerate missing keys and unexpected types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <plist/plist.h>
#include <string>

namespace jukelink {

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// Property lists of a backup are small; Info.plist with app icons reaches a
// few megabytes.
constexpr size_t kMaxPlistBytes = 64u << 20;

// Parses a binary or XML property list; null when it is neither.
PlistPtr parsePlist(const char* data, size_t size);
// Reads and parses a file; null with the reason in err.
PlistPtr readPlistFile(const std::string& path, std::string* err);

// Values of dict[key]; empty when the key is missing or of another type.
std::optional<std::string> plistString(plist_t dict, const char* key);
std::optional<bool> plistBool(plist_t dict, const char* key);
std::optional<int64_t> plistInt(plist_t dict, const char* key);
// A date, as seconds since 1970.
std::optional<int64_t> plistDate(plist_t dict, const char* key);
plist_t plistDict(plist_t dict, const char* key);

// "YYYY-MM-DDTHH:MM:SSZ" in UTC.
std::string isoDate(int64_t unixSeconds);

// Seconds between 1970-01-01 and 2001-01-01, the epoch of property-list dates.
constexpr int64_t kAppleEpochOffset = 978307200;

} // namespace jukelink
