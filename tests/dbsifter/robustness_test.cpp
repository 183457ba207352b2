// Loading never changes the user's files, and damaged, foreign or partial
// databases give an empty list and a logged reason, never a crash.
#include "dbsifter.h"
#include "ios_fixtures.h"
#include "test_util.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

using dbstest::sameText;

namespace {

int flushAll(const std::string& dir, int ios) {
    int failures = 0;
    auto p = [&](iosfix::DbKind k) { return dir + "/" + iosfix::dbLocation(k, ios).fileName; };
    std::string s = p(iosfix::DbKind::Sms), a = p(iosfix::DbKind::AddressBook),
                c = p(iosfix::DbKind::CallHistory), e = p(iosfix::DbKind::Calendar);
    failures += DbsifterTSF_FlushSMS(s.data(), 0) != 0;
    failures += DbsifterTSF_FlushContact(a.data(), 0) != 0;
    failures += DbsifterTSF_FlushCallLog(c.data(), 0) != 0;
    failures += DbsifterTSF_FlushCalendar(e.data(), 0) != 0;
    return failures;
}

void makeReadOnly(const std::string& dir) {
    for (auto& [name, state] : dbstest::snapshot(dir))
        ::chmod((dir + "/" + name).c_str(), 0444);
    ::chmod(dir.c_str(), 0555);
}

TEST(ReadOnlyLoad, FilesAndFolderStayByteForByteTheSame) {
    for (bool walTail : {false, true}) {
        SCOPED_TRACE(walTail ? "with -wal" : "without -wal");
        dbstest::TempDir dir;
        iosfix::Options opt;
        opt.count = 40;
        opt.walTail = walTail;
        ASSERT_TRUE(iosfix::writeAll(dir.path(), opt));
        // Backups and file relay archives carry no -shm: the reader must not add one.
        for (const char* f : {"sms.db-shm", "AddressBook.sqlitedb-shm"})
            ::unlink(dir.file(f).c_str());
        makeReadOnly(dir.path());
        const auto before = dbstest::snapshot(dir.path());
        struct stat folderBefore, folderAfter;
        ASSERT_EQ(::stat(dir.path().c_str(), &folderBefore), 0);
        EXPECT_EQ(flushAll(dir.path(), opt.iosVersion), 0);
        EXPECT_EQ(DbsifterTSF_GetSMSCount(), 40);
        EXPECT_EQ(DbsifterTSF_GetContactCount(), 40);
        EXPECT_EQ(DbsifterTSF_GetCallLogCount(), 40);
        EXPECT_EQ(DbsifterTSF_GetRemindersCount(), 40);
        const auto after = dbstest::snapshot(dir.path());
        ASSERT_EQ(::stat(dir.path().c_str(), &folderAfter), 0);
        // Nothing was created and removed again inside the folder either.
        EXPECT_EQ(folderBefore.st_mtim.tv_sec, folderAfter.st_mtim.tv_sec);
        EXPECT_EQ(folderBefore.st_mtim.tv_nsec, folderAfter.st_mtim.tv_nsec);
        ASSERT_EQ(before.size(), after.size());
        for (auto& [name, state] : before) {
            ASSERT_TRUE(after.count(name)) << name;
            EXPECT_TRUE(after.at(name) == state) << name << " changed";
        }
    }
}

class DamagedFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        iosfix::Options opt;
        opt.count = 300;
        good = dir.file("good.db");
        ASSERT_TRUE(iosfix::writeSmsDb(good, opt));
        bytes = dbstest::readFile(good);
        ASSERT_GT(bytes.size(), 8192u);
    }
    // Loads path as messages after a good load, so a failure must also
    // empty the list it replaces.
    int loadAfterGood(const std::string& path) {
        EXPECT_EQ(DbsifterTSF_FlushSMS(good.data(), 0), 0);
        EXPECT_EQ(DbsifterTSF_GetSMSCount(), 300);
        std::string p = path;
        return DbsifterTSF_FlushSMS(p.data(), 0);
    }
    void expectEmpty() {
        EXPECT_EQ(DbsifterTSF_GetSMSCount(), 0);
        SMessage* head = reinterpret_cast<SMessage*>(1);
        DbsifterTSF_GetSMS(&head);
        EXPECT_EQ(head, nullptr);
    }
    dbstest::TempDir dir;
    std::string good, bytes;
};

