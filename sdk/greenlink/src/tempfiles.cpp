// The process's private temporary folder and its numbered file names.
//
// The folder is made fresh for every process inside a base folder (by
// default "android/" in this user's private folder, user_folder.h: below
// $XDG_RUNTIME_DIR or $TMPDIR): "run-<pid>-XXXXXX", mode 0700, removed at a
// normal exit. Two program instances, or parallel tests, therefore never hand
// out the same name, and nobody else can plant or swap files in it. The base
// must be a real folder owned by us; it is closed to others (0700) so our
// private folder cannot be renamed away under us. A base we cannot trust is
// skipped for a fresh mkdtemp folder in the temporary folder.
#include "greenlink_log.h"
#include "greenlink_runner.h"
#include "runner.h"
#include "user_folder.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLogUnit = "myutils";

struct TempState {
    std::mutex lock;
    std::string base;   // empty: the default
    std::string folder; // private folder with trailing "/", "" until made
    pid_t owner = 0;    // the process that made it (a forked child must not reuse it)
    ~TempState() {
        // Remove our own folder at a normal exit; not from a forked child.
        if (!folder.empty() && owner == getpid()) {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    }
};

TempState& state() {
    static TempState st;
    return st;
}

std::atomic<int> tempindex{0};

std::string withoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Creates the base if needed and checks it is a folder of ours, not a link.
bool trustBase(const std::string& base) {
    if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) {
        WriteLog2(kLogUnit, __LINE__, 0, "temporary folder %s cannot be made: %s\n", base.c_str(),
                  std::strerror(errno));
        return false;
    }
    const int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        WriteLog2(kLogUnit, __LINE__, 0, "temporary folder %s refused (link or not a folder)\n",
                  base.c_str());
        return false;
    }
    struct stat st = {};
    const bool ours = fstat(fd, &st) == 0 && st.st_uid == geteuid();
    if (ours && (st.st_mode & 077) != 0)
        fchmod(fd, 0700);
    close(fd);
    if (!ours)
        WriteLog2(kLogUnit, __LINE__, 0, "temporary folder %s refused (owned by another user)\n",
                  base.c_str());
    return ours;
}

// Removes "run-<pid>-*" folders left behind by processes that no longer run.
// Only folders untouched for a while go: a process in another pid namespace
// sharing /tmp looks ended from here, but its folder stays busy.
void removeStaleRuns(const std::string& base) {
    constexpr time_t kQuietSeconds = 15 * 60;
    const time_t now = time(nullptr);
    DIR* dir = opendir(base.c_str());
    if (!dir)
        return;
    while (const struct dirent* entry = readdir(dir)) {
        long pid = 0;
        if (std::sscanf(entry->d_name, "run-%ld-", &pid) != 1 || pid <= 0)
            continue;
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        const std::string folder = base + "/" + entry->d_name;
        struct stat st = {};
        if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            now - st.st_mtime < kQuietSeconds)
            continue;
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    closedir(dir);
}

std::string defaultBase() {
    const std::string user = kestrova_common::privateUserFolder();
    return user.empty() ? std::string() : user + "/android";
}

std::string makePrivateFolder(const std::string& requestedBase) {
    const std::string base = withoutSlash(requestedBase.empty() ? defaultBase() : requestedBase);
    std::string name;
    if (!base.empty() && trustBase(base)) {
        removeStaleRuns(base);
        name = base + "/run-" + std::to_string(getpid()) + "-XXXXXX";
    } else {
        name = kestrova_common::temporaryBase() + "/kestrova-android-XXXXXX";
    }
    if (!mkdtemp(name.data())) {
        WriteLog2(kLogUnit, __LINE__, 0, "no private temporary folder (%s): %s\n", name.c_str(),
                  std::strerror(errno));
        return {};
    }
    return name + "/";
}

} // namespace

namespace greenlink {

std::string tempFolder() {
    TempState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    if (st.folder.empty() || st.owner != getpid()) {
        st.folder = makePrivateFolder(st.base);
        st.owner = getpid();
    }
    return st.folder;
}

bool setTempFolderBase(const std::string& base) {
    TempState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    if (!st.folder.empty() || base.empty())
        return false;
    st.base = base;
    return true;
}

void resetTempFolderForTests() {
    TempState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    if (!st.folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(st.folder, ec);
    }
    st.folder.clear();
    st.base.clear();
    tempindex.store(0);
}

std::string newTempFile() {
    const std::string folder = tempFolder();
    if (folder.empty())
        return {};
    char name[1100];
    std::snprintf(name, sizeof name, "%s%06d", folder.c_str(), tempindex.fetch_add(1));
    unlink(name);
    return name;
}

} // namespace greenlink

int GetTempPathFile(char* buffer) {
    if (!buffer)
        return -1;
    const std::string name = greenlink::newTempFile();
    if (name.empty() || name.size() > 1023) {
        buffer[0] = '\0';
        return -1;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return 0;
}
