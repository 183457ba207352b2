// Where the running executable and its tools live.
#include "greenlink_runner.h"
#include "program_folder.h"
#include "runner.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace greenlink {

std::string executableFolder() { return kestrova::executableFolder(); }

std::string programFolder() { return kestrova::programFolder(); }

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
    const std::string program = programFolder();
    return program.empty() ? std::string() : program + "root/";
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
