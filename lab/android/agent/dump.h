// The whole phone as canonical JSON, so a test can compare a destination
// with its source: contacts, messages, call log, calendar, every file below
// sdcard with its SHA-256, and the installed apps. Phone-made ids are left
// out, every list is sorted by its content, object keys are sorted, and
// absent or empty values are left out, so two phones holding the same data
// dump to the same text.
#pragma once

#include <string>

namespace lab {

// Top-level keys: "apps", "calendar", "calls", "contacts", "files",
// "messages". A file is {"path" (below sdcard), "kind" (photo, music, video
// or other), "size", "sha256"}; lists of records are sorted by their JSON
// text, files by path, apps by package. The agent's own package is left out.
std::string dumpPhone(const std::string& phoneDir);

// Hex SHA-256 of a file's bytes, or "" when it cannot be read.
std::string sha256File(const std::string& path);

} // namespace lab
