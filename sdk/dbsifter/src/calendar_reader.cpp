// Calendar.sqlitedb: events of CalendarItem with their Location, first
// Alarm and first Recurrence. Birthday events (made from contacts),
// reminders and the calendars of disabled accounts are left out.
#include "apple_time.h"
#include "readers.h"
#include "rrule.h"

#include <cstdlib>
#include <unordered_map>
#include <unordered_set>

namespace dbsifter {
namespace {

struct Alarm {
    Text interval;    // seconds relative to the start
    Text triggerDate; // reference-date seconds
};

std::unordered_map<int64_t, std::string> loadLocations(SourceDb& db) {
    std::unordered_map<int64_t, std::string> out;
    if (!db.hasTable("Location"))
        return out;
    const auto cols = db.columns("Location");
    Stmt st(db.handle(), "SELECT ROWID, " + columnOrNull(cols, "title") + ", " +
                             columnOrNull(cols, "address") + " FROM Location");
    while (st.step()) {
        std::string title = st.text(1).value_or(""), address = st.text(2).value_or("");
        std::string text = title.empty()                         ? address
                           : address.empty() || address == title ? title
                                                                 : title + ", " + address;
        if (!text.empty())
            out.emplace(st.int64(0), text);
    }
    return out;
}

std::unordered_map<int64_t, Alarm> loadAlarms(SourceDb& db) {
    std::unordered_map<int64_t, Alarm> out;
    if (!db.hasTable("Alarm"))
        return out;
    const auto cols = db.columns("Alarm");
    const char* owner = cols.count("calendaritem_owner_id") ? "calendaritem_owner_id"
                        : cols.count("owner_id")            ? "owner_id"
                                                            : nullptr;
    if (!owner)
        return out;
    Stmt st(db.handle(), std::string("SELECT ") + owner + ", " +
                             columnOrNull(cols, "trigger_interval") + ", " +
                             columnOrNull(cols, "trigger_date") + " FROM Alarm ORDER BY ROWID");
    while (st.step())
        out.emplace(st.int64(0), Alarm{st.text(1), st.text(2)});
    return out;
}

std::unordered_map<int64_t, std::string> loadRecurrences(SourceDb& db) {
    std::unordered_map<int64_t, std::string> out;
    if (!db.hasTable("Recurrence"))
        return out;
    const auto cols = db.columns("Recurrence");
    std::string sql = "SELECT owner_id";
    for (const char* c : {"frequency", "interval", "count", "end_date", "specifier"})
        sql += ", " + columnOrNull(cols, c);
    if (!cols.count("owner_id"))
        return out;
    Stmt st(db.handle(), sql + " FROM Recurrence ORDER BY ROWID");
    while (st.step()) {
        RecurrenceRow r;
        r.frequency = st.int64(1);
        r.interval = st.int64(2);
        r.count = st.int64(3);
        if (!st.isNull(4))
            r.untilMs = cocoaSecondsToMs(st.real(4));
        r.specifier = st.text(5).value_or("");
        std::string rule = buildRrule(r);
        if (!rule.empty())
            out.emplace(st.int64(0), rule);
    }
    return out;
}

// Calendars of an account the user switched off: the phone does not show
// them, so they are not copied either.
std::unordered_set<int64_t> loadHiddenCalendars(SourceDb& db) {
    std::unordered_set<int64_t> out;
    if (!db.hasTable("Store") || !db.hasTable("Calendar") || !db.columns("Store").count("disabled"))
        return out;
    Stmt st(db.handle(), "SELECT c.ROWID FROM Calendar c JOIN Store s ON s.ROWID = c.store_id "
                         "WHERE s.disabled = 1");
    while (st.step())
        out.insert(st.int64(0));
    return out;
}

int64_t alarmMinutes(const Alarm& a, int64_t startMs) {
    int64_t minutes = 0;
    const long long interval = a.interval ? std::strtoll(a.interval->c_str(), nullptr, 10) : 0;
    if (interval != 0 && interval > -1000000000LL)
        minutes = -interval / 60;
    else if (a.triggerDate && !a.triggerDate->empty())
        minutes =
            (startMs - cocoaSecondsToMs(std::strtod(a.triggerDate->c_str(), nullptr))) / 60000;
    return minutes > 0 ? minutes : 0;
}

} // namespace

bool readEvents(SourceDb& db, const RowSink<EventRow>& out, std::string* why) {
    if (!db.hasTable("CalendarItem")) {
        *why = "no CalendarItem table: not a calendar";
        return false;
    }
    const auto locations = loadLocations(db);
    const auto alarms = loadAlarms(db);
    const auto rules = loadRecurrences(db);
    const auto hidden = loadHiddenCalendars(db);
    const auto cols = db.columns("CalendarItem");
    std::string sql = "SELECT ROWID";
    for (const char* c : {"summary", "location_id", "description", "start_date", "start_tz",
                          "end_date", "all_day", "calendar_id", "birthday_id", "entity_type"})
        sql += ", " + columnOrNull(cols, c);
    Stmt st(db.handle(), sql + " FROM CalendarItem ORDER BY ROWID");
    while (st.step()) {
        if (st.int64(9) > 0) // an event of the birthday calendar
            continue;
        if (!st.isNull(10) && st.int64(10) != 0 && st.int64(10) != 2) // a reminder
            continue;
        if (!st.isNull(8) && hidden.count(st.int64(8)))
            continue;
        EventRow e;
        const int64_t rowid = st.int64(0);
        e.eventId = decimal(rowid);
        e.calendarId = st.text(8);
        e.title = st.text(1);
        e.description = st.text(3);
        auto loc = locations.find(st.int64(2));
        if (!st.isNull(2) && loc != locations.end())
            e.location = loc->second;
        const bool allDay = st.int64(7) != 0;
        std::string tz = st.text(5).value_or("");
        int64_t start = st.isNull(4) ? 0 : cocoaSecondsToMs(st.real(4));
        int64_t end = st.isNull(6) ? start : cocoaSecondsToMs(st.real(6));
        if (allDay) {
            // Whole days at midnight UTC, as calendars keep all-day events.
            start = nearestMidnightMs(start);
            end = nearestMidnightMs(end);
            if (end <= start)
                end = start + kDayMs;
        }
        e.timeZone = (allDay || tz.empty() || tz == "_float") ? std::string("UTC") : tz;
        if (!st.isNull(4)) {
            e.start = decimal(start);
            e.end = decimal(end);
        }
        auto alarm = alarms.find(rowid);
        e.hasAlarm = alarm != alarms.end() ? "1" : "0";
        if (alarm != alarms.end())
            e.alarmMinutes = decimal(alarmMinutes(alarm->second, start));
        auto rule = rules.find(rowid);
        if (rule != rules.end())
            e.rrule = rule->second;
        if (!out(e)) {
            *why = "out of memory";
            return false;
        }
    }
    if (!st.ok()) {
        *why = "reading events failed: " + st.error();
        return false;
    }
    return true;
}

} // namespace dbsifter