TEST_F(DamagedFiles, MissingEmptyForeignAndCutFilesGiveAnEmptyList) {
    const std::string bad = dir.file("bad.db");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"empty", ""},
        {"text", "BEGIN:VCARD\nFN:Not a database\nEND:VCARD\n"},
        {"header only", bytes.substr(0, 100)},
        {"first page", bytes.substr(0, 4096)},
        {"half", bytes.substr(0, bytes.size() / 2)},
        {"zeroed schema page",
         std::string(bytes.substr(0, 100)) + std::string(4000, '\0') + bytes.substr(4100)},
    };
    for (auto& [what, content] : cases) {
        SCOPED_TRACE(what);
        dbstest::writeFile(bad, content);
        EXPECT_EQ(loadAfterGood(bad), -1);
        expectEmpty();
    }
    EXPECT_EQ(loadAfterGood(dir.file("missing.db")), -1);
    expectEmpty();
    EXPECT_EQ(loadAfterGood(dir.path()), -1); // a folder
    expectEmpty();
    EXPECT_EQ(DbsifterTSF_FlushSMS(nullptr, 0), -1);
    // A sound database of another kind.
    EXPECT_EQ(DbsifterTSF_FlushContact(good.data(), 0), -1);
    EXPECT_EQ(DbsifterTSF_GetContactCount(), 0);
    EXPECT_EQ(DbsifterTSF_FlushCalendar(good.data(), 0), -1);
    EXPECT_EQ(DbsifterTSF_FlushCallLog(good.data(), 0), -1);
}

TEST_F(DamagedFiles, ScribbledPagesNeverCrashAndFailuresLeaveNothing) {
    const std::string bad = dir.file("bad.db");
    for (size_t page = 1; page * 4096 < bytes.size(); page += 2) {
        std::string damaged = bytes;
        for (size_t i = page * 4096; i < (page + 1) * 4096 && i < damaged.size(); ++i)
            damaged[i] = char((i * 131) ^ 0x5a);
        dbstest::writeFile(bad, damaged);
        const int rc = loadAfterGood(bad);
        if (rc != 0)
            expectEmpty();
    }
}

TEST(PartialSchemas, WhatTheTablesHoldIsRead) {
    dbstest::TempDir dir;
    const std::string path = dir.file("min.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE message (ROWID INTEGER PRIMARY KEY, text TEXT);"
                           "INSERT INTO message VALUES (7, 'only text');"
                           "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT);"
                           "INSERT INTO ABPerson VALUES (3, 'Ada');"
                           "CREATE TABLE ZCALLRECORD (Z_PK INTEGER PRIMARY KEY, ZADDRESS BLOB);"
                           "INSERT INTO ZCALLRECORD VALUES (5, CAST('+4930123' AS BLOB));"
                           "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY, summary TEXT);"
                           "INSERT INTO CalendarItem VALUES (9, 'Talk');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    std::string p = path;
    ASSERT_EQ(DbsifterTSF_FlushSMS(p.data(), 0), 0);
    SMessage* m = nullptr;
    DbsifterTSF_GetSMS(&m);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(sameText(m->smsId, "7"));
    EXPECT_TRUE(sameText(m->body, "only text"));
    EXPECT_TRUE(sameText(m->threadId, "m7")); // kept: the job skips only a missing thread
    EXPECT_TRUE(sameText(m->date, ""));
    ASSERT_EQ(DbsifterTSF_FlushContact(p.data(), 0), 0);
    ABPerson* a = nullptr;
    DbsifterTSF_GetContact(&a);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(sameText(a->contactId, "3"));
    EXPECT_TRUE(sameText(a->firstName, "Ada"));
    ASSERT_EQ(DbsifterTSF_FlushCallLog(p.data(), 0), 0);
    CallHistory* c = nullptr;
    DbsifterTSF_GetCallLog(&c);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(sameText(c->number, "+4930123"));
    EXPECT_TRUE(sameText(c->type, "3"));
    ASSERT_EQ(DbsifterTSF_FlushCalendar(p.data(), 0), 0);
    Calendar* e = nullptr;
    DbsifterTSF_GetReminders(&e);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(sameText(e->eventId, "9"));
    EXPECT_TRUE(sameText(e->title, "Talk"));
    EXPECT_TRUE(sameText(e->hasAlarm, "0"));
}

// The window counts one source on its own thread while a copy reads another:
// each thread loads into lists of its own, so neither sees the other's
// records nor has them freed under it.
TEST(ThreadLists, TwoThreadsLoadingAtOnceEachKeepTheirOwnRecords) {
    dbstest::TempDir dir;
    std::string paths[2] = {dir.file("a.db"), dir.file("b.db")};
    const int counts[2] = {120, 30};
    for (int i = 0; i < 2; ++i) {
        iosfix::Options opt;
        opt.count = counts[i];
        opt.seed = uint32_t(i + 1);
        ASSERT_TRUE(iosfix::writeSmsDb(paths[i], opt));
    }
    std::atomic<int> wrong{0};
    auto loadOften = [&](int i) {
        std::string p = paths[i];
        for (int round = 0; round < 25; ++round) {
            if (DbsifterTSF_FlushSMS(p.data(), 0) != 0 || DbsifterTSF_GetSMSCount() != counts[i]) {
                ++wrong;
                continue;
            }
            int walked = 0;
            SMessage* m = nullptr;
            DbsifterTSF_GetSMS(&m);
            for (; m; m = m->next)
                ++walked;
            wrong += walked != counts[i];
        }
    };
    std::thread other(loadOften, 1);
    loadOften(0);
    other.join();
    EXPECT_EQ(wrong.load(), 0);
    // The other thread's lists went with it; this thread's are still whole.
    EXPECT_EQ(DbsifterTSF_GetSMSCount(), counts[0]);
}

} // namespace
