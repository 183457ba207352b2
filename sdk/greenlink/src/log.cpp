// The library's diagnostic log: one file per process run, echoed to stdout.
#include "log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

constexpr const char* kDefaultLogPath = "/tmp/kestrova.log";
constexpr size_t kEntryMax = 4096;

std::mutex st_openLock; // guards the open/replace step and the path
std::string st_logPath = kDefaultLogPath;
std::atomic<int> logfilesdk{0};
int st_ownedFd = -1; // the descriptor CreateLogFile opened, if still in use

void writeAll(int fd, const char* data, size_t size) {
    // One write per entry keeps entries of different threads apart; a short
    // write (disk full, signal) is finished rather than lost.
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void writeHeader(int fd) {
    const time_t now = time(nullptr);
    struct tm t = {};
    localtime_r(&now, &t);
    char header[256];
    const int n =
        std::snprintf(header, sizeof header,
                      "============================================\n"
                      "%d/%d/%d %d:%d:%d\n"
                      "============================================\n\n",
                      t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (n > 0)
        writeAll(fd, header, static_cast<size_t>(n));
}

// Removes whatever is at the path (a planted link is removed, its target left
// alone) and creates the file exclusively, so the open can never follow a
// link or reuse a file someone else made.
int openFresh(const std::string& path) {
    unlink(path.c_str());
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void writeEntry(const char* unit, int line, const char* format, va_list args) {
    CreateLogFile();
    if (!format)
        return;
    char buffer[kEntryMax];
    size_t used = 0;
    if (unit) {
        const int n = std::snprintf(buffer, sizeof buffer, "file:%s, line:%d\n", unit, line);
        used = n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof buffer - 1);
    }
    const int n = std::vsnprintf(buffer + used, sizeof buffer - used, format, args);
    if (n > 0)
        used = std::min(used + static_cast<size_t>(n), sizeof buffer - 1);
    const int fd = logfilesdk.load();
    if (fd > 0)
        writeAll(fd, buffer, used);
    std::fwrite(buffer, 1, used, stdout);
    std::fflush(stdout);
}

} // namespace

namespace greenlink {

void setLogPathForTests(const std::string& path) {
    std::lock_guard<std::mutex> lock(st_openLock);
    if (st_ownedFd >= 0 && logfilesdk.load() == st_ownedFd)
        logfilesdk.store(0);
    if (st_ownedFd >= 0)
        close(st_ownedFd);
    st_ownedFd = -1;
    if (logfilesdk.load() < 0)
        logfilesdk.store(0);
    st_logPath = path;
}

std::string logPath() {
    std::lock_guard<std::mutex> lock(st_openLock);
    return st_logPath;
}

} // namespace greenlink

void CreateLogFile(void) {
    if (logfilesdk.load() != 0)
        return;
    std::lock_guard<std::mutex> lock(st_openLock);
    if (logfilesdk.load() != 0)
        return;
    const int fd = openFresh(st_logPath);
    if (fd < 0) {
        // Stays at -1: entries still reach stdout, and the open is not retried.
        std::fprintf(stderr, "Faild to create log file:\"%s\" (%s).\n", st_logPath.c_str(),
                     std::strerror(errno));
        logfilesdk.store(-1);
        return;
    }
    std::fprintf(stderr, "Log file=\"%s\".\n", st_logPath.c_str());
    writeHeader(fd);
    st_ownedFd = fd;
    logfilesdk.store(fd);
}

void WriteLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeEntry(nullptr, 0, format, args);
    va_end(args);
}

void WriteLog1(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeEntry(nullptr, 0, format, args);
    va_end(args);
}

void WriteLog2(const char* unit, int line, int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeEntry(unit ? unit : "", line, format, args);
    va_end(args);
}

int GetLogFileHandle(void) { return logfilesdk.load(); }

void SetLogHandle(int fd) { logfilesdk.store(fd); }
