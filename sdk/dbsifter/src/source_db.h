// A user's database opened for reading without changing it. A database with
// a -wal (or a hot -journal) is copied with it into a private folder (mode
// 0700, under TMPDIR or /tmp, removed afterwards) and the copy is read: the
// WAL needs a writable -shm beside it. One without is opened in place as
// immutable, so SQLite neither locks nor creates anything next to it.
#ifndef KESTROVA_DBSIFTER_SOURCE_DB_H
#define KESTROVA_DBSIFTER_SOURCE_DB_H

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace dbsifter {

using Text = std::optional<std::string>;

class Stmt {
  public:
    Stmt(sqlite3* db, const std::string& sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    bool ok() const { return stmt_ != nullptr && !failed_; }
    // True while a row is ready; false at the end or on an error (see ok()).
    bool step();
    bool isNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    bool isBlob(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_BLOB; }
    int64_t int64(int col) const { return sqlite3_column_int64(stmt_, col); }
    double real(int col) const { return sqlite3_column_double(stmt_, col); }
    Text text(int col) const;
    std::string_view bytes(int col) const;
    const std::string& error() const { return error_; }

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
    std::string error_;
};

class SourceDb {
  public:
    SourceDb() = default;
    ~SourceDb();
    SourceDb(const SourceDb&) = delete;
    SourceDb& operator=(const SourceDb&) = delete;

    // False with a reason when the file is missing, not a database, or corrupt.
    bool open(const std::string& path, std::string* why);
    bool hasTable(const std::string& table) const;
    std::set<std::string> columns(const std::string& table) const;
    sqlite3* handle() const { return db_; }

  private:
    bool openCopy(const std::string& path, std::string* why);
    bool openImmutable(const std::string& path, std::string* why);
    void removeCopy();

    sqlite3* db_ = nullptr;
    std::string tempDir_;
};

// "name" when the table has the column, else "NULL", for SELECT lists that
// read what a schema has.
std::string columnOrNull(const std::set<std::string>& cols, const char* name);
// The path as an SQLite URI with every unsafe byte percent-encoded.
std::string fileUri(const std::string& path, const char* query);

} // namespace dbsifter

#endif
