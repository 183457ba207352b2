// Threads a virtual phone starts per connection or stream and never joins.
// They are counted, so a phone told to stop can let them end (each joins
// the threads it started itself) before the process leaves.
#pragma once

#include <functional>

namespace lab {

// Runs work on a detached thread that is counted until work returns.
void startCounted(std::function<void()> work);
// Waits up to ms milliseconds for every counted thread to end; true when
// all have.
bool waitCountedEnded(int ms);

} // namespace lab
