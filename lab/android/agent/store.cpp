#include "store.h"

#include <cstring>

namespace lab {

namespace {

const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS contacts(id INTEGER PRIMARY KEY AUTOINCREMENT, name, last_name,
  nickname, mobile, home_number, work_number, homepage, home_email, birthday, group_name, note,
  organization, department, home_address, work_address, home_fax, work_fax, work_email);
CREATE TABLE IF NOT EXISTS threads(id INTEGER PRIMARY KEY AUTOINCREMENT, address_key UNIQUE);
CREATE TABLE IF NOT EXISTS messages(id INTEGER PRIMARY KEY AUTOINCREMENT, thread_id, address,
  person, body, date, type, read);
CREATE TABLE IF NOT EXISTS calls(id INTEGER PRIMARY KEY AUTOINCREMENT, name, number, date, type,
  duration);
CREATE TABLE IF NOT EXISTS events(id INTEGER PRIMARY KEY AUTOINCREMENT, calendar_id, title,
  dtstart, dtend, location, timezone, description, has_alarm, alarm_minutes, rrule);
CREATE TABLE IF NOT EXISTS media(id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER,
  path UNIQUE, size INTEGER, mtime INTEGER, ctime INTEGER, title, album, artist,
  album_id INTEGER, duration INTEGER);
CREATE TABLE IF NOT EXISTS settings(key PRIMARY KEY, value);
)";

std::vector<KindSpec> makeSpecs() {
    return {
        {Kind::Contacts,
         "contacts",
         "CONTACTID",
         {{"name", "NAME", "firstName"},
          {"last_name", nullptr, "lastName"},
          {"nickname", "NICKNAME", "nickName"},
          {"mobile", "PHONE_PHONE", "mobile"},
          {"home_number", "PHONE_HOME", "homeNumber"},
          {"work_number", "PHONE_WORK", "workNumber"},
          {"homepage", "WEBSITE", "homePage"},
          {"home_email", "EMAIL_HOME", "homeEmail"},
          {"birthday", "BIRTHDAY", "birthday"},
          {"group_name", "GROUP", "groupName"},
          {"note", "NOTE", "note"},
          {"organization", "ORG_NAME", "organization"},
          {"department", "ORG_TITLE", "department"},
          {"home_address", "ADDRESS_HOME", "homeAddress"},
          {"work_address", "ADDRESS_WORK", "workAddress"},
          {"home_fax", "PHONE_HOMEFAX", "homeFax"},
          {"work_fax", "PHONE_WORKFAX", "workFax"},
          {"work_email", "EMAIL_WORK", "workEmail"}}},
        {Kind::Messages,
         "messages",
         "ID",
         {{"thread_id", "THREAD_ID", nullptr},
          {"address", "ADDRESS", "address"},
          {"person", "PERSON", "person"},
          {"body", "BODY", "body"},
          {"date", "DATE", "date"},
          {"type", "TYPE", "type"},
          {"read", "READ", "read"}}},
        {Kind::Calls,
         "calls",
         "ID",
         {{"name", "NAME", "name"},
          {"number", "NUMBER", "number"},
          {"date", "DATE", "date"},
          {"type", "TYPE", "type"},
          {"duration", "DURATION", "duration"}}},
        {Kind::Events,
         "events",
         "ID",
         {{"calendar_id", "CALENDARID", nullptr},
          {"title", "TITLE", "title"},
          {"dtstart", "START", "start"},
          {"dtend", "END", "end"},
          {"location", "EVENTLOC", "location"},
          {"timezone", "EVENTTZ", "timeZone"},
          {"description", "DESCRIPTION", "description"},
          {"has_alarm", "HASALARM", "hasAlarm"},
          {"alarm_minutes", "MINUTES", "alarmMinutes"},
          {"rrule", "RRULE", "rrule"}}},
    };
}

std::string columnList(const KindSpec& layout) {
    std::string out;
    for (const auto& c : layout.columns) {
        out += out.empty() ? "" : ", ";
        out += c.column;
    }
    return out;
}

Row readRow(const KindSpec& layout, Statement& s) {
    Row row;
    row.id = s.integer(0);
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        row.values.push_back(s.text(static_cast<int>(i) + 1));
    return row;
}

std::string addressKey(const std::string& address) {
    std::string key;
    for (char c : address)
        if ((c >= '0' && c <= '9') || c == '+')
            key.push_back(c);
    // Names and short codes without digits keep their own text.
    return key.empty() ? address : key;
}

} // namespace

int KindSpec::columnIndex(const char* column) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (std::strcmp(columns[i].column, column) == 0)
            return static_cast<int>(i);
    return -1;
}

const KindSpec& kindSpec(Kind kind) {
    static const std::vector<KindSpec> specs = makeSpecs();
    return specs[static_cast<std::size_t>(kind)];
}

