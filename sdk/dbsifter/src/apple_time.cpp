#include "apple_time.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dbsifter {
namespace {

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

} // namespace

void civilFromDays(int64_t z, int* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = int(int64_t(yoe) + era * 400 + (*m <= 2));
}

int64_t cocoaSecondsToMs(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13)
        return kCocoaEpochSeconds * 1000;
    return std::llround(seconds * 1000.0) + kCocoaEpochSeconds * 1000;
}

int64_t messageDateToMs(int64_t raw) {
    // Seconds stay below 1e10 for three centuries; nanoseconds of any date
    // after 2001-01-01 00:00:10 are above it.
    if (raw > 10000000000LL || raw < -10000000000LL)
        return floorDiv(raw, 1000000) + kCocoaEpochSeconds * 1000;
    return raw * 1000 + kCocoaEpochSeconds * 1000;
}

int64_t callDateToMs(double raw) {
    if (!std::isfinite(raw) || std::fabs(raw) > 1e13)
        return 0;
    if (raw >= 1e9)
        return std::llround(raw * 1000.0);
    return cocoaSecondsToMs(raw);
}

std::optional<std::string> birthdayFromCocoa(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double secs = std::strtod(text.c_str(), &end);
    if (errno || end == text.c_str() || !std::isfinite(secs) || std::fabs(secs) > 1e11)
        return std::nullopt;
    const int64_t unix = int64_t(std::floor(secs)) + kCocoaEpochSeconds;
    int64_t day = floorDiv(unix, 86400);
    // Local midnight east of UTC lies in the UTC evening before; noon UTC
    // and midnight west of UTC lie on the day itself.
    if (unix - day * 86400 > 43200)
        ++day;
    int y;
    unsigned m, d;
    civilFromDays(day, &y, &m, &d);
    char buf[32];
    if (y == 1604)
        std::snprintf(buf, sizeof buf, "--%02u-%02u", m, d);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", y, m, d);
    return std::string(buf);
}

int64_t nearestMidnightMs(int64_t ms) { return floorDiv(ms + kDayMs / 2, kDayMs) * kDayMs; }

std::string rruleUntil(int64_t ms) {
    const int64_t secs = floorDiv(ms, 1000);
    const int64_t day = floorDiv(secs, 86400);
    const int64_t rest = secs - day * 86400;
    int y;
    unsigned m, d;
    civilFromDays(day, &y, &m, &d);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02u%02uT%02d%02d%02dZ", y, m, d, int(rest / 3600),
                  int(rest % 3600 / 60), int(rest % 60));
    return buf;
}

} // namespace dbsifter
