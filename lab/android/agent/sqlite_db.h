// A small RAII layer over SQLite for the phone's store.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lab {

class Statement {
  public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds 1-based; an empty text binds NULL (absent value).
    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, int64_t value);
    Statement& bindNull(int index);
    // True while a row is available.
    bool step();
    // Runs to completion; false on a failed write (full disk, ...).
    bool run();
    void reset();

    std::string text(int column) const;
    int64_t integer(int column) const;
    bool isNull(int column) const;

  private:
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

class Database {
  public:
    // Opens (creating when missing) with WAL and a busy time-out, so several
    // connections and processes share one store.
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool ok() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }
    bool exec(const char* sql);
    int64_t lastInsertId() const;
    int changes() const;
    // Changes when another connection committed since the last call.
    int64_t dataVersion();

  private:
    sqlite3* db_ = nullptr;
};

// Begins a write transaction, rolled back unless commit() succeeded.
class Transaction {
  public:
    explicit Transaction(Database& db);
    ~Transaction();
    bool commit();

  private:
    Database& db_;
    bool open_ = false;
};

} // namespace lab
