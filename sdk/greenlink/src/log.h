// Internal side of the library's log.
#pragma once

#include <string>

#include "greenlink_log.h"

namespace greenlink {

// Points the log at another file and forgets the open one (closing it when
// the log opened it). The next entry creates the file anew. Production keeps
// the fixed path.
void setLogPathForTests(const std::string& path);
std::string logPath();

} // namespace greenlink
