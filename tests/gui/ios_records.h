// An iPhone's databases (on a virtual iPhone's folder or inside an iTunes
// backup) and an Android lab phone's dump, reduced to comparable keys: one
// "field|field|..." text per record, sorted, in the form the destination
// stores the same fields.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace iosrecords {

// Contacts as "first name|last name|mobile", as an Android phone keeps them.
QStringList contacts(const QString& addressBookDb);
// Messages as "address|date|type|body".
QStringList messages(const QString& smsDb);
// Calendar events as "title|start|end".
QStringList events(const QString& calendarDb);

// The same keys from a lab phone's dump: the fields named, in that order.
QStringList dumpKeys(const QJsonObject& dump, const QString& kind, const QStringList& fields);

// The file of an iTunes backup that holds domain-relativePath (its name is the
// SHA-1 of that text, in a two-letter folder in newer backups), or empty.
QString backupFile(const QString& backupFolder, const QString& domainPath);

} // namespace iosrecords
