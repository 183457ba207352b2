#include "program_folder.h"

#include <climits>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#ifndef KESTROVA_PROGRAM_FOLDER_FROM_BIN
#error "KESTROVA_PROGRAM_FOLDER_FROM_BIN must name the installed folder relative to bin/"
#endif

namespace kestrova {

namespace {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::string executableFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string text(path, static_cast<size_t>(n));
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

std::string installedFolder(const std::string& exeFolder) {
    if (exeFolder.empty())
        return {};
    const std::filesystem::path joined =
        std::filesystem::path(exeFolder) / KESTROVA_PROGRAM_FOLDER_FROM_BIN;
    return withSlash(joined.lexically_normal().string());
}

std::string programFolderFor(const std::string& exeFolder) {
    // The build's bin/ never has a lib/kestrova beside it, and an installed
    // bin/ holds only the executables: the folder that exists decides.
    const std::string installed = installedFolder(exeFolder);
    std::error_code error;
    if (!installed.empty() && std::filesystem::is_directory(installed, error))
        return installed;
    return withSlash(exeFolder);
}

std::string programFolder() { return programFolderFor(executableFolder()); }

} // namespace kestrova
