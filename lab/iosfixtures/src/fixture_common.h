// Small helpers shared by the database writers.
#ifndef KESTROVA_IOSFIX_COMMON_H
#define KESTROVA_IOSFIX_COMMON_H

#include <cstdint>
#include <string>

namespace iosfix {

// Seconds from 1970-01-01 to 2001-01-01, the epoch of Apple's reference dates.
constexpr int64_t kCocoaEpoch = 978307200;
// A first instant for generated data: 2016-03-01 00:00:00 UTC.
constexpr int64_t kBaseUnix = 1456790400;

inline std::string num(int64_t v) { return std::to_string(v); }

// "%08X-%04X-..." style identifier from two random words.
std::string makeGuid(uint64_t a, uint64_t b);

// Days since 1970-01-01 for a civil date, and back (proleptic Gregorian).
int64_t daysFromCivil(int y, unsigned m, unsigned d);
void civilFromDays(int64_t z, int* y, unsigned* m, unsigned* d);

} // namespace iosfix

#endif
