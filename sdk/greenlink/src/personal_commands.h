// Command texts of the personal-data writes (whole values, never cut), and
// what the library keeps about an agent's record reads.
#pragma once

#include <string>

#include "records.h"

namespace greenlink {

// Records the library asks for in one range when it reads a kind whole.
constexpr int kRangeRecords = 500;

// The agent at this position was installed afresh: whether it reads ranges
// is found out again on its next read.
void forgetAgentPages(int deviceindex);

std::string contactDisplayName(const ABPerson* person);
std::string buildSendSmsCommand(const SMessage* message);
std::string buildAddPerson3Command(const ABPerson* person);
std::string buildAddCallHistoryCommand(const CallHistory* entry);
std::string buildAddCalenderCommand(const Calendar* event);
// "" when nothing is to be sent (empty value or id, a lone double quote,
// a position without an update key).
std::string buildUpdatePersonCommand(const char* contactId, int field, const char* value);

} // namespace greenlink
