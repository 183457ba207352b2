#include "fixture_db.h"

#include <unistd.h>

namespace iosfix {

namespace {
thread_local std::string t_lastError;
}

std::string lastError() { return t_lastError; }
void setLastError(const std::string& text) { t_lastError = text; }

void removeDbFiles(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        ::unlink((path + suffix).c_str());
}

FixtureDb::~FixtureDb() { close(); }

bool FixtureDb::fail(const std::string& what) {
    error_ = what + ": " + (db_ ? sqlite3_errmsg(db_) : "no database");
    setLastError(error_);
    return false;
}

bool FixtureDb::create(const std::string& path, bool wal) {
    removeDbFiles(path);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        return fail("open " + path);
    if (!exec(wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE"))
        return false;
    return exec("BEGIN");
}

bool FixtureDb::exec(const std::string& sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
        error_ = sql.substr(0, 80) + ": " + (msg ? msg : "?");
        setLastError(error_);
        sqlite3_free(msg);
        return false;
    }
    return true;
}

sqlite3_stmt* FixtureDb::cached(const std::string& sql) {
    for (auto& [text, stmt] : stmts_)
        if (text == sql)
            return stmt;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        fail("prepare " + sql.substr(0, 80));
        return nullptr;
    }
    stmts_.emplace_back(sql, stmt);
    return stmt;
}

int64_t FixtureDb::insert(const std::string& sql, const std::vector<Value>& values) {
    sqlite3_stmt* st = cached(sql);
    if (!st)
        return -1;
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    for (size_t i = 0; i < values.size(); ++i) {
        int idx = int(i) + 1;
        const Value& v = values[i];
        if (auto* n = std::get_if<int64_t>(&v))
            sqlite3_bind_int64(st, idx, *n);
        else if (auto* d = std::get_if<double>(&v))
            sqlite3_bind_double(st, idx, *d);
        else if (auto* s = std::get_if<std::string>(&v))
            sqlite3_bind_text(st, idx, s->data(), int(s->size()), SQLITE_TRANSIENT);
        else if (auto* b = std::get_if<Blob>(&v))
            sqlite3_bind_blob(st, idx, b->bytes.data(), int(b->bytes.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(st, idx);
    }
    if (sqlite3_step(st) != SQLITE_DONE) {
        fail("insert " + sql.substr(0, 80));
        return -1;
    }
    return sqlite3_last_insert_rowid(db_);
}

bool FixtureDb::beginWalTail() {
    if (!exec("COMMIT") || !exec("PRAGMA journal_mode=WAL") ||
        !exec("PRAGMA wal_checkpoint(TRUNCATE)"))
        return false;
    keepWal_ = true;
    return exec("BEGIN");
}

bool FixtureDb::close() {
    if (!db_)
        return error_.empty();
    bool ok = exec("COMMIT");
    for (auto& entry : stmts_)
        sqlite3_finalize(entry.second);
    stmts_.clear();
    if (keepWal_) {
        // Leave the tail in the -wal file, as a phone in use does.
        int off = 1;
        sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &off);
    }
    sqlite3_close(db_);
    db_ = nullptr;
    return ok && error_.empty();
}

} // namespace iosfix
