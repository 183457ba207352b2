// Reading property lists (binary or XML) with libplist, and typed look-ups
// that tolerate missing keys and unexpected types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <plist/plist.h>
#include <string>

#include "log.h"
#include "plist_guard.h"

namespace jukelink {

using PlistPtr = kestrova::PlistHolder;

// Property lists of a backup are small; Info.plist with app icons reaches a
// few megabytes. Nesting and size are bounded before libplist sees a byte.
constexpr size_t kMaxPlistBytes = 64u << 20;

// Parses a binary or XML property list within limits; null when it is
// neither or over a limit, with the reason in err when err is given.
PlistPtr parsePlist(const char* data, size_t size, const kestrova::PlistLimits& limits = {},
                    Error* err = nullptr);
// Reads and parses the file relative below folder (see openInside); null
// with the reason in err.
PlistPtr readPlistInside(const std::string& folder, const std::string& relative, Error* err);

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
