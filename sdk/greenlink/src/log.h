// Internal side of the library's log.
#pragma once

#include <string>

#include "greenlink_log.h"

namespace greenlink {

// Points the process's log at another file (its folder must exist) and
// closes the open one; the next entry opens the new file.
void setLogPathForTests(const std::string& path);
std::string logPath();

} // namespace greenlink
