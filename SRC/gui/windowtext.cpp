#include "windowtext.h"

#include <QCoreApplication>

namespace windowtext {

QString backupDateText(const QString& date) {
    QString text = date.trimmed();
    text.replace(QLatin1Char('T'), QLatin1Char(' '));
    text.remove(QLatin1Char('Z'));
    text.replace(QLatin1Char('-'), QLatin1Char('/'));
    return text.trimmed();
}

int32_t directionCode(int32_t sourceType, int32_t destinationType) {
    struct Pair {
        int32_t source, destination, code;
    };
    static const Pair kPairs[] = {{1001, 1001, 2001}, {1001, 1002, 2002}, {1002, 1001, 2003},
                                  {1002, 1002, 2004}, {9000, 1001, 2005}, {9000, 1002, 2006}};
    for (const Pair& p : kPairs)
        if (p.source == sourceType && p.destination == destinationType)
            return p.code;
    return -1;
}

QString kindLabel(kestrova::Kind kind) {
    return QCoreApplication::translate("Kind", kestrova::kindName(kind));
}

} // namespace windowtext
