// The process's one log file, shared by the program and its libraries.
#include "kestrova_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kEntryMax = 4096;
constexpr const char* kFileName = "kestrova.log";

struct LogState {
    std::mutex lock;
    std::string path;       // empty: not decided yet
    bool pathGiven = false; // set by KestrovaLog_SetPath
    int fd = 0;             // 0 not opened yet, -1 refused, else the open file
    int callerFd = -1;      // KestrovaLog_UseDescriptor
    dev_t device = 0;       // identity of the file we opened, to notice another
    ino_t inode = 0;        // process's rotation
    long long rotateBytes = KESTROVA_LOG_ROTATE_BYTES;
    bool echo = false;
    bool headerWritten = false; // once per process, in the first file it opens
};

LogState& state() {
    // Never destroyed: threads of the libraries may log during exit.
    static LogState* st = new LogState;
    return *st;
}

void writeAll(int fd, const char* data, size_t size) {
    // A short write (disk full, signal) is finished rather than lost.
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void toStderr(const char* data, size_t size) { writeAll(STDERR_FILENO, data, size); }

void warn(const std::string& text) {
    const std::string line = "kestrova: " + text + "\n";
    toStderr(line.data(), line.size());
}

// $XDG_STATE_HOME, or ~/.local/state when it is unset or not absolute.
std::string stateHome() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/')
        return {};
    return std::string(home) + "/.local/state";
}

std::string defaultPath() {
    const std::string base = stateHome();
    return base.empty() ? std::string() : base + "/kestrova/" + kFileName;
}

// Makes every missing folder of `folder` with mode 0700.
bool makeFolders(const std::string& folder) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/')
            continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

// The log's own folder must be a folder of this user's, not a link; it is
// closed to others whatever it was made with.
bool trustFolder(const std::string& folder, std::string* why) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *why = folder + " is not a folder (" + std::strerror(errno) + ")";
        return false;
    }
    struct stat st {};
    const bool ours = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid();
    if (ours && (st.st_mode & 077) != 0)
        ::fchmod(fd, 0700);
    ::close(fd);
    if (!ours)
        *why = folder + " belongs to another user";
    return ours;
}

// Opens the file for appending. A link is never followed, and anything but
// a plain file of this user's with one name is refused (O_NONBLOCK keeps a
// planted FIFO from blocking the open).
int openFile(const std::string& path, std::string* why) {
    int fd = ::open(path.c_str(),
                    O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        // ELOOP: a link; ENXIO: a FIFO nobody reads.
        *why = errno == ELOOP   ? path + " is a link"
               : errno == ENXIO ? path + " is not a plain file of this user's"
                                : path + ": " + std::strerror(errno);
        return -1;
    }
    if (fd <= STDERR_FILENO) {
        // A closed standard descriptor was reused: 0 means "not opened" here,
        // and 1 or 2 would mix the log into the program's own output.
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        ::close(fd);
        if (moved < 0) {
            *why = path + ": " + std::strerror(errno);
            return -1;
        }
        fd = moved;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_nlink != 1) {
        *why = path + " is not a plain file of this user's";
        ::close(fd);
        return -1;
    }
    if ((st.st_mode & 07777) != 0600)
        ::fchmod(fd, 0600);
    ::fcntl(fd, F_SETFL, O_WRONLY | O_APPEND);
    return fd;
}

void writeHeader(LogState& st) {
    const time_t now = ::time(nullptr);
    struct tm t = {};
    ::localtime_r(&now, &t);
    char header[512];
    const int n =
        std::snprintf(header, sizeof header,
                      "============================================\n"
                      "%d/%d/%d %d:%d:%d\n"
                      "============================================\n"
                      "%s, pid %d\n\n",
                      t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                      program_invocation_short_name, static_cast<int>(::getpid()));
    if (n > 0)
        writeAll(st.fd, header, std::min(static_cast<size_t>(n), sizeof header - 1));
}

