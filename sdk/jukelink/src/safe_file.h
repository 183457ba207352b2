// Opening the files of a backup folder, which this program did not create
// and which anyone able to write there may have shaped: no link is followed
// below the folder, and only regular files are opened (a FIFO would block a
// read for ever, a device could be anything).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "log.h"

namespace jukelink {

// A name relative to a backup folder: not empty, not absolute, no empty,
// "." or ".." component, shorter than a path may be.
bool isSafeRelativeName(const std::string& relative);

enum class EntryKind { Missing, Regular, Other };

// What lies at relative below folder, looked at without following a link
// and without opening it (a link or special file is Other).
EntryKind entryInside(const std::string& folder, const std::string& relative,
                      int64_t* size = nullptr);

// Opens relative below folder for reading: a blocking, close-on-exec
// descriptor of a regular file, and its size. -1 with the reason (NotFound,
// UnsafeFile, Io, InvalidArgument) otherwise. The folder itself may be a
// link (backups are often moved to another disk and linked back).
int openInside(const std::string& folder, const std::string& relative, int64_t* size, Error* err);

// Reads a whole file below folder of at most maxBytes (TooLarge beyond).
bool readInside(const std::string& folder, const std::string& relative, size_t maxBytes,
                std::string* out, Error* err);

// Copies a file below folder to dst (see copyFromFd).
bool copyInside(const std::string& folder, const std::string& relative, const std::string& dst,
                Error* err);

} // namespace jukelink
