// Every file of one backup written out as plain files, for people who want
// their data out of a backup before they wipe a phone: <out>/<domain>/<path>.
#pragma once

#include <cstdint>
#include <string>

#include "log.h"

namespace jukelink {

struct ExportResult {
    int64_t written = 0;
    int64_t failed = 0;
};

// The whole export. password null: an unencrypted backup (an encrypted one
// is refused with Encrypted). out must be empty or missing (it is made,
// 0700). A name from the manifest that would land outside out (absolute,
// "..", an empty component) is refused and counted as failed, as is every
// file that cannot be read or written; each is logged. False with the
// reason when nothing could begin (not a backup, wrong password, out not
// empty or not writable, an unreadable manifest).
bool exportBackup(const std::string& folder, const char* password, const std::string& out,
                  ExportResult* result, Error* err);

// True when domain/path may become a path below the output folder.
bool isSafeExportName(const std::string& domain, const std::string& path);

} // namespace jukelink
