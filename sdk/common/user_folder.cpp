#include "user_folder.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova_common {

namespace {

bool ownPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

std::string withoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string base() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && ownPrivateFolder(runtime))
        return withoutSlash(runtime);
    return temporaryBase();
}

} // namespace

std::string temporaryBase() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && tmp[0] == '/' ? withoutSlash(tmp) : std::string("/tmp");
}

std::string privateUserFolder() {
    const std::string wanted = base() + "/kestrova-" + std::to_string(::geteuid());
    if (::mkdir(wanted.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    if (ownPrivateFolder(wanted))
        return wanted;
    // One such folder per process, so every caller finds the same one.
    static std::mutex lock;
    static std::string fresh;
    std::lock_guard<std::mutex> guard(lock);
    if (!fresh.empty() && ownPrivateFolder(fresh))
        return fresh;
    std::string made = base() + "/kestrova-XXXXXX";
    if (!::mkdtemp(made.data()))
        return {};
    fresh = made;
    return fresh;
}

} // namespace kestrova_common
