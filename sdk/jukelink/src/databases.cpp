#include "databases.h"

#include <unistd.h>

#include "backup_file.h"
#include "fsutil.h"
#include "safe_file.h"

namespace jukelink {

const std::vector<DbPlace>& dbPlaces(DbKind kind) {
    static const std::vector<DbPlace> contacts = {
        {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", "AddressBook.sqlitedb"}};
    static const std::vector<DbPlace> sms = {{"HomeDomain", "Library/SMS/sms.db", "sms.db"}};
    static const std::vector<DbPlace> calls = {
        {"HomeDomain", "Library/CallHistoryDB/CallHistory.storedata", "CallHistory.storedata"},
        {"WirelessDomain", "Library/CallHistory/call_history.db", "call_history.db"},
        {"HomeDomain", "Library/CallHistory/call_history.db", "call_history.db"}};
    static const std::vector<DbPlace> calendar = {
        {"HomeDomain", "Library/Calendar/Calendar.sqlitedb", "Calendar.sqlitedb"}};
    switch (kind) {
    case DbKind::Contacts:
        return contacts;
    case DbKind::Sms:
        return sms;
    case DbKind::CallLog:
        return calls;
    case DbKind::Calendar:
        break;
    }
    return calendar;
}

const char* dbKindName(DbKind kind) {
    switch (kind) {
    case DbKind::Contacts:
        return "contacts";
    case DbKind::Sms:
        return "messages";
    case DbKind::CallLog:
        return "call history";
    case DbKind::Calendar:
        break;
    }
    return "calendar";
}

bool isDatabaseFile(const std::string& domain, const std::string& relativePath) {
    for (DbKind k : {DbKind::Contacts, DbKind::Sms, DbKind::CallLog, DbKind::Calendar}) {
        for (const DbPlace& p : dbPlaces(k)) {
            if (domain == p.domain && (relativePath == p.relativePath ||
                                       relativePath == std::string(p.relativePath) + "-wal"))
                return true;
        }
    }
    return false;
}

namespace {

const ManifestEntry* findEntry(const Manifest& m, const char* domain, const std::string& path) {
    for (const ManifestEntry& e : m.files) {
        if (e.domain == domain && e.relativePath == path)
            return &e;
    }
    return nullptr;
}

} // namespace

void removeDatabaseCopies(const std::string& tempDir, DbKind kind) {
    for (const DbPlace& p : dbPlaces(kind)) {
        std::string base = joinPath(tempDir, p.fileName);
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            unlink((base + suffix).c_str());
    }
}

bool copyDatabase(const std::string& dir, const Manifest& manifest, DbKind kind,
                  const std::string& tempDir, std::string* copy, Error* err) {
    const std::vector<DbPlace>& places = dbPlaces(kind);
    *err = Error();
    *copy = joinPath(tempDir, places.front().fileName);
    if (tempDir.empty() || !isDirectory(tempDir))
        return err->fail(Category::InvalidArgument,
                         "the temp folder is not set or is not a folder");
    removeDatabaseCopies(tempDir, kind);
    for (const DbPlace& p : places) {
        const ManifestEntry* db = findEntry(manifest, p.domain, p.relativePath);
        if (db == nullptr)
            continue;
        bool present = false;
        std::string name = locateBackupFile(dir, manifest.format, db->fileID, &present);
        if (!present) {
            err->fail(Category::NotFound, std::string("the backup lists ") + p.relativePath +
                                              " but its file " + db->fileID + " is missing");
            continue;
        }
        *copy = joinPath(tempDir, p.fileName);
        if (!extractEntry(dir, name, *db, manifest.keys, *copy, err))
            return false;
        const ManifestEntry* wal =
            findEntry(manifest, p.domain, std::string(p.relativePath) + "-wal");
        bool walPresent = false;
        std::string walName =
            wal ? locateBackupFile(dir, manifest.format, wal->fileID, &walPresent) : "";
        if (walPresent && !extractEntry(dir, walName, *wal, manifest.keys, *copy + "-wal", err)) {
            unlink(copy->c_str());
            return false;
        }
        return true;
    }
    if (!err->failed())
        err->fail(Category::NotFound,
                  std::string("the backup holds no ") + dbKindName(kind) + " database");
    return false;
}

} // namespace jukelink
