#include "dbs_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace dbsifter {

void logLine(const char* format, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    // One write per line so lines from several threads do not interleave.
    std::string line = std::string("libdbsifter: ") + buf + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace dbsifter
