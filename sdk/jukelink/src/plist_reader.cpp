#include "plist_reader.h"

#include <cstdio>
#include <ctime>

#include "fsutil.h"
#include "safe_file.h"

namespace jukelink {

PlistPtr parsePlist(const char* data, size_t size, const kestrova::PlistLimits& limits,
                    Error* err) {
    plist_t root = nullptr;
    kestrova::PlistVerdict v = kestrova::parsePlistBounded(data, size, &root, limits);
    if (v != kestrova::PlistVerdict::Ok && err != nullptr) {
        bool over = v == kestrova::PlistVerdict::TooLarge || v == kestrova::PlistVerdict::TooDeep ||
                    v == kestrova::PlistVerdict::TooManyNodes;
        err->fail(over ? Category::TooLarge : Category::Corrupt, kestrova::plistVerdictText(v));
    }
    return PlistPtr(root);
}

PlistPtr readPlistInside(const std::string& folder, const std::string& relative, Error* err) {
    std::string bytes;
    if (!readInside(folder, relative, kMaxPlistBytes, &bytes, err))
        return nullptr;
    PlistPtr root = parsePlist(bytes.data(), bytes.size(), {}, err);
    if (!root)
        err->text = joinPath(folder, relative) + ": " + err->text;
    return root;
}

namespace {

plist_t item(plist_t dict, const char* key, plist_type type) {
    if (dict == nullptr || plist_get_node_type(dict) != PLIST_DICT)
        return nullptr;
    plist_t node = plist_dict_get_item(dict, key);
    if (node == nullptr || plist_get_node_type(node) != type)
        return nullptr;
    return node;
}

} // namespace

std::optional<std::string> plistString(plist_t dict, const char* key) {
    plist_t node = item(dict, key, PLIST_STRING);
    if (node == nullptr)
        return std::nullopt;
    // plist_get_string_val aborts the process on a string with a NUL inside
    // (a damaged or crafted list); the pointer form does not.
    uint64_t length = 0;
    const char* value = plist_get_string_ptr(node, &length);
    if (value == nullptr)
        return std::nullopt;
    std::string text(value, static_cast<size_t>(length));
    return text.substr(0, text.find('\0'));
}

std::optional<bool> plistBool(plist_t dict, const char* key) {
    plist_t node = item(dict, key, PLIST_BOOLEAN);
    if (node == nullptr)
        return std::nullopt;
    uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value != 0;
}

std::optional<int64_t> plistInt(plist_t dict, const char* key) {
    plist_t node = item(dict, key, PLIST_UINT);
    if (node == nullptr)
        return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    // libplist keeps signed values in the same 64 bits.
    return static_cast<int64_t>(value);
}

std::optional<int64_t> plistDate(plist_t dict, const char* key) {
    plist_t node = item(dict, key, PLIST_DATE);
    if (node == nullptr)
        return std::nullopt;
    int32_t sec = 0;
    int32_t usec = 0;
    plist_get_date_val(node, &sec, &usec);
    return static_cast<int64_t>(sec) + kAppleEpochOffset;
}

plist_t plistDict(plist_t dict, const char* key) { return item(dict, key, PLIST_DICT); }

std::string isoDate(int64_t unixSeconds) {
    time_t t = static_cast<time_t>(unixSeconds);
    struct tm tm;
    if (gmtime_r(&t, &tm) == nullptr)
        return {};
    char buf[64];
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
             tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

} // namespace jukelink
