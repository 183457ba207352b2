#include "json.h"

#include <cstdio>

namespace lab::json {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 when it is not one.
std::size_t utf8Length(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char c = byte(i);
    std::size_t len = c < 0x80         ? 1
                      : (c >> 5) == 6  ? 2
                      : (c >> 4) == 14 ? 3
                      : (c >> 3) == 30 ? 4
                                       : 0;
    if (len == 0 || i + len > text.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    if (len == 2 && c < 0xC2)
        return 0; // overlong
    if (len == 3 && ((c == 0xE0 && byte(i + 1) < 0xA0) || (c == 0xED && byte(i + 1) >= 0xA0)))
        return 0; // overlong or surrogate
    if (len == 4 &&
        ((c == 0xF0 && byte(i + 1) < 0x90) || c > 0xF4 || (c == 0xF4 && byte(i + 1) >= 0x90)))
        return 0;
    return len;
}

} // namespace

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t len = utf8Length(text, i);
        if (len > 1) {
            out.append(text.substr(i, len));
            i += len;
            continue;
        }
        char escaped[8];
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || len == 0) {
                std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
                out += escaped;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
        ++i;
    }
    out += '"';
    return out;
}

Object& Object::add(const std::string& key, std::string_view text) {
    if (!text.empty())
        members_[key] = quote(text);
    return *this;
}

Object& Object::add(const std::string& key, int64_t number) {
    members_[key] = std::to_string(number);
    return *this;
}

Object& Object::raw(const std::string& key, std::string rendered) {
    members_[key] = std::move(rendered);
    return *this;
}

std::string Object::render() const {
    std::string out = "{";
    for (const auto& [key, value] : members_) {
        if (out.size() > 1)
            out += ", ";
        out += quote(key);
        out += ": ";
        out += value;
    }
    return out + "}";
}

std::string array(const std::vector<std::string>& rendered) {
    if (rendered.empty())
        return "[]";
    std::string out = "[\n";
    for (std::size_t i = 0; i < rendered.size(); ++i) {
        out += "    ";
        out += rendered[i];
        out += i + 1 < rendered.size() ? ",\n" : "\n";
    }
    return out + "  ]";
}

} // namespace lab::json
