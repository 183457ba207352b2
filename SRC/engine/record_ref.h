// A personal record in hand, whichever of the four kinds it is: the engine
// walks and writes records without caring which list they came from.
#pragma once

#include <variant>

#include "kind.h"
#include "records.h"

namespace kestrova {

using RecordRef = std::variant<std::monostate, ABPerson*, SMessage*, CallHistory*, Calendar*>;

inline bool isEmpty(const RecordRef& record) {
    return std::holds_alternative<std::monostate>(record);
}

// The record after this one in its list, or an empty reference.
RecordRef nextRecord(const RecordRef& record);

// What the destination needs of a record before it can store it: an id, a
// conversation, a number.
bool transferable(const RecordRef& record);

// Whether a text of the record held a NUL byte that its producer replaced.
bool nulReplaced(const RecordRef& record);

} // namespace kestrova
