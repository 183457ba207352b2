// Date text conversions used to order messages and to show device dates.
#include "timeconv.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr const char* st_wday[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr int64_t kSeconds1970To2001 = 978307200;

bool allDigits(const char* text) {
    if (!*text)
        return false;
    for (const char* p = text; *p; ++p)
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            return false;
    return true;
}

// Decimal value of up to `width` digits at text[pos]; stops at a non-digit.
int fieldAt(const char* text, size_t pos, size_t width) {
    int value = 0;
    for (size_t i = 0; i < width && std::isdigit(static_cast<unsigned char>(text[pos + i])); ++i)
        value = value * 10 + (text[pos + i] - '0');
    return value;
}

} // namespace

int64_t convertstrTotimee(const char* date) {
    if (!date || !*date)
        return 0;
    if (allDigits(date)) {
        const uint64_t ms = charConvert8uint64_t(date);
        return static_cast<int64_t>(ms / 1000);
    }
    // The fixed-position form needs all six fields ("YYYY-MM-DD hh:mm:ss").
    if (std::strlen(date) < 19)
        return 0;
    struct tm t = {};
    t.tm_year = fieldAt(date, 0, 4) - 1900;
    t.tm_mon = fieldAt(date, 5, 2) - 1;
    t.tm_mday = fieldAt(date, 8, 2);
    t.tm_hour = fieldAt(date, 11, 2);
    t.tm_min = fieldAt(date, 14, 2);
    t.tm_sec = fieldAt(date, 17, 2);
    // Let the C library decide whether daylight saving applies on that date;
    // borrowing today's flag would shift dates of the other season by an hour.
    t.tm_isdst = -1;
    const time_t seconds = mktime(&t);
    return seconds == static_cast<time_t>(-1) ? 0 : static_cast<int64_t>(seconds);
}

const char* GettimeString2(uint64_t seconds) {
    thread_local char buffer[60];
    const time_t when = static_cast<time_t>(seconds);
    struct tm t;
    if (seconds > static_cast<uint64_t>(INT64_MAX) || !localtime_r(&when, &t))
        return nullptr;
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d  %02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return buffer;
}

const char* GetTimeFor2000String(const char* seconds2001) {
    thread_local char buffer[128];
    const uint64_t value = charConvert8uint64_t(seconds2001);
    struct tm t;
    const time_t when = static_cast<time_t>(static_cast<int64_t>(value) + kSeconds1970To2001);
    if (value > static_cast<uint64_t>(INT64_MAX - kSeconds1970To2001) || !localtime_r(&when, &t)) {
        std::snprintf(buffer, sizeof buffer, "00:00:00 1/1/1970");
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, "%s %02d:%02d:%02d %02d/%02d/%02d", st_wday[t.tm_wday % 7],
                  t.tm_hour, t.tm_min, t.tm_sec, t.tm_mon + 1, t.tm_mday, t.tm_year + 1900);
    return buffer;
}

uint64_t charConvert8uint64_t(const char* text) {
    if (!text)
        return 0;
    uint64_t value = 0;
    for (const char* p = text; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        const uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return UINT64_MAX;
        value = value * 10 + digit;
    }
    return value;
}
