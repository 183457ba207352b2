// Call history: call_history.db (Unix dates, flags) before iOS 8, the Core
// Data store CallHistory.storedata (ZCALLRECORD, reference dates) from 8 on.
#include "fixture_common.h"
#include "fixture_db.h"
#include "fixture_text.h"
#include "ios_fixtures.h"

namespace iosfix {
namespace {

std::string legacySchema() {
    return "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
           "CREATE TABLE call (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date "
           "INTEGER, duration INTEGER, flags INTEGER, id INTEGER, name TEXT, country_code TEXT, "
           "network_code TEXT, read INTEGER, assisted INTEGER, face_time_data BLOB, "
           "originalAddress TEXT);"
           "CREATE TABLE data (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, pdp_ip INTEGER, "
           "bytes_rcvd REAL, bytes_sent REAL, bytes_last_rcvd REAL, bytes_last_sent REAL, "
           "bytes_lifetime_rcvd REAL, bytes_lifetime_sent REAL);"
           "CREATE INDEX date_index on call(date);";
}

std::string storeSchema(int v) {
    std::string rec = "CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT "
                      "INTEGER, ZANSWERED INTEGER, ZCALLTYPE INTEGER, ZDISCONNECTED_CAUSE INTEGER, "
                      "ZFACE_TIME_DATA INTEGER, ZNUMBER_AVAILABILITY INTEGER, ZORIGINATED INTEGER, "
                      "ZREAD INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, ZDEVICE_ID VARCHAR, "
                      "ZISO_COUNTRY_CODE VARCHAR, ZNAME VARCHAR, ZUNIQUE_ID VARCHAR";
    if (v >= 11)
        rec += ", ZCALL_CATEGORY INTEGER, ZHANDLE_TYPE INTEGER, ZLOCATION VARCHAR, "
               "ZSERVICE_PROVIDER VARCHAR";
    if (v >= 14)
        rec += ", ZJUNKCONFIDENCE INTEGER, ZJUNKIDENTIFICATIONCATEGORY VARCHAR, "
               "ZLOCALPARTICIPANTUUID VARCHAR, ZOUTGOINGLOCALPARTICIPANTUUID VARCHAR, "
               "ZPARTICIPANTGROUPUUID VARCHAR";
    if (v >= 17)
        rec += ", ZVERIFICATIONSTATUS INTEGER, ZSCREENSHARINGTYPE INTEGER";
    // Older stores keep the address as an archived blob column, newer ones as text.
    rec += v >= 11 ? ", ZADDRESS VARCHAR );" : ", ZADDRESS BLOB );";
    return rec + "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER "
                 "INTEGER, Z_MAX INTEGER);"
                 "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), "
                 "Z_PLIST BLOB);"
                 "CREATE TABLE Z_MODELCACHE (Z_CONTENT BLOB);"
                 "CREATE INDEX ZCALLRECORD_ZDATE_INDEX ON ZCALLRECORD (ZDATE);";
}

struct Call {
    int kind; // 0 incoming, 1 outgoing, 2 missed
    bool facetime;
    std::string number, name;
    int64_t durationSecs;
};

Call randomCall(Rng& rng) {
    Call c;
    int r = int(rng.below(100));
    c.kind = r < 45 ? 0 : r < 85 ? 1 : 2;
    c.facetime = rng.chance(8);
    c.number = rng.chance(3) ? "" : randomPhone(rng);
    c.name = rng.chance(30) ? randomName(rng).first : "";
    c.durationSecs = c.kind == 2 ? 0 : rng.range(c.kind == 1 ? 0 : 1, 3600);
    return c;
}

} // namespace

std::string callHistoryFileName(int iosVersion) {
    return iosVersion >= 8 ? "CallHistory.storedata" : "call_history.db";
}

bool writeCallHistory(const std::string& path, const Options& opt, std::vector<ExpectedCall>* out) {
    if (out)
        out->clear();
    const bool store = opt.iosVersion >= 8;
    FixtureDb db;
    Rng rng(opt.seed * 15485863u + uint32_t(opt.iosVersion));
    if (!db.create(path, opt.iosVersion >= 7) ||
        !db.exec(store ? storeSchema(opt.iosVersion) : legacySchema()))
        return false;
    if (store) {
        db.exec("INSERT INTO Z_PRIMARYKEY VALUES (1, 'CallRecord', 0, " + num(opt.count) + ")");
        db.insert("INSERT INTO Z_METADATA VALUES (1, ?, ?)",
                  {makeGuid(rng.next(), rng.next()), Blob{"bplist00"}});
    } else {
        db.exec("INSERT INTO _SqliteDatabaseProperties VALUES ('_ClientVersion', '12')");
    }
    for (int i = 0; i < opt.count; ++i) {
        if (opt.walTail && i == opt.count * 3 / 4 && !db.beginWalTail())
            return false;
        const Call c = randomCall(rng);
        const int64_t unix = kBaseUnix + int64_t(i) * 3600 + rng.range(0, 3000);
        const int64_t millis = int64_t(rng.below(1000));
        int64_t rowid;
        ExpectedCall e;
        if (store) {
            const Value address = c.number.empty()       ? Value()
                                  : opt.iosVersion >= 11 ? Value(c.number)
                                                         : Value(Blob{c.number});
            rowid = db.insert(
                "INSERT INTO ZCALLRECORD (Z_ENT, Z_OPT, ZANSWERED, ZCALLTYPE, ZORIGINATED, ZREAD, "
                "ZDATE, ZDURATION, ZISO_COUNTRY_CODE, ZNAME, ZUNIQUE_ID, ZADDRESS) VALUES (1, 1, "
                "?, ?, ?, 1, ?, ?, 'de', ?, ?, ?)",
                {int64_t(c.kind != 2), int64_t(c.facetime ? 8 : 1), int64_t(c.kind == 1),
                 double(unix - kCocoaEpoch) + double(millis) / 1000.0,
                 double(c.durationSecs) + 0.25, c.name.empty() ? Value() : Value(c.name),
                 makeGuid(rng.next(), rng.next()), address});
            e.date = num(unix * 1000 + millis);
        } else {
            const int64_t flags = (c.kind == 1 ? 5 : 4) | (c.facetime ? 16 : 0);
            rowid = db.insert(
                "INSERT INTO call (address, date, duration, flags, id, name, country_code, "
                "network_code, read, assisted) VALUES (?, ?, ?, ?, -1, ?, '262', '01', 1, 0)",
                {c.number.empty() ? Value() : Value(c.number), unix, c.durationSecs, flags,
                 c.name.empty() ? Value() : Value(c.name)});
            e.date = num(unix * 1000);
        }
        if (rowid < 0)
            return false;
        e.callId = num(rowid);
        e.number = c.number;
        e.name = c.name;
        e.type = c.kind == 0 ? "1" : c.kind == 1 ? "2" : "3";
        e.duration = num(c.durationSecs);
        if (out)
            out->push_back(std::move(e));
    }
    return db.close();
}

} // namespace iosfix
