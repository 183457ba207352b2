#include "fixture_common.h"

#include <cstdio>

namespace iosfix {

std::string makeGuid(uint64_t a, uint64_t b) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX", unsigned(a >> 32),
                  unsigned((a >> 16) & 0xffff), unsigned(a & 0xffff), unsigned(b >> 48),
                  (unsigned long long)(b & 0xffffffffffffull));
    return buf;
}

int64_t daysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = int(yy + (*m <= 2));
}

} // namespace iosfix
