// The iPhone library's trace: lines on standard output behind a level
// prefix, and the latest failure reason for IphoneTSF_GetLastError.
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

// The log file's fixed path; a test may move it (never needed in production).
void setLogPathForTesting(const std::string& path);

} // namespace fruitlink
