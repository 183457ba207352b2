#include "hexcodec.h"

#include <cstring>

namespace greenlink {

std::string DataToHex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.resize(bytes.size() * 2);
    size_t at = 0;
    for (unsigned char b : bytes) {
        out[at++] = digits[b >> 4];
        out[at++] = digits[b & 0x0F];
    }
    return out;
}

void EncryptionData(const char* value, std::string& out) {
    if (!value || !*value)
        return;
    out += DataToHex(std::string_view(value, std::strlen(value)));
}

std::string EncryptionData(const char* value) {
    std::string out;
    EncryptionData(value, out);
    return out;
}

int GetHexDesi(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

unsigned char HextoUint8(char high, char low) {
    const int h = GetHexDesi(high), l = GetHexDesi(low);
    return static_cast<unsigned char>((h < 0 ? 0 : h) * 16 + (l < 0 ? 0 : l));
}

std::string HexToData(std::string_view hex, bool* ok) {
    std::string out;
    out.reserve(hex.size() / 2 + 1);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = GetHexDesi(hex[i]);
        const int low = i + 1 < hex.size() ? GetHexDesi(hex[i + 1]) : 0;
        if (high < 0 || low < 0) {
            if (ok)
                *ok = false;
            return {};
        }
        out.push_back(static_cast<char>(high * 16 + low));
    }
    return out;
}

std::string DecryptionData(std::string_view hex, bool* ok) {
    std::string bytes = HexToData(hex, ok);
    size_t nul = bytes.find('\0');
    if (nul != std::string::npos)
        bytes.resize(nul);
    return bytes;
}

bool ReplaceNulBytes(std::string& text) {
    // U+FFFD marks a character that could not be carried, as readers of the
    // text expect, and keeps the words on either side apart.
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    size_t at = text.find('\0');
    if (at == std::string::npos)
        return false;
    for (; at != std::string::npos; at = text.find('\0', at + kReplacement.size()))
        text.replace(at, 1, kReplacement);
    return true;
}

std::string DecodeRecordText(std::string_view hex, bool* ok, bool* replaced) {
    std::string bytes = HexToData(hex, ok);
    if (ReplaceNulBytes(bytes) && replaced)
        *replaced = true;
    return bytes;
}

} // namespace greenlink
