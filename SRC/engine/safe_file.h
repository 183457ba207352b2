// Private copies of files the program did not create (a backup's): made
// from an open descriptor, so what is copied is what was checked.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova {

// Copies every byte of an open file into a new private file at `path`
// (mode 0600, never following a link there). False on any error, with
// nothing left at `path`.
bool copyToPrivateFile(int fd, const std::string& path);

} // namespace kestrova
