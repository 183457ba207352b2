// A listed file of a backup taken out of the folder: copied as it is from a
// plain backup, decrypted with its own key from an encrypted one. Decrypted
// bytes are only ever written into the reader's private folder (or where a
// caller names, for the export tool).
#pragma once

#include <cstdint>
#include <string>

#include "keybag.h"
#include "log.h"
#include "manifest.h"

namespace jukelink {

// Writes the file named name (relative to dir) of entry e into dst: a new
// file, mode 0600, an old one of that name replaced and never followed.
// keys null: a plain copy. Otherwise e's key is unwrapped and the file
// decrypted, cut to the size the manifest records. A failure leaves no dst.
bool extractEntry(const std::string& dir, const std::string& name, const ManifestEntry& e,
                  const ClassKeys* keys, const std::string& dst, Error* err);

// Decrypts the file into a new file of the private folder tempDir, opens it
// for reading and removes its name at once: the descriptor is all that is
// left, and the bytes vanish when it is closed. -1 with the reason.
int openDecrypted(const std::string& dir, const std::string& name, const ManifestEntry& e,
                  const ClassKeys& keys, const std::string& tempDir, int64_t* size, Error* err);

} // namespace jukelink
