// Where the running executable and its tools live.
#include "greenlink_runner.h"
#include "runner.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace greenlink {

std::string executableFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    std::string text(path, static_cast<size_t>(n));
    // Cut just after the last "/", looking no further left than index 1.
    for (size_t i = text.size() - 1; i >= 1; --i) {
        if (text[i] == '/') {
            text.resize(i + 1);
            break;
        }
    }
    return text;
}

std::string toolFolder() {
    // KESTROVA_TOOL_DIR lets tests and the lab supply their own adb and getusb.
    const char* override = std::getenv("KESTROVA_TOOL_DIR");
    if (override && *override) {
        std::string folder = override;
        if (folder[0] != '/') {
            char cwd[PATH_MAX];
            if (getcwd(cwd, sizeof cwd))
                folder = std::string(cwd) + "/" + folder;
        }
        if (folder.back() != '/')
            folder += '/';
        return folder;
    }
    const std::string exe = executableFolder();
    return exe.empty() ? std::string() : exe + "root/";
}

} // namespace greenlink

int GetExerunPath(char* buffer, int size) {
    if (!buffer || size <= 0)
        return -1;
    const std::string folder = greenlink::executableFolder();
    if (folder.empty() || folder.size() >= static_cast<size_t>(size)) {
        buffer[0] = '\0';
        return -1;
    }
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return 0;
}

int tmpGetExerunPath(char* buffer, int size) { return GetExerunPath(buffer, size); }
