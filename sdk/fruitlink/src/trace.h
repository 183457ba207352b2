// The iPhone library's trace: lines in the process's one log
// (kestrova_log.h) behind the library's name and a level prefix, and the
// latest failure reason for IphoneTSF_GetLastError.
#pragma once

#include "error_category.h"

#include <string>

namespace fruitlink {

#if defined(__GNUC__)
#define FRUITLINK_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define FRUITLINK_PRINTF(f, a)
#endif

// Level 0/1 plain, 2 warning, 3 error.
void WriteLog1(int level, const char* format, ...) FRUITLINK_PRINTF(2, 3);

// Logs at level 3 and keeps the text and its category as the latest failure.
void fail(ErrorCategory category, const char* format, ...) FRUITLINK_PRINTF(2, 3);
std::string lastError();
ErrorCategory lastErrorCategory();

// Points the process's log at another file (its folder must exist).
void setLogPathForTesting(const std::string& path);

} // namespace fruitlink
