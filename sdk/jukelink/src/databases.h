// The four personal-data databases of a backup: where they lie in the
// manifest, and their copies for the parser.
#pragma once

#include <string>
#include <vector>

#include "manifest.h"

namespace jukelink {

enum class DbKind { Contacts, Sms, CallLog, Calendar };

struct DbPlace {
    const char* domain;
    const char* relativePath;
    const char* fileName; // the name the parser knows it by
};

// Places of one kind, the preferred first (the call history moved to
// CallHistory.storedata in iOS 8; older phones kept call_history.db, in
// WirelessDomain on some versions).
const std::vector<DbPlace>& dbPlaces(DbKind kind);
const char* dbKindName(DbKind kind);

// True for the databases and their -wal files.
bool isDatabaseFile(const std::string& domain, const std::string& relativePath);

// Removes the copies of the kind's databases (every name, with their -wal,
// -shm and -journal files) from tempDir.
void removeDatabaseCopies(const std::string& tempDir, DbKind kind);

// Copies the kind's database of the backup in dir (with its -wal file when
// the backup has one) into tempDir under its own name, and sets *copy to the
// copy's path. Stale copies of every possible name (and their -wal and -shm)
// are removed first, so a -wal of an earlier backup is never applied to this
// one. False with the reason when the backup has no such database (NotFound),
// it is a link or special file (UnsafeFile) or the copy fails; *copy then
// names a file that does not exist.
bool copyDatabase(const std::string& dir, const Manifest& manifest, DbKind kind,
                  const std::string& tempDir, std::string* copy, Error* err);

} // namespace jukelink
