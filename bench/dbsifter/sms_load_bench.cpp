// Loading 100,000 messages from an sms.db into the list, against SQLite
// selecting the same rows with the same joins, measured in the same run.
// Prints both times, their ratio and the memory the list takes.
//
//   bench_dbsifter [count] [work-folder] [reuse]
// "reuse" keeps an sms.db already written there by an earlier run.
#include "dbsifter.h"
#include "ios_fixtures.h"

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

long residentKiB() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The rows the loader reads: each message with its handle and conversation.
size_t selectSameRows(const std::string& path) {
    sqlite3* db = nullptr;
    const std::string uri = "file:" + path + "?immutable=1";
    sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT m.ROWID, m.text, m.attributedBody, m.handle_id, m.date, "
                       "m.is_from_me, m.is_read, m.error, h.id, j.chat_id FROM message m LEFT "
                       "JOIN handle h ON h.ROWID = m.handle_id LEFT JOIN chat_message_join j ON "
                       "j.message_id = m.ROWID ORDER BY m.ROWID",
                       -1, &st, nullptr);
    size_t rows = 0, bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < 10; ++c) {
            sqlite3_column_text(st, c);
            bytes += size_t(sqlite3_column_bytes(st, c));
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows + (bytes == 0 ? 0 : 0);
}

// A copy of the database with one more message left in a -wal file, so the
// load takes its copying route.
bool makeWalCopy(const std::string& from, const std::string& to) {
    {
        std::ifstream in(from, std::ios::binary);
        std::ofstream out(to, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        if (!out)
            return false;
    }
    unlink((to + "-wal").c_str());
    unlink((to + "-shm").c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(to.c_str(), &db) != SQLITE_OK)
        return false;
    int off = 1;
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &off);
    const int rc = sqlite3_exec(db,
                                "PRAGMA journal_mode=WAL; INSERT INTO message (guid, text, date) "
                                "VALUES ('bench-wal-row', 'in the wal', 1)",
                                nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

size_t listBytes() {
    SMessage* m = nullptr;
    DbsifterTSF_GetSMS(&m);
    size_t total = 0;
    for (; m; m = m->next) {
        total += sizeof(SMessage);
        for (char* t : {m->smsId, m->person, m->address, m->body, m->date, m->type, m->read,
                        m->threadId, m->contactId})
            total += t ? std::char_traits<char>::length(t) + 1 : 0;
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::string dir = argc > 2 ? argv[2] : std::string(KESTROVA_BENCH_DIR) + "/dbsifter-bench";
    std::string path = dir + "/sms.db";
    iosfix::Options opt;
    opt.count = count;
    opt.seed = 5;
    auto t0 = Clock::now();
    const bool reuse =
        argc > 3 && std::string(argv[3]) == "reuse" && access(path.c_str(), R_OK) == 0;
    if (!reuse &&
        (!iosfix::writeAll(dir, iosfix::Options{17, 5, 1}) || !iosfix::writeSmsDb(path, opt))) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), iosfix::lastError().c_str());
        return 1;
    }
    std::printf("generated %d messages in %.2f s (%s)\n", count, seconds(t0, Clock::now()),
                path.c_str());

    const long rssStart = residentKiB();
    double best_sql = 1e9, best_load = 1e9;
    size_t rows = 0;
    for (int round = 0; round < 3; ++round) {
        auto a = Clock::now();
        rows = selectSameRows(path);
        auto b = Clock::now();
        if (DbsifterTSF_FlushSMS(path.data(), 0) != 0)
            return 1;
        auto c = Clock::now();
        best_sql = std::min(best_sql, seconds(a, b));
        best_load = std::min(best_load, seconds(b, c));
    }
    const long rssLoaded = residentKiB();
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    std::printf("sqlite select of the same rows: %zu rows, best of 3: %.3f s\n", rows, best_sql);
    std::printf("DbsifterTSF_FlushSMS: %d records, best of 3: %.3f s\n", DbsifterTSF_GetSMSCount(),
                best_load);
    std::printf("ratio load/select: %.2f (target <= 2)\n", best_load / best_sql);
    std::printf("list: %.1f MiB of records and texts; resident growth %.1f MiB; peak RSS %.1f "
                "MiB\n",
                listBytes() / 1048576.0, (rssLoaded - rssStart) / 1024.0, ru.ru_maxrss / 1024.0);
    const std::string walCopy = dir + "/sms-wal.db";
    if (makeWalCopy(path, walCopy)) {
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            auto a = Clock::now();
            if (DbsifterTSF_FlushSMS(const_cast<char*>(walCopy.c_str()), 0) != 0)
                return 1;
            best = std::min(best, seconds(a, Clock::now()));
        }
        std::printf("with a -wal (private copy first): %d records, best of 3: %.3f s, ratio "
                    "%.2f\n",
                    DbsifterTSF_GetSMSCount(), best, best / best_sql);
    }
    return 0;
}
