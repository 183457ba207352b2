// Opening files inside a folder the program did not create (a backup) so
// that nothing outside it can be reached: no links are followed, and only
// plain files open.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova {

enum class SafeOpen { Opened, Missing, Unsafe };

struct SafeFile {
    int fd = -1;
    SafeOpen state = SafeOpen::Missing;
    int64_t size = 0;
};

// Opens root/relative for reading. Every component of `relative` is opened
// without following links; ".." and absolute paths are refused; the last
// component must be a plain file (a FIFO, device or folder is Unsafe, and a
// FIFO never blocks the caller).
SafeFile openInside(const std::string& root, const std::string& relative);

// Copies every byte of an open file into a new private file at `path`
// (mode 0600, never following a link there). False on any error, with
// nothing left at `path`.
bool copyToPrivateFile(int fd, const std::string& path);

} // namespace kestrova
