#include "dbs_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "kestrova_log.h"

namespace dbsifter {

void logLine(const char* format, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    const std::string line = std::string("libdbsifter: ") + buf + "\n";
    KestrovaLog_Write(line.data(), line.size());
}

} // namespace dbsifter
