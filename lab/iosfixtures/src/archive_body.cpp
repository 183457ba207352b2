#include "archive_body.h"

#include <cstdint>

namespace iosfix {
namespace {

// Integers of the stream: small ones inline, larger ones after a tag byte.
void putInt(std::string& out, int64_t v) {
    if (v >= -110 && v < 0x80) {
        out += char(int8_t(v));
    } else if (v >= INT16_MIN && v <= INT16_MAX) {
        out += '\x81';
        out += char(v & 0xff);
        out += char((v >> 8) & 0xff);
    } else {
        out += '\x82';
        for (int i = 0; i < 4; ++i)
            out += char((v >> (8 * i)) & 0xff);
    }
}

void putClassName(std::string& out, const std::string& name) {
    out += "\x84\x84";
    putInt(out, int64_t(name.size()));
    out += name;
    out += '\0';
}

} // namespace

std::string typedStreamBody(const std::string& text) {
    std::string out;
    out += '\x04';
    out += '\x0b';
    out += "streamtyped";
    out += "\x81\xe8\x03"; // system version 1000
    out += "\x84\x01@\x84";
    putClassName(out, "NSAttributedString");
    putClassName(out, "NSObject");
    out += "\x85\x92\x84";
    putClassName(out, "NSString");
    out.pop_back();
    out += "\x01\x94\x84\x01+";
    putInt(out, int64_t(text.size()));
    out += text;
    // One attribute run covering the whole text.
    out += "\x86\x84\x02iI\x01";
    putInt(out, int64_t(text.size()));
    out += "\x92\x84\x84";
    putClassName(out, "NSDictionary");
    out += "\x94\x84\x01i\x01\x92\x84\x96\x96";
    const std::string key = "__kIMMessagePartAttributeName";
    putInt(out, int64_t(key.size()));
    out += key;
    out += "\x86\x92\x84\x84";
    putClassName(out, "NSNumber");
    putClassName(out, "NSValue");
    out += "\x94\x84\x01*\x84\x99\x99";
    out += '\0';
    out += "\x86\x86\x86";
    return out;
}

} // namespace iosfix