// Opens the file at st.path; the caller holds the lock.
void openLocked(LogState& st) {
    if (st.path.empty() && !st.pathGiven)
        st.path = defaultPath();
    std::string why;
    int fd = -1;
    if (st.path.empty()) {
        why = "no home folder for the log";
    } else {
        const std::string folder = st.path.substr(0, st.path.rfind('/'));
        if ((st.pathGiven || makeFolders(folder)) && trustFolder(folder, &why))
            fd = openFile(st.path, &why);
        else if (why.empty())
            why = "cannot make " + folder + ": " + std::strerror(errno);
    }
    if (fd < 0) {
        // Not retried: one warning, then entries go to standard error.
        st.fd = -1;
        warn("no log file (" + why + "); log entries go to standard error");
        return;
    }
    struct stat info {};
    ::fstat(fd, &info);
    st.fd = fd;
    st.device = info.st_dev;
    st.inode = info.st_ino;
    if (!st.headerWritten) {
        writeHeader(st);
        st.headerWritten = true;
    }
}

void closeLocked(LogState& st) {
    if (st.fd > 0)
        ::close(st.fd);
    st.fd = 0;
}

// Before an entry of `size` bytes: when the file would pass the limit it is
// renamed to ".1" (replacing the older one) and a new one begun. When
// another process rotated it meanwhile, this one only follows to the new file.
void rotateIfDue(LogState& st, size_t size) {
    struct stat open {};
    if (::fstat(st.fd, &open) != 0 || open.st_size + static_cast<long long>(size) <= st.rotateBytes)
        return;
    struct stat named {};
    const bool stillNamed = ::lstat(st.path.c_str(), &named) == 0 && named.st_dev == st.device &&
                            named.st_ino == st.inode;
    if (stillNamed && ::rename(st.path.c_str(), (st.path + ".1").c_str()) != 0)
        return; // keeps writing to the big file rather than losing entries
    closeLocked(st);
    st.headerWritten = false; // the new file starts with its own header
    openLocked(st);
}

} // namespace

int KestrovaLog_Open(void) {
    LogState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    if (st.fd == 0)
        openLocked(st);
    return st.fd > 0 || st.callerFd >= 0 ? 0 : -1;
}

void KestrovaLog_Write(const char* entry, size_t size) {
    if (!entry || size == 0)
        return;
    LogState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    if (st.echo)
        toStderr(entry, size);
    if (st.callerFd >= 0) {
        writeAll(st.callerFd, entry, size);
        return;
    }
    if (st.fd == 0)
        openLocked(st);
    if (st.fd > 0)
        rotateIfDue(st, size);
    if (st.fd > 0)
        writeAll(st.fd, entry, size);
    else if (!st.echo)
        toStderr(entry, size);
}

void KestrovaLog_VPrintf(const char* format, va_list args) {
    if (!format)
        return;
    char buffer[kEntryMax];
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n > 0)
        KestrovaLog_Write(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1));
}

void KestrovaLog_Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    KestrovaLog_VPrintf(format, args);
    va_end(args);
}

int KestrovaLog_Descriptor(void) {
    LogState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    return st.callerFd >= 0 ? st.callerFd : st.fd;
}

void KestrovaLog_UseDescriptor(int fd) {
    LogState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    st.callerFd = fd >= 0 ? fd : -1;
}

size_t KestrovaLog_GetPath(char* buf, size_t size) {
    LogState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    const std::string path = st.pathGiven || !st.path.empty() ? st.path : defaultPath();
    if (buf && size > 0) {
        const size_t n = std::min(path.size(), size - 1);
        std::memcpy(buf, path.data(), n);
        buf[n] = '\0';
    }
    return path.size();
}

void KestrovaLog_SetPath(const char* path) {
    LogState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    closeLocked(st);
    st.pathGiven = path != nullptr;
    st.path = path ? path : std::string();
    st.headerWritten = false;
}

void KestrovaLog_SetRotateBytes(long long bytes) {
    LogState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    st.rotateBytes = bytes > 0 ? bytes : KESTROVA_LOG_ROTATE_BYTES;
}

void KestrovaLog_SetEchoToStderr(int on) {
    LogState& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    st.echo = on != 0;
}
