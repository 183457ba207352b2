// Call history: the Core Data store CallHistory.storedata (ZCALLRECORD) and
// the older call_history.db (call).
#include "apple_time.h"
#include "attributed_body.h"
#include "readers.h"

#include <cmath>

namespace dbsifter {
namespace {

// ZADDRESS is text in newer stores and a blob in older ones: the number's
// bytes, or an archived string.
Text addressOf(const Stmt& st, int col) {
    if (st.isNull(col))
        return std::nullopt;
    if (!st.isBlob(col))
        return st.text(col);
    std::string_view b = st.bytes(col);
    if (auto s = decodeKeyedArchive(reinterpret_cast<const uint8_t*>(b.data()), b.size()))
        return s;
    while (!b.empty() && b.back() == '\0')
        b.remove_suffix(1);
    if (!isValidUtf8(b.data(), b.size()))
        return std::nullopt;
    return std::string(b);
}

Text durationOf(const Stmt& st, int col) {
    if (st.isNull(col))
        return std::nullopt;
    const double d = st.real(col);
    return decimal(std::isfinite(d) && d > 0 && d < 1e9 ? std::llround(d) : 0);
}

bool readStore(SourceDb& db, const RowSink<CallRow>& out, std::string* why) {
    const auto cols = db.columns("ZCALLRECORD");
    std::string sql = "SELECT Z_PK";
    for (const char* c : {"ZADDRESS", "ZDATE", "ZDURATION", "ZORIGINATED", "ZANSWERED", "ZNAME"})
        sql += ", " + columnOrNull(cols, c);
    Stmt st(db.handle(), sql + " FROM ZCALLRECORD ORDER BY Z_PK");
    while (st.step()) {
        CallRow c;
        c.callId = decimal(st.int64(0));
        c.number = addressOf(st, 1);
        if (!st.isNull(2))
            c.date = decimal(cocoaSecondsToMs(st.real(2)));
        c.duration = durationOf(st, 3);
        // Outgoing whether answered or not; incoming is missed unless answered.
        c.type = st.int64(4) != 0 ? "2" : st.int64(5) != 0 ? "1" : "3";
        c.name = st.text(6);
        if (!out(c)) {
            *why = "out of memory";
            return false;
        }
    }
    if (!st.ok()) {
        *why = "reading calls failed: " + st.error();
        return false;
    }
    return true;
}

bool readLegacy(SourceDb& db, const RowSink<CallRow>& out, std::string* why) {
    const auto cols = db.columns("call");
    std::string sql = "SELECT ROWID";
    for (const char* c : {"address", "date", "duration", "flags", "name"})
        sql += ", " + columnOrNull(cols, c);
    Stmt st(db.handle(), sql + " FROM call ORDER BY ROWID");
    while (st.step()) {
        CallRow c;
        c.callId = decimal(st.int64(0));
        c.number = addressOf(st, 1);
        if (!st.isNull(2))
            c.date = decimal(callDateToMs(st.real(2)));
        c.duration = durationOf(st, 3);
        // Bit 0 of the flags marks an outgoing call; an incoming call that
        // lasted nothing was missed.
        const bool outgoing = (st.int64(4) & 0x1) != 0;
        c.type = outgoing ? "2" : st.int64(3) > 0 ? "1" : "3";
        c.name = st.text(5);
        if (!out(c)) {
            *why = "out of memory";
            return false;
        }
    }
    if (!st.ok()) {
        *why = "reading calls failed: " + st.error();
        return false;
    }
    return true;
}

} // namespace

bool readCalls(SourceDb& db, const RowSink<CallRow>& out, std::string* why) {
    if (db.hasTable("ZCALLRECORD"))
        return readStore(db, out, why);
    if (db.hasTable("call"))
        return readLegacy(db, out, why);
    *why = "no ZCALLRECORD or call table: not a call history";
    return false;
}

} // namespace dbsifter
