#include "ios_records.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonArray>

#include "dbsifter.h"

namespace iosrecords {
namespace {

QString text(const char* value) { return value ? QString::fromUtf8(value) : QString(); }

QByteArray pathBuffer(const QString& path) {
    QByteArray buffer = path.toUtf8();
    buffer.resize(1024);
    return buffer;
}

} // namespace

QStringList contacts(const QString& addressBookDb) {
    QByteArray db = pathBuffer(addressBookDb);
    QStringList keys;
    if (DbsifterTSF_FlushContact(db.data(), 0) != 0)
        return keys;
    ABPerson* p = nullptr;
    DbsifterTSF_GetContact(&p);
    for (; p; p = p->next)
        keys << text(p->firstName) + "|" + text(p->lastName) + "|" + text(p->mobile);
    keys.sort();
    return keys;
}

QStringList messages(const QString& smsDb) {
    QByteArray db = pathBuffer(smsDb);
    QStringList keys;
    if (DbsifterTSF_FlushSMS(db.data(), 0) != 0)
        return keys;
    SMessage* m = nullptr;
    DbsifterTSF_GetSMS(&m);
    for (; m; m = m->next)
        keys << text(m->address) + "|" + text(m->date) + "|" + text(m->type) + "|" + text(m->body);
    keys.sort();
    return keys;
}

QStringList events(const QString& calendarDb) {
    QByteArray db = pathBuffer(calendarDb);
    QStringList keys;
    if (DbsifterTSF_FlushCalendar(db.data(), 0) != 0)
        return keys;
    Calendar* e = nullptr;
    DbsifterTSF_GetReminders(&e);
    for (; e; e = e->next)
        keys << text(e->title) + "|" + text(e->start) + "|" + text(e->end);
    keys.sort();
    return keys;
}

QStringList dumpKeys(const QJsonObject& dump, const QString& kind, const QStringList& fields) {
    QStringList keys;
    for (const QJsonValue& v : dump.value(kind).toArray()) {
        QStringList parts;
        for (const QString& f : fields)
            parts << v.toObject().value(f).toString();
        keys << parts.join('|');
    }
    keys.sort();
    return keys;
}

QString backupFile(const QString& backupFolder, const QString& domainPath) {
    const QString id = QString::fromLatin1(
        QCryptographicHash::hash(domainPath.toUtf8(), QCryptographicHash::Sha1).toHex());
    for (const QString& candidate :
         {backupFolder + "/" + id.left(2) + "/" + id, backupFolder + "/" + id})
        if (QFileInfo(candidate).isFile())
            return candidate;
    return {};
}

} // namespace iosrecords
