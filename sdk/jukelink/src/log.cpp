#include "log.h"

#include <cstdarg>
#include <cstdio>

#include "kestrova_log.h"

namespace jukelink {

namespace {
thread_local std::string t_lastLine;
thread_local Error t_lastFailure;
} // namespace

void logLine(const char* fmt, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    t_lastLine = buf;
    const std::string entry = std::string("jukelink: ") + buf + "\n";
    KestrovaLog_Write(entry.data(), entry.size());
}

std::string lastLogLine() { return t_lastLine; }

void reportFailure(const char* context, const Error& e) {
    t_lastFailure = e;
    if (t_lastFailure.category == Category::None)
        t_lastFailure.category = Category::Io;
    logLine("%s: %s", context, e.text.c_str());
}

void reportSuccess() { t_lastFailure = Error(); }

Category lastFailureCategory() { return t_lastFailure.category; }

std::string lastFailureText() { return t_lastFailure.text; }

} // namespace jukelink
