// The folder of this user's scratch files, shared by the libraries and the
// program: <base>/kestrova-<uid>, where <base> is $XDG_RUNTIME_DIR when it is
// a private folder of this user's, otherwise the temporary folder ($TMPDIR,
// or /tmp).
#pragma once

#include <string>

namespace kestrova_common {

// The temporary folder: $TMPDIR when it is an absolute path, else "/tmp";
// without a trailing "/".
std::string temporaryBase();

// <base>/kestrova-<uid>, made with mode 0700 when missing. A name taken by
// something that is not this user's own private folder (a link, a file,
// another user's folder) is never used: a fresh private folder with a name
// nobody can guess is made beside it instead (one per process). Empty when
// nothing could be made.
std::string privateUserFolder();

} // namespace kestrova_common
