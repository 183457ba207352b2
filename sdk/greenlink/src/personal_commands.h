// Command texts of the personal-data writes (whole values, never cut).
#pragma once

#include <string>

#include "records.h"

namespace greenlink {

std::string contactDisplayName(const ABPerson* person);
std::string buildSendSmsCommand(const SMessage* message);
std::string buildAddPerson3Command(const ABPerson* person);
std::string buildAddCallHistoryCommand(const CallHistory* entry);
std::string buildAddCalenderCommand(const Calendar* event);
// "" when nothing is to be sent (empty value or id, a lone double quote,
// a position without an update key).
std::string buildUpdatePersonCommand(const char* contactId, int field, const char* value);

} // namespace greenlink
