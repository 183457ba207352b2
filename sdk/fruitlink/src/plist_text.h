// The text of a string node from a phone, whole. A phone's text may hold a
// NUL byte; libplist's plist_get_string_val asserts on one, which would end
// the program, so every string a phone sends is read through here.
#pragma once

#include <plist/plist.h>

#include <string>

namespace fruitlink {

inline std::string plistText(plist_t n) {
    if (!n || plist_get_node_type(n) != PLIST_STRING)
        return {};
    uint64_t len = 0;
    const char* p = plist_get_string_ptr(n, &len);
    return p ? std::string(p, static_cast<size_t>(len)) : std::string();
}

} // namespace fruitlink
