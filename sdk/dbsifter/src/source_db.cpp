#include "source_db.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace dbsifter {
namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";

bool copyFile(const std::string& from, const std::string& to, std::string* why) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *why = "cannot read " + from + ": " + std::strerror(errno);
        return false;
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        *why = "cannot create a private copy: " + std::string(std::strerror(errno));
        ::close(in);
        return false;
    }
    char buf[1 << 16];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    if (!ok)
        *why = "copying " + from + " failed: " + std::strerror(errno);
    ::close(in);
    return ::close(out) == 0 && ok;
}

bool nonEmptyFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

} // namespace

Stmt::Stmt(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
        error_ = sqlite3_errmsg(db);
        failed_ = true;
        stmt_ = nullptr;
    }
}

Stmt::~Stmt() { sqlite3_finalize(stmt_); }

bool Stmt::step() {
    if (!stmt_ || failed_)
        return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        failed_ = true;
        error_ = sqlite3_errmsg(db_);
    }
    return false;
}

Text Stmt::text(int col) const {
    if (isNull(col))
        return std::nullopt;
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    const int n = sqlite3_column_bytes(stmt_, col);
    return std::string(p ? p : "", p ? size_t(n) : 0);
}

std::string_view Stmt::bytes(int col) const {
    const void* p = sqlite3_column_blob(stmt_, col);
    const int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string_view(static_cast<const char*>(p), size_t(n)) : std::string_view();
}

std::string fileUri(const std::string& path, const char* query) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~", c))
            uri += char(c);
        else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    if (query && *query)
        uri += std::string("?") + query;
    return uri;
}

std::string columnOrNull(const std::set<std::string>& cols, const char* name) {
    return cols.count(name) ? std::string("\"") + name + "\"" : std::string("NULL");
}

SourceDb::~SourceDb() {
    if (db_)
        sqlite3_close(db_);
    removeCopy();
}

void SourceDb::removeCopy() {
    if (tempDir_.empty())
        return;
    for (const char* name : {"/db", "/db-wal", "/db-shm", "/db-journal"})
        ::unlink((tempDir_ + name).c_str());
    ::rmdir(tempDir_.c_str());
    tempDir_.clear();
}

bool SourceDb::open(const std::string& path, std::string* why) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = path + " is not a regular file";
        return false;
    }
    char magic[16] = {};
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd >= 0 ? ::read(fd, magic, sizeof magic) : -1;
    if (fd >= 0)
        ::close(fd);
    if (got < 0) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    if (got < 16 || std::memcmp(magic, kSqliteMagic, sizeof kSqliteMagic) != 0) {
        *why = path + (got == 0 ? " is empty" : " is not an SQLite database");
        return false;
    }
    // A -wal holds committed data the main file lacks; a -journal means an
    // interrupted write that SQLite must roll back first. Either needs a copy.
    const bool needsCopy = nonEmptyFile(path + "-wal") || nonEmptyFile(path + "-journal");
    const bool ok = needsCopy ? openCopy(path, why) : openImmutable(path, why);
    if (!ok)
        return false;
    // Reading the schema proves the header and the first page are sound.
    Stmt probe(db_, "SELECT count(*) FROM sqlite_master");
    if (!probe.ok() || !probe.step()) {
        *why = path + " cannot be read: " + probe.error();
        return false;
    }
    return true;
}

bool SourceDb::openImmutable(const std::string& path, std::string* why) {
    const std::string uri = fileUri(path, "immutable=1");
    if (sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        *why = path + ": " + sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool SourceDb::openCopy(const std::string& path, std::string* why) {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/dbsifter-XXXXXX";
    if (!::mkdtemp(tmpl.data())) { // mode 0700
        *why = "cannot create a private folder: " + std::string(std::strerror(errno));
        return false;
    }
    tempDir_ = tmpl;
    if (!copyFile(path, tempDir_ + "/db", why))
        return false;
    for (const char* side : {"-wal", "-journal"})
        if (nonEmptyFile(path + side) && !copyFile(path + side, tempDir_ + "/db" + side, why))
            return false;
    if (sqlite3_open_v2((tempDir_ + "/db").c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        *why = path + ": " + sqlite3_errmsg(db_);
        return false;
    }
    sqlite3_exec(db_, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    return true;
}

bool SourceDb::hasTable(const std::string& table) const {
    Stmt st(db_, "SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name = '" + table +
                     "'");
    return st.step();
}

std::set<std::string> SourceDb::columns(const std::string& table) const {
    std::set<std::string> cols;
    Stmt st(db_, "PRAGMA table_info(\"" + table + "\")");
    while (st.step())
        if (auto name = st.text(1))
            cols.insert(*name);
    return cols;
}

} // namespace dbsifter
