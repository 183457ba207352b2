// A recurrence row of Calendar.sqlitedb as an RFC 5545 RRULE.
#ifndef KESTROVA_DBSIFTER_RRULE_H
#define KESTROVA_DBSIFTER_RRULE_H

#include <cstdint>
#include <optional>
#include <string>

namespace dbsifter {

struct RecurrenceRow {
    int64_t frequency = 0; // 1 daily, 2 weekly, 3 monthly, 4 yearly
    int64_t interval = 1;
    int64_t count = 0;
    std::optional<int64_t> untilMs;
    std::string specifier; // "D=0MO,0WE;M=15;O=3;S=-1"
};

// Empty when the frequency is unknown.
std::string buildRrule(const RecurrenceRow& r);

} // namespace dbsifter

#endif
