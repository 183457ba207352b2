#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "kestrova_log.h"

namespace fruitlink {
namespace {

std::mutex g_traceMutex;
std::string g_lastError;
ErrorCategory g_lastCategory = IPHONE_ERROR_NONE;

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

void vlog(int level, const char* format, va_list ap) FRUITLINK_PRINTF(2, 0);
void vlog(int level, const char* format, va_list ap) {
    char buf[4096];
    const int n = std::vsnprintf(buf, sizeof buf, format, ap);
    if (n < 0)
        return;
    std::string entry = std::string("fruitlink:") + prefix(level) + buf;
    if (entry.back() != '\n')
        entry += '\n';
    KestrovaLog_Write(entry.data(), entry.size());
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

void setLogPathForTesting(const std::string& path) { KestrovaLog_SetPath(path.c_str()); }

} // namespace fruitlink
