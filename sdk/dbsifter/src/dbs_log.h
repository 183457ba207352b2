// One line per event in the process's one log (kestrova_log.h), prefixed
// with the library's name.
#ifndef KESTROVA_DBSIFTER_LOG_H
#define KESTROVA_DBSIFTER_LOG_H

namespace dbsifter {

void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace dbsifter

#endif
