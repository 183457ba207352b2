// A database being written by a fixture generator: fresh file, bulk inserts
// in transactions, and an optional tail of rows left only in the -wal file.
#ifndef KESTROVA_IOSFIX_DB_H
#define KESTROVA_IOSFIX_DB_H

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace iosfix {

// One bound value: NULL, integer, real, text or blob.
struct Blob {
    std::string bytes;
};
using Value = std::variant<std::monostate, int64_t, double, std::string, Blob>;

class FixtureDb {
  public:
    FixtureDb() = default;
    ~FixtureDb();
    FixtureDb(const FixtureDb&) = delete;
    FixtureDb& operator=(const FixtureDb&) = delete;

    // Replaces any file at path (and its -wal, -shm, -journal). wal: the file
    // is in WAL mode, as phones keep it since iOS 7.
    bool create(const std::string& path, bool wal);
    bool exec(const std::string& sql);
    // Inserts one row; returns the new ROWID, or -1.
    int64_t insert(const std::string& sql, const std::vector<Value>& values);
    // Starts the rows that stay in the -wal file: everything so far is
    // checkpointed into the main file, everything after is not.
    bool beginWalTail();
    bool close();
    const std::string& error() const { return error_; }

  private:
    sqlite3_stmt* cached(const std::string& sql);
    bool fail(const std::string& what);

    sqlite3* db_ = nullptr;
    bool keepWal_ = false;
    std::string error_;
    std::vector<std::pair<std::string, sqlite3_stmt*>> stmts_;
};

void setLastError(const std::string& text);

// Removes path and its -wal, -shm and -journal files.
void removeDbFiles(const std::string& path);

} // namespace iosfix

#endif
