// Diagnostics of the backup reader: one line per failure, with the reason, on
// standard error. The last line is kept so tests can see what was reported.
#pragma once

#include <string>

namespace jukelink {

void logLine(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The last line logged by this thread (without the prefix and line end).
std::string lastLogLine();

} // namespace jukelink
