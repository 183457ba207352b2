#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace fruitlink {
namespace {

std::mutex g_traceMutex;
std::string g_lastError;
ErrorCategory g_lastCategory = IPHONE_ERROR_NONE;
std::string g_logPath = "/tmp/tavrelin.log";
bool g_logOpened = false;

// The file is created empty at first use. O_NOFOLLOW: a link planted at the
// fixed path in a shared /tmp is refused, not followed.
void openLogFileOnce() {
    if (g_logOpened)
        return;
    g_logOpened = true;
    int fd = ::open(g_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

const char* prefix(int level) {
    switch (level) {
    case 2:
        return "  *  ";
    case 3:
        return " *** ";
    default:
        return "     ";
    }
}

void vlog(int level, const char* format, va_list ap) {
    char buf[4096];
    std::vsnprintf(buf, sizeof buf, format, ap);
    std::lock_guard<std::mutex> lock(g_traceMutex);
    openLogFileOnce();
    std::fprintf(stdout, "%s%s", prefix(level), buf);
    size_t n = std::char_traits<char>::length(buf);
    if (n == 0 || buf[n - 1] != '\n')
        std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

void WriteLog1(int level, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    vlog(level, format, ap);
    va_end(ap);
}

void fail(ErrorCategory category, const char* format, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    {
        std::lock_guard<std::mutex> lock(g_traceMutex);
        g_lastError = buf;
        g_lastCategory = category;
    }
    WriteLog1(3, "%s [%s]\n", buf, categoryName(category));
}

std::string lastError() {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    return g_lastError;
}

ErrorCategory lastErrorCategory() {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    return g_lastCategory;
}

void setLogPathForTesting(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_logPath = path;
    g_logOpened = false;
}

} // namespace fruitlink
