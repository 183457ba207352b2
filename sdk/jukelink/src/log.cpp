#include "log.h"

#include <cstdarg>
#include <cstdio>

namespace jukelink {

namespace {
thread_local std::string t_lastLine;
}

void logLine(const char* fmt, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    t_lastLine = buf;
    // One fprintf per line so lines of two threads do not interleave.
    fprintf(stderr, "jukelink: %s\n", buf);
}

std::string lastLogLine() { return t_lastLine; }

} // namespace jukelink
