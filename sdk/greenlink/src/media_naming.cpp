#include "media_naming.h"

#include <cstring>

#include "greenlink.h"

namespace greenlink {

std::string clashCandidate(const std::string& name, int n) {
    std::string suffix = "(" + std::to_string(n) + ")";
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string phoneFileName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '/' || c == ';' || c == '\0')
            c = '_';
    if (out.empty())
        return "unnamed";
    if (out == "." || out == "..")
        return "_";
    // Leave room for a "(n)" that a clash may add.
    constexpr size_t kMax = 240;
    if (out.size() > kMax) {
        size_t dot = out.rfind('.');
        std::string ext = dot != std::string::npos && dot > 0 && out.size() - dot <= 16
                              ? out.substr(dot)
                              : std::string();
        size_t keep = kMax - ext.size();
        // Never cut a UTF-8 character in half.
        while (keep > 0 && (static_cast<unsigned char>(out[keep]) & 0xC0) == 0x80)
            --keep;
        out = out.substr(0, keep) + ext;
    }
    return out;
}

std::string adbPathForPhonePath(const std::string& phonePath, const std::string& externalStorage) {
    if (!externalStorage.empty() &&
        phonePath.compare(0, externalStorage.size(), externalStorage) == 0 &&
        (phonePath.size() == externalStorage.size() || phonePath[externalStorage.size()] == '/'))
        return "/sdcard" + phonePath.substr(externalStorage.size());
    return phonePath;
}

} // namespace greenlink

int AndroidTSF_StoredFileName(const char* name, char* out, int capacity) {
    if (!name || !out || capacity <= 0)
        return -1;
    const std::string stored = greenlink::phoneFileName(name);
    if (stored.size() >= static_cast<size_t>(capacity))
        return -1;
    std::memcpy(out, stored.c_str(), stored.size() + 1);
    return static_cast<int>(stored.size());
}
