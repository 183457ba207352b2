// Resolving AFC paths below the phone's folder without ever leaving it.
#pragma once

#include <optional>
#include <string>

namespace viphone {

// The folder-relative form of an AFC path ("" for the root), or nothing when
// the path climbs above the root. "." and empty components are dropped.
std::optional<std::string> normaliseAfcPath(const std::string& path);

// root + relative, refusing any symbolic link among the parent folders, so a
// link inside the tree cannot lead a request out of it. The last component
// itself may be a link (it is reported, not followed).
std::optional<std::string> resolveBelowRoot(const std::string& root, const std::string& afcPath);

} // namespace viphone
