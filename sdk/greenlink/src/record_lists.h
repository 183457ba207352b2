// The library's own view of its record lists, beside the exported C calls.
#pragma once

#include <cstdint>

namespace greenlink {

// The generation of the message list and of the call-log list (see
// RecordList::generation): equal generations mean the same records.
uint64_t smsListGeneration();
uint64_t callLogListGeneration();

} // namespace greenlink
