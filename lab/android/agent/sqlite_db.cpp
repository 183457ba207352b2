#include "sqlite_db.h"

#include <cstdio>

namespace lab {

Statement::Statement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "agent store: cannot prepare %.*s: %s\n", static_cast<int>(sql.size()),
                     sql.data(), sqlite3_errmsg(db));
        stmt_ = nullptr;
        failed_ = true;
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int index, std::string_view text) {
    if (!stmt_)
        return *this;
    if (text.empty())
        sqlite3_bind_null(stmt_, index);
    else
        sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

Statement& Statement::bind(int index, int64_t value) {
    if (stmt_)
        sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (stmt_)
        sqlite3_bind_null(stmt_, index);
    return *this;
}

bool Statement::step() {
    if (!stmt_ || failed_)
        return false;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        failed_ = true;
        std::fprintf(stderr, "agent store: %s\n", sqlite3_errmsg(sqlite3_db_handle(stmt_)));
    }
    return false;
}

bool Statement::run() {
    while (step()) {
    }
    return !failed_;
}

void Statement::reset() {
    if (!stmt_)
        return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    failed_ = false;
}

std::string Statement::text(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    if (!data || size <= 0)
        return {};
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Database::Database(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "agent store: cannot open %s: %s\n", path.c_str(),
                     db_ ? sqlite3_errmsg(db_) : "out of memory");
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_busy_timeout(db_, 30000);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
}

Database::~Database() { sqlite3_close(db_); }

bool Database::exec(const char* sql) {
    if (!db_)
        return false;
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "agent store: %s: %s\n", sql, error ? error : "?");
        sqlite3_free(error);
        return false;
    }
    return true;
}

int64_t Database::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }

int Database::changes() const { return sqlite3_changes(db_); }

int64_t Database::dataVersion() {
    Statement s(db_, "PRAGMA data_version");
    return s.step() ? s.integer(0) : -1;
}

Transaction::Transaction(Database& db) : db_(db) { open_ = db_.exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (open_)
        db_.exec("ROLLBACK");
}

bool Transaction::commit() {
    if (!open_)
        return false;
    open_ = false;
    return db_.exec("COMMIT");
}

} // namespace lab