std::string storePath(const std::string& phoneDir) { return phoneDir + "/store.db"; }

Store::Store(const std::string& phoneDir) : db_(storePath(phoneDir)) {
    if (db_.ok() && !db_.exec(kSchema))
        std::fprintf(stderr, "agent store: schema not created in %s\n", phoneDir.c_str());
}

const std::vector<int64_t>& Store::ids(Kind kind) {
    int64_t version = db_.dataVersion();
    if (version != seenVersion_) {
        idsValid_.fill(false);
        seenVersion_ = version;
    }
    auto k = static_cast<int>(kind);
    if (!idsValid_[k]) {
        ids_[k].clear();
        Statement s(db_.handle(),
                    std::string("SELECT id FROM ") + kindSpec(kind).table + " ORDER BY id");
        while (s.step())
            ids_[k].push_back(s.integer(0));
        idsValid_[k] = true;
    }
    return ids_[k];
}

int64_t Store::count(Kind kind) { return static_cast<int64_t>(ids(kind).size()); }

std::vector<Row> Store::page(Kind kind, int64_t start, int limit) {
    const auto& list = ids(kind);
    std::vector<Row> rows;
    if (start < 0 || start >= static_cast<int64_t>(list.size()) || limit <= 0)
        return rows;
    auto last = std::min<std::size_t>(list.size(), static_cast<std::size_t>(start + limit)) - 1;
    const KindSpec& layout = kindSpec(kind);
    Statement s(db_.handle(), "SELECT id, " + columnList(layout) + " FROM " + layout.table +
                                  " WHERE id BETWEEN ?1 AND ?2 ORDER BY id");
    s.bind(1, list[static_cast<std::size_t>(start)]).bind(2, list[last]);
    while (s.step())
        rows.push_back(readRow(layout, s));
    return rows;
}

std::vector<Row> Store::all(Kind kind) {
    const KindSpec& layout = kindSpec(kind);
    Statement s(db_.handle(),
                "SELECT id, " + columnList(layout) + " FROM " + layout.table + " ORDER BY id");
    std::vector<Row> rows;
    while (s.step())
        rows.push_back(readRow(layout, s));
    return rows;
}

bool Store::clear(Kind kind) {
    touched(kind);
    Statement s(db_.handle(), std::string("DELETE FROM ") + kindSpec(kind).table);
    bool done = s.run();
    if (kind == Kind::Messages)
        Statement(db_.handle(), "DELETE FROM threads").run();
    return done;
}

int64_t Store::insert(Kind kind, const std::vector<std::string>& values) {
    const KindSpec& layout = kindSpec(kind);
    touched(kind);
    auto& insert = inserts_[static_cast<std::size_t>(kind)];
    if (!insert) {
        std::string marks;
        for (std::size_t i = 0; i < layout.columns.size(); ++i)
            marks += i ? ", ?" : "?";
        insert = std::make_unique<Statement>(db_.handle(),
                                             std::string("INSERT INTO ") + layout.table + "(" +
                                                 columnList(layout) + ") VALUES(" + marks + ")");
    }
    insert->reset();
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        insert->bind(static_cast<int>(i) + 1, i < values.size() ? values[i] : std::string());
    bool done = insert->run();
    insert->reset(); // releases the read of the statement at once
    return done ? db_.lastInsertId() : 0;
}

int Store::update(Kind kind, int64_t id, const char* column, const std::string& value) {
    const KindSpec& layout = kindSpec(kind);
    if (layout.columnIndex(column) < 0)
        return -1;
    Statement s(db_.handle(),
                std::string("UPDATE ") + layout.table + " SET " + column + " = ?1 WHERE id = ?2");
    s.bind(1, value).bind(2, id);
    if (!s.run())
        return -1;
    return db_.changes() > 0 ? 1 : 0;
}

int64_t Store::threadFor(const std::string& address) {
    std::string key = addressKey(address);
    Statement find(db_.handle(), "SELECT id FROM threads WHERE address_key IS ?1");
    find.bind(1, key);
    if (find.step())
        return find.integer(0);
    Statement add(db_.handle(), "INSERT INTO threads(address_key) VALUES(?1)");
    add.bind(1, key);
    return add.run() ? db_.lastInsertId() : 0;
}

std::string Store::setting(const std::string& key) {
    Statement s(db_.handle(), "SELECT value FROM settings WHERE key = ?1");
    s.bind(1, key);
    return s.step() ? s.text(0) : std::string();
}

bool Store::setSetting(const std::string& key, const std::string& value) {
    Statement s(db_.handle(), "INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)");
    s.bind(1, key).bind(2, value);
    return s.run();
}

} // namespace lab
