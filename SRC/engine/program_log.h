// The programs' side of the one log file (kestrova_log.h) that the four
// libraries write into: Qt's messages of the program join it, and the
// programs can say where it is.
#pragma once

#include <QString>

namespace kestrova {

// From now on Qt's messages (qDebug, qWarning, ...) go into the log, each as
// one entry "<program>: <level>: <text>"; warnings and worse are also copied
// to standard error, as Qt prints them by default. Opens the log.
void installProgramLog();

// Where the log is (or would be): $XDG_STATE_HOME/kestrova/kestrova.log.
QString logFilePath();

} // namespace kestrova
