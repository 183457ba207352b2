// The Android library's log entries, written into the process's one log
// (kestrova_log.h).
#include "log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "kestrova_log.h"

namespace {

constexpr size_t kEntryMax = 4096;

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
    KestrovaLog_Write(buffer, used);
}

} // namespace

namespace greenlink {

void setLogPathForTests(const std::string& path) { KestrovaLog_SetPath(path.c_str()); }

std::string logPath() {
    std::vector<char> path(KestrovaLog_GetPath(nullptr, 0) + 1);
    KestrovaLog_GetPath(path.data(), path.size());
    return path.data();
}

} // namespace greenlink

void CreateLogFile(void) { KestrovaLog_Open(); }

void WriteLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeEntry(nullptr, 0, format, args);
    va_end(args);
}

void WriteLog1(int level, const char* format, ...) {
    (void)level;
    va_list args;
    va_start(args, format);
    writeEntry(nullptr, 0, format, args);
    va_end(args);
}

void WriteLog2(const char* unit, int line, int level, const char* format, ...) {
    (void)level;
    va_list args;
    va_start(args, format);
    writeEntry(unit ? unit : "", line, format, args);
    va_end(args);
}

int GetLogFileHandle(void) { return KestrovaLog_Descriptor(); }

void SetLogHandle(int fd) { KestrovaLog_UseDescriptor(fd); }
