// File names the library gives media files on a phone.
#pragma once

#include <string>

namespace greenlink {

// The n-th alternative of a name that is taken (n >= 1): "IMG_0001.jpg" ->
// "IMG_0001(1).jpg"; a name without an extension (or whose only "." is its
// first character) gets the number at its end: "notes" -> "notes(1)".
std::string clashCandidate(const std::string& name, int n);

// A name the phone can store as one file in its media folder: "/" and ";"
// (which would end the command text) become "_", "." and ".." become "_",
// an empty name becomes "unnamed", and names longer than 255 bytes are cut
// before their extension.
std::string phoneFileName(const std::string& name);

// The phone path the agent reports, as adb reaches it: below the phone's
// external storage it becomes "/sdcard" + the rest; other paths stay as they
// are.
std::string adbPathForPhonePath(const std::string& phonePath, const std::string& externalStorage);

} // namespace greenlink
