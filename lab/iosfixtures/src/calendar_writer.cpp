// Calendar.sqlitedb: timed and all-day events in several time zones, one at a
// daylight-saving change, alarms, recurrences, a birthday calendar and a
// disabled account (neither of which a reader copies).
#include "fixture_common.h"
#include "fixture_db.h"
#include "fixture_text.h"
#include "ios_fixtures.h"

#include <cstdio>

namespace iosfix {
namespace {

std::string schema(int v) {
    std::string item =
        "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, summary TEXT, "
        "location_id INTEGER, description TEXT, start_date REAL, start_tz TEXT, end_date REAL, "
        "all_day INTEGER, calendar_id INTEGER, orig_item_id INTEGER, orig_date REAL, organizer_id "
        "INTEGER, self_attendee_id INTEGER, status INTEGER, availability INTEGER, privacy_level "
        "INTEGER, url TEXT, last_modified REAL, sequence_num INTEGER, birthday_id INTEGER, "
        "modified_properties INTEGER, external_tracking_status INTEGER, external_id TEXT, "
        "external_mod_tag TEXT, unique_identifier TEXT, external_schedule_id TEXT, external_rep "
        "BLOB, response_comment TEXT, hidden INTEGER, has_recurrences INTEGER, has_attendees "
        "INTEGER, UUID TEXT, entity_type INTEGER, priority INTEGER, due_date REAL, due_tz TEXT, "
        "due_all_day INTEGER, completion_date REAL, creation_date REAL";
    if (v >= 9)
        item += ", conference TEXT, display_order INTEGER, created_by_id INTEGER, modified_by_id "
                "INTEGER, shared_item_created_date REAL, shared_item_created_tz TEXT, "
                "shared_item_modified_date REAL, shared_item_modified_tz TEXT, invitation_status "
                "INTEGER";
    if (v >= 11)
        item += ", travel_time INTEGER, travel_advisory_behavior INTEGER, start_location_id "
                "INTEGER, junk_status INTEGER";
    if (v >= 14)
        item += ", conference_url_detected TEXT, action_string TEXT, phantom_master INTEGER";
    item += ");";
    return item +
           "CREATE TABLE Store (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, "
           "default_alarm_offset INTEGER, type INTEGER, constraint_path TEXT, disabled INTEGER, "
           "external_id TEXT, persistent_id TEXT, flags INTEGER);"
           "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, store_id INTEGER, "
           "title TEXT, flags INTEGER, color TEXT, type TEXT, supported_entity_types INTEGER, "
           "external_id TEXT, external_mod_tag TEXT, external_id_tag TEXT, external_rep BLOB, "
           "display_order INTEGER, UUID TEXT);"
           "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, address "
           "TEXT, latitude REAL, longitude REAL, reference_frame INTEGER, contact_label TEXT, "
           "map_kit_handle BLOB, route_type TEXT, item_owner_id INTEGER);"
           "CREATE TABLE Alarm (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, trigger_date INTEGER, "
           "trigger_interval INTEGER, type INTEGER, calendaritem_owner_id INTEGER, "
           "calendar_owner_id INTEGER, external_id TEXT, external_mod_tag TEXT, external_id_tag "
           "TEXT, external_rep BLOB, disabled INTEGER, UUID TEXT);"
           "CREATE TABLE Recurrence (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, frequency INTEGER, "
           "interval INTEGER, week_start INTEGER, count INTEGER, cached_end_date REAL, "
           "cached_end_date_tz TEXT, end_date REAL, specifier TEXT, by_month_months INTEGER, "
           "owner_id INTEGER, external_id TEXT, external_mod_tag TEXT, external_id_tag TEXT, "
           "external_rep BLOB, UUID TEXT);"
           "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
           "CREATE INDEX CalendarItemCalendarId on CalendarItem(calendar_id);"
           "CREATE INDEX AlarmCalendarItemOwnerId on Alarm(calendaritem_owner_id);"
           "CREATE INDEX RecurrenceOwnerId on Recurrence(owner_id);";
}

struct Zone {
    const char* name;
    int offsetHours; // standard offset; events are placed away from changes
};

std::string untilText(int64_t unix) {
    int y;
    unsigned m, d;
    civilFromDays(unix / 86400, &y, &m, &d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02u%02uT%02d%02d%02dZ", y, m, d, int(unix % 86400 / 3600),
                  int(unix % 3600 / 60), int(unix % 60));
    return buf;
}

struct Event {
    std::string title, description, location, locationAddress, tz;
    int64_t start = 0, end = 0; // Unix seconds
    bool allDay = false;
};

struct Recur {
    int frequency = 0, interval = 1, count = 0;
    int64_t until = 0;
    std::string specifier, rrule;
};

Recur randomRecurrence(Rng& rng, int64_t start) {
    static const char* freqs[] = {"DAILY", "WEEKLY", "MONTHLY", "YEARLY"};
    Recur r;
    r.frequency = int(rng.range(1, 4));
    r.interval = rng.chance(30) ? int(rng.range(2, 3)) : 1;
    r.rrule = std::string("FREQ=") + freqs[r.frequency - 1];
    if (r.interval > 1)
        r.rrule += ";INTERVAL=" + num(r.interval);
    if (rng.chance(40)) {
        r.count = int(rng.range(2, 20));
        r.rrule += ";COUNT=" + num(r.count);
    } else if (rng.chance(50)) {
        r.until = start + 86400 * rng.range(30, 400);
        r.rrule += ";UNTIL=" + untilText(r.until);
    }
    if (r.frequency == 2 && rng.chance(60)) {
        r.specifier = "D=0MO,0WE";
        r.rrule += ";BYDAY=MO,WE";
    } else if (r.frequency == 3 && rng.chance(50)) {
        r.specifier = "M=15";
        r.rrule += ";BYMONTHDAY=15";
    }
    return r;
}

} // namespace

bool writeCalendar(const std::string& path, const Options& opt, std::vector<ExpectedEvent>* out) {
    if (out)
        out->clear();
    FixtureDb db;
    Rng rng(opt.seed * 32452843u + uint32_t(opt.iosVersion));
    if (!db.create(path, opt.iosVersion >= 7) || !db.exec(schema(opt.iosVersion)))
        return false;
    db.exec("INSERT INTO _SqliteDatabaseProperties VALUES ('_ClientVersion', '" +
            num(opt.iosVersion * 1000) + "')");
    int64_t store = db.insert("INSERT INTO Store (name, type, disabled) VALUES (?, 0, 0)",
                              {std::string("Default")});
    int64_t bstore = db.insert("INSERT INTO Store (name, type, disabled) VALUES (?, 5, 0)",
                               {std::string("Birthdays")});
    std::vector<int64_t> cals;
    for (const char* t : {"Home", "Arbeit", "家族"})
        cals.push_back(db.insert("INSERT INTO Calendar (store_id, title, flags, color, UUID) "
                                 "VALUES (?, ?, 0, '#1BADF8', ?)",
                                 {store, std::string(t), makeGuid(rng.next(), rng.next())}));
    int64_t bcal = db.insert("INSERT INTO Calendar (store_id, title, flags, UUID) VALUES (?, "
                             "'Birthdays', 0, ?)",
                             {bstore, makeGuid(rng.next(), rng.next())});
    static const std::vector<Zone> zones = {
        {"Europe/Berlin", 1}, {"America/New_York", -5}, {"Asia/Tokyo", 9}, {"UTC", 0}};

    for (int i = 0; i < opt.count; ++i) {
        if (opt.walTail && i == opt.count * 3 / 4 && !db.beginWalTail())
            return false;
        Event ev;
        ev.title = randomSentence(rng, int(rng.range(1, 5)));
        if (rng.chance(40))
            ev.description = i % 7 == 3 ? longBody(rng, 2000) : randomSentence(rng, 10);
        if (rng.chance(50)) {
            ev.location = randomCity(rng);
            if (rng.chance(40))
                ev.locationAddress = num(rng.range(1, 99)) + " Main St";
        }
        const int64_t day = (kBaseUnix / 86400) + i * 2 + rng.range(0, 1);
        if (i == 1) {
            // 01:30 CET to 03:30 CEST across the spring change in Berlin.
            ev.tz = "Europe/Berlin";
            ev.start = daysFromCivil(2021, 3, 28) * 86400 + 1800;
            ev.end = ev.start + 3600;
        } else if (rng.chance(15)) {
            ev.allDay = true;
            ev.tz = "_float";
            ev.start = day * 86400;
            ev.end = ev.start + 86400 * rng.range(1, 3);
        } else {
            const Zone& z = rng.pick(zones);
            ev.tz = z.name;
            ev.start = day * 86400 + rng.range(7, 20) * 3600 - z.offsetHours * 3600 +
                       rng.range(0, 3) * 900;
            ev.end = ev.start + rng.range(1, 12) * 900;
        }
        Value locId;
        if (!ev.location.empty())
            locId = db.insert(
                "INSERT INTO Location (title, address, latitude, longitude) VALUES "
                "(?, ?, 52.5, 13.4)",
                {ev.location, ev.locationAddress.empty() ? Value() : Value(ev.locationAddress)});
        // All-day ends are kept either as the last second or as the next midnight.
        const int64_t storedEnd = ev.allDay && rng.chance(50) ? ev.end - 1 : ev.end;
        const bool recurs = rng.chance(25);
        const int64_t cal = rng.pick(cals);
        int64_t item = db.insert(
            "INSERT INTO CalendarItem (summary, location_id, description, start_date, start_tz, "
            "end_date, all_day, calendar_id, orig_item_id, status, availability, birthday_id, "
            "hidden, has_recurrences, has_attendees, UUID, entity_type, creation_date) VALUES (?, "
            "?, ?, ?, ?, ?, ?, ?, 0, 0, 0, 0, 0, ?, 0, ?, 2, ?)",
            {ev.title, locId, ev.description.empty() ? Value() : Value(ev.description),
             double(ev.start - kCocoaEpoch), ev.tz, double(storedEnd - kCocoaEpoch),
             int64_t(ev.allDay), cal, int64_t(recurs), makeGuid(rng.next(), rng.next()),
             double(ev.start - kCocoaEpoch - 86400)});
        if (locId.index() != 0)
            db.exec("UPDATE Location SET item_owner_id = " + num(item) +
                    " WHERE ROWID = " + num(std::get<int64_t>(locId)));
        ExpectedEvent e;
        if (rng.chance(50)) {
            static const std::vector<int64_t> leads = {0, 300, 900, 3600, 86400};
            const int64_t lead = rng.pick(leads);
            db.insert("INSERT INTO Alarm (trigger_interval, type, calendaritem_owner_id, UUID) "
                      "VALUES (?, 0, ?, ?)",
                      {-lead, item, makeGuid(rng.next(), rng.next())});
            e.hasAlarm = "1";
            e.alarmMinutes = num(lead / 60);
        } else {
            e.hasAlarm = "0";
        }
        if (recurs) {
            Recur r = randomRecurrence(rng, ev.start);
            db.insert("INSERT INTO Recurrence (frequency, interval, week_start, count, end_date, "
                      "specifier, owner_id, UUID) VALUES (?, ?, 0, ?, ?, ?, ?, ?)",
                      {int64_t(r.frequency), int64_t(r.interval), int64_t(r.count),
                       r.until ? Value(double(r.until - kCocoaEpoch)) : Value(),
                       r.specifier.empty() ? Value() : Value(r.specifier), item,
                       makeGuid(rng.next(), rng.next())});
            e.rrule = r.rrule;
        }
        e.eventId = num(item);
        e.calendarId = num(cal);
        e.title = ev.title;
        e.start = num(ev.start * 1000);
        e.end = num(ev.end * 1000);
        e.location =
            ev.locationAddress.empty() ? ev.location : ev.location + ", " + ev.locationAddress;
        e.timeZone = ev.allDay ? "UTC" : ev.tz;
        e.description = ev.description;
        if (out)
            out->push_back(std::move(e));
    }
    // An account switched off in Settings: its events are not shown.
    int64_t offStore = db.insert("INSERT INTO Store (name, type, disabled) VALUES (?, 1, 1)",
                                 {std::string("Old Exchange")});
    int64_t offCal = db.insert("INSERT INTO Calendar (store_id, title, flags) VALUES (?, ?, 0)",
                               {offStore, std::string("Work (old)")});
    db.insert("INSERT INTO CalendarItem (summary, start_date, start_tz, end_date, all_day, "
              "calendar_id, birthday_id, entity_type) VALUES (?, ?, 'UTC', ?, 0, ?, 0, 2)",
              {std::string("Hidden meeting"), double(kBaseUnix - kCocoaEpoch),
               double(kBaseUnix + 3600 - kCocoaEpoch), offCal});
    // The birthday calendar's events mirror contacts; a reader leaves them out.
    for (int b = 0; b <= opt.count / 10; ++b) {
        const int64_t start = (kBaseUnix / 86400 + b * 5) * 86400;
        db.insert("INSERT INTO CalendarItem (summary, start_date, start_tz, end_date, all_day, "
                  "calendar_id, birthday_id, has_recurrences, entity_type) VALUES (?, ?, "
                  "'_float', ?, 1, ?, ?, 1, 2)",
                  {randomName(rng).first + "’s Birthday", double(start - kCocoaEpoch),
                   double(start + 86399 - kCocoaEpoch), bcal, int64_t(b + 1)});
    }
    return db.close();
}

} // namespace iosfix
