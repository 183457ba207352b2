#include "attributed_body.h"

#include <plist/plist.h>

#include "plist_guard.h"

#include <cstring>
#include <memory>
#include <string_view>

namespace dbsifter {
namespace {

const uint8_t* findBytes(const uint8_t* from, const uint8_t* end, std::string_view needle) {
    if (needle.empty() || from >= end)
        return nullptr;
    return static_cast<const uint8_t*>(
        memmem(from, size_t(end - from), needle.data(), needle.size()));
}

// A stream integer: one signed byte, or a tag byte and 2 or 4 little-endian bytes.
bool readLength(const uint8_t*& p, const uint8_t* end, uint64_t* out) {
    if (p >= end)
        return false;
    const uint8_t tag = *p++;
    if (tag < 0x80) {
        *out = tag;
        return true;
    }
    const int width = tag == 0x81 ? 2 : tag == 0x82 ? 4 : 0;
    if (width == 0 || end - p < width)
        return false;
    uint64_t v = 0;
    for (int i = 0; i < width; ++i)
        v |= uint64_t(p[i]) << (8 * i);
    p += width;
    *out = v;
    return true;
}

std::optional<std::string> plistString(plist_t node) {
    if (!node)
        return std::nullopt;
    if (plist_get_node_type(node) == PLIST_STRING) {
        char* s = nullptr;
        plist_get_string_val(node, &s);
        if (!s)
            return std::nullopt;
        std::string out(s);
        free(s);
        return out;
    }
    if (plist_get_node_type(node) == PLIST_DATA) {
        char* bytes = nullptr;
        uint64_t len = 0;
        plist_get_data_val(node, &bytes, &len);
        std::string out(bytes ? bytes : "", bytes ? size_t(len) : 0);
        free(bytes);
        return out;
    }
    return std::nullopt;
}

plist_t resolve(plist_t objects, plist_t ref) {
    if (!ref || plist_get_node_type(ref) != PLIST_UID)
        return ref;
    uint64_t index = 0;
    plist_get_uid_val(ref, &index);
    if (index >= plist_array_get_size(objects))
        return nullptr;
    return plist_array_get_item(objects, uint32_t(index));
}

// The string an archived object stands for: a plain string, an NSString
// inside an attributed string, or an NSMutableString's NS.string / NS.bytes.
std::optional<std::string> objectText(plist_t objects, plist_t obj, int depth) {
    if (!obj || depth > 4)
        return std::nullopt;
    if (plist_get_node_type(obj) == PLIST_STRING)
        return plistString(obj);
    if (plist_get_node_type(obj) != PLIST_DICT)
        return std::nullopt;
    for (const char* key : {"NSString", "NS.string", "NS.bytes"}) {
        plist_t v = resolve(objects, plist_dict_get_item(obj, key));
        if (!v)
            continue;
        if (plist_get_node_type(v) == PLIST_DATA)
            return plistString(v);
        if (auto s = objectText(objects, v, depth + 1))
            return s;
    }
    return std::nullopt;
}

} // namespace

bool isValidUtf8(const char* s, size_t n) {
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        size_t extra;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::optional<std::string> decodeTypedStream(const uint8_t* data, size_t size) {
    if (!data || size > kMaxArchiveBytes)
        return std::nullopt;
    const uint8_t* end = data + size;
    const uint8_t* cls = findBytes(data, end, "NSString");
    const uint8_t* mutableCls = findBytes(data, end, "NSMutableString");
    if (!cls || (mutableCls && mutableCls < cls))
        cls = mutableCls;
    if (!cls)
        return std::nullopt;
    // The string's contents follow its class as a "+" typed value (bytes
    // with a length), a few bytes further on.
    const uint8_t* scanEnd = end - cls < 40 ? end : cls + 40;
    const uint8_t* marker = findBytes(cls, scanEnd, std::string_view("\x84\x01+", 3));
    if (!marker)
        return std::nullopt;
    const uint8_t* p = marker + 3;
    uint64_t len = 0;
    if (!readLength(p, end, &len) || len > uint64_t(end - p))
        return std::nullopt;
    std::string text(reinterpret_cast<const char*>(p), size_t(len));
    if (!isValidUtf8(text.data(), text.size()))
        return std::nullopt;
    return text;
}

std::optional<std::string> decodeKeyedArchive(const uint8_t* data, size_t size) {
    if (!data || size < 8 || size > kMaxArchiveBytes || std::memcmp(data, "bplist00", 8) != 0)
        return std::nullopt;
    kestrova::PlistLimits limits;
    limits.maxBytes = kMaxArchiveBytes;
    plist_t root = nullptr;
    kestrova::parsePlistBounded(reinterpret_cast<const char*>(data), size, &root, limits);
    if (!root)
        return std::nullopt;
    kestrova::PlistHolder guard(root);
    if (plist_get_node_type(root) != PLIST_DICT)
        return std::nullopt;
    plist_t objects = plist_dict_get_item(root, "$objects");
    plist_t top = plist_dict_get_item(root, "$top");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !top ||
        plist_get_node_type(top) != PLIST_DICT)
        return std::nullopt;
    auto text = objectText(objects, resolve(objects, plist_dict_get_item(top, "root")), 0);
    if (!text || !isValidUtf8(text->data(), text->size()))
        return std::nullopt;
    return text;
}

std::optional<std::string> decodeAttributedBody(const uint8_t* data, size_t size) {
    if (!data || size == 0)
        return std::nullopt;
    if (size >= 8 && std::memcmp(data, "bplist00", 8) == 0)
        return decodeKeyedArchive(data, size);
    return decodeTypedStream(data, size);
}

} // namespace dbsifter
