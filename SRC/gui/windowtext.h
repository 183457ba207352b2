// Small pure rules of the main window: how a backup's date is shown, which
// job mode a pair of device kinds makes, and the kinds' shown names.
#pragma once

#include "kind.h"

#include <QString>
#include <cstdint>

namespace windowtext {

// "2024-05-01T10:00:00Z" -> "2024/05/01 10:00:00": every "T" and "Z" removed,
// every "-" made "/". A space takes the place of the "T" so date and time
// stay apart.
QString backupDateText(const QString& date);

// The job mode for a source and destination kind (1001, 1002, 9000), or -1
// for a pair no job exists for.
int32_t directionCode(int32_t sourceType, int32_t destinationType);

// A kind's label in the user's language: "Contacts", "Kontakte".
QString kindLabel(kestrova::Kind kind);

} // namespace windowtext
