// The phone's personal data in DIR/store.db: contacts, messages, call log and
// calendar, plus a key/value table for the phone's settings. Every kind is a
// table of text columns described by a KindSpec, so counting, paging,
// clearing, inserting and dumping are one code path for all four.
#pragma once

#include "sqlite_db.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lab {

struct ColumnSpec {
    const char* column;   // SQL column
    const char* replyKey; // key in page replies, nullptr when never sent
    const char* dumpKey;  // name in the canonical dump, nullptr for phone-made ids
};

enum class Kind { Contacts = 0, Messages = 1, Calls = 2, Events = 3 };
constexpr int kKindCount = 4;

struct KindSpec {
    Kind kind;
    const char* table;
    const char* idKey; // key of the row id in page replies
    std::vector<ColumnSpec> columns;
    int columnIndex(const char* column) const;
};

const KindSpec& kindSpec(Kind kind);

struct Row {
    int64_t id = 0;
    std::vector<std::string> values; // one per KindSpec column, "" = absent
};

class Store {
  public:
    explicit Store(const std::string& phoneDir);
    bool ok() const { return db_.ok(); }
    Database& db() { return db_; }

    int64_t count(Kind kind);
    // Rows at positions [start, start + limit) in id order.
    std::vector<Row> page(Kind kind, int64_t start, int limit);
    // Every row in id order, for dumps.
    std::vector<Row> all(Kind kind);
    bool clear(Kind kind);
    // Returns the new id, or 0 when the write failed.
    int64_t insert(Kind kind, const std::vector<std::string>& values);
    // Returns 1 done, 0 no such row, -1 failed write.
    int update(Kind kind, int64_t id, const char* column, const std::string& value);
    // The conversation of an address (numbers compared by their digits and
    // '+', so "+49 30 123" and "+4930123" share one thread). 0 on failure.
    int64_t threadFor(const std::string& address);

    std::string setting(const std::string& key);
    bool setSetting(const std::string& key, const std::string& value);

  private:
    const std::vector<int64_t>& ids(Kind kind);
    void touched(Kind kind) { idsValid_[static_cast<int>(kind)] = false; }

    Database db_;
    std::array<std::unique_ptr<Statement>, kKindCount> inserts_;
    std::array<std::vector<int64_t>, kKindCount> ids_;
    std::array<bool, kKindCount> idsValid_{};
    int64_t seenVersion_ = -1;
};

std::string storePath(const std::string& phoneDir);

} // namespace lab
