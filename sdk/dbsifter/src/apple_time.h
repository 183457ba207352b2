// Conversions from the date forms of iPhone databases to the shared
// convention: milliseconds since 1970-01-01 UTC, and dates as YYYY-MM-DD.
#ifndef KESTROVA_DBSIFTER_APPLE_TIME_H
#define KESTROVA_DBSIFTER_APPLE_TIME_H

#include <cstdint>
#include <optional>
#include <string>

namespace dbsifter {

constexpr int64_t kCocoaEpochSeconds = 978307200; // 2001-01-01 in Unix seconds
constexpr int64_t kDayMs = 86400000;

// Seconds since 2001 (fractions kept to the millisecond, rounded).
int64_t cocoaSecondsToMs(double seconds);
// A message date: seconds since 2001 before iOS 11, nanoseconds since 2001
// after; told apart by magnitude, since old rows survive upgrades.
int64_t messageDateToMs(int64_t raw);
// A call_history.db date: Unix seconds; a few builds kept reference-date
// seconds, told apart by magnitude (no iPhone call predates 2001-09-09).
int64_t callDateToMs(double raw);
// A birthday kept as reference-date seconds, either at noon UTC or at local
// midnight of the phone's zone. "YYYY-MM-DD", or "--MM-DD" for a birthday
// without a year (kept in year 1604).
std::optional<std::string> birthdayFromCocoa(const std::string& text);
// An all-day event's instant rounded to the nearest midnight UTC, so the
// calendar date survives whichever zone the phone stored it in.
int64_t nearestMidnightMs(int64_t ms);
// "YYYYMMDDTHHMMSSZ" for an RRULE UNTIL.
std::string rruleUntil(int64_t ms);

void civilFromDays(int64_t days, int* y, unsigned* m, unsigned* d);

} // namespace dbsifter

#endif
