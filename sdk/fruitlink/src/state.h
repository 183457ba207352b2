// Module state shared by the exported operations.
#pragma once

#include <atomic>

namespace fruitlink {

// 1 = the user asked to stop; cleared by each database fetch.
extern std::atomic<int> g_iphone_flush_abort;

} // namespace fruitlink
