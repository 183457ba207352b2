#include "folder_destination.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimeZone>

#include <libical/ical.h>

#include <set>

#include "source.h"

namespace kestrova {

namespace {

constexpr int kChunk = 1 << 20;

const char* const kReadme =
    "This folder holds a copy of a phone's data, written by Kestrova.\n"
    "\n"
    "contacts.vcf    Contacts as vCard 3.0. Open it on the new phone (or import it in\n"
    "                the Contacts app: Settings > Import) and every contact is added.\n"
    "calendar.ics    Calendar events as iCalendar, with their time zones, recurrences\n"
    "                and alarms. Open it in a calendar app, or import it at\n"
    "                calendar.google.com (Settings > Import & export).\n"
    "messages.ndjson Text messages, one per line, in the format of the free app\n"
    "                \"SMS Import / Export\" (F-Droid). That app imports a ZIP file that\n"
    "                holds messages.ndjson: put it in a ZIP, copy it to the phone and\n"
    "                choose Import messages (the app must be the default SMS app then).\n"
    "calls.json      The call log in the same app's format: choose Import call log.\n"
    "Photos/, Videos/, Music/\n"
    "                The files as they were, with their own names. Copy them to the\n"
    "                phone's Pictures, Movies and Music folders.\n"
    "Apps/           Application packages (.apk) as they were installed.\n"
    "\n"
    "Exporting again into this folder adds only what is not here yet.\n";

std::string text(const char* s) { return s ? s : ""; }

// vCard text values: backslash, comma, semicolon and line ends escaped.
std::string vcardEscape(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\' || c == ',' || c == ';')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

std::string vcardUnescape(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += next == 'n' || next == 'N' ? '\n' : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

// Lines longer than 75 bytes are folded, never inside a UTF-8 character.
std::string folded(const std::string& line) {
    std::string out;
    size_t start = 0, limit = 75;
    while (line.size() - start > limit) {
        size_t cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out += line.substr(start, cut - start) + "\r\n ";
        start = cut;
        limit = 74; // the leading blank counts
    }
    return out + line.substr(start) + "\r\n";
}

void property(std::string& card, const char* name, const char* value) {
    if (value && *value)
        card += folded(std::string(name) + ":" + vcardEscape(value));
}

std::string vcard(const ABPerson* p) {
    std::string name = text(p->firstName);
    if (p->lastName && *p->lastName)
        name += (name.empty() ? "" : " ") + text(p->lastName);
    std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    card += folded("FN:" + vcardEscape(name));
    card += folded("N:" + vcardEscape(text(p->lastName)) + ";" + vcardEscape(text(p->firstName)) +
                   ";;;");
    property(card, "NICKNAME", p->nickName);
    property(card, "TEL;TYPE=CELL", p->mobile);
    property(card, "TEL;TYPE=HOME", p->homeNumber);
    property(card, "TEL;TYPE=WORK", p->workNumber);
    property(card, "TEL;TYPE=HOME,FAX", p->homeFax);
    property(card, "TEL;TYPE=WORK,FAX", p->workFax);
    property(card, "EMAIL;TYPE=INTERNET,HOME", p->homeEmail);
    property(card, "EMAIL;TYPE=INTERNET,WORK", p->workEmail);
    property(card, "URL", p->homePage);
    property(card, "BDAY", p->birthday);
    property(card, "NOTE", p->note);
    property(card, "CATEGORIES", p->groupName);
    if ((p->organization && *p->organization) || (p->department && *p->department))
        card += folded("ORG:" + vcardEscape(text(p->organization)) + ";" +
                       vcardEscape(text(p->department)));
    if (p->homeAddress && *p->homeAddress)
        card += folded("ADR;TYPE=HOME:;;" + vcardEscape(p->homeAddress) + ";;;;");
    if (p->workAddress && *p->workAddress)
        card += folded("ADR;TYPE=WORK:;;" + vcardEscape(p->workAddress) + ";;;;");
    return card + "END:VCARD\r\n";
}

// The cards of a vCard file, each as its text.
std::vector<std::string> splitCards(const std::string& file) {
    std::vector<std::string> cards;
    size_t at = 0;
    while ((at = file.find("BEGIN:VCARD", at)) != std::string::npos) {
        const size_t end = file.find("END:VCARD", at);
        if (end == std::string::npos)
            break;
        size_t stop = end + 9;
        while (stop < file.size() && (file[stop] == '\r' || file[stop] == '\n'))
            ++stop;
        cards.push_back(file.substr(at, end + 9 - at) + "\r\n");
        at = stop;
    }
    return cards;
}

// The name, numbers and addresses of one card: what its identity needs.
struct CardFields {
    std::string name;
    std::vector<std::string> numbers, mails;
};

CardFields readCard(const std::string& card) {
    // Unfold: a line break followed by a blank continues the line.
    std::string unfolded;
    for (size_t i = 0; i < card.size(); ++i) {
        if (card[i] == '\r')
            continue;
        if (card[i] == '\n' && i + 1 < card.size() && (card[i + 1] == ' ' || card[i + 1] == '\t')) {
            ++i;
            continue;
        }
        unfolded += card[i];
    }
    CardFields f;
    size_t pos = 0;
    while (pos < unfolded.size()) {
        size_t end = unfolded.find('\n', pos);
        if (end == std::string::npos)
            end = unfolded.size();
        const std::string line = unfolded.substr(pos, end - pos);
        pos = end + 1;
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = line.substr(0, line.find_first_of(";:"));
        const std::string value = vcardUnescape(line.substr(colon + 1));
        if (key == "FN")
            f.name = value;
        else if (key == "TEL")
            f.numbers.push_back(value);
        else if (key == "EMAIL")
            f.mails.push_back(value);
    }
    return f;
}

QJsonObject messageJson(const SMessage* m) {
    QJsonObject o;
    auto put = [&o](const char* key, const char* value) {
        if (value && *value)
            o.insert(QLatin1String(key), QString::fromUtf8(value));
    };
    put("address", m->address);
    put("body", m->body);
    put("date", m->date);
    put("type", m->type);
    put("read", m->read);
    return o;
}

QJsonObject callJson(const CallHistory* c) {
    QJsonObject o;
    auto put = [&o](const char* key, const char* value) {
        if (value && *value)
            o.insert(QLatin1String(key), QString::fromUtf8(value));
    };
    put("number", c->number);
    put("date", c->date);
    put("duration", c->duration);
    put("type", c->type);
    put("name", c->name);
    return o;
}

std::string compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

// An instant in ms since 1970 as a date-time: in UTC ("...Z") without a
// zone, else as the wall time of that zone (written with its TZID).
icaltimetype icalInstant(long long ms, const QTimeZone* zone) {
    const QDateTime t = zone ? QDateTime::fromMSecsSinceEpoch(ms, *zone)
                             : QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
    icaltimetype out = icaltime_from_string(
        t.toString(QStringLiteral("yyyyMMdd'T'HHmmss")).toLatin1().constData());
    if (!zone)
        out = icaltime_convert_to_zone(out, icaltimezone_get_utc_timezone());
    return out;
}

long long number(const char* value) { return value ? std::atoll(value) : 0; }

std::string veventText(const Calendar* e, std::set<std::string>* zones) {
    const std::string tzid = text(e->timeZone);
    const QTimeZone known(QByteArray::fromStdString(tzid));
    const bool zoned = !tzid.empty() && tzid != "UTC" && known.isValid();
    const QTimeZone* zone = zoned ? &known : nullptr;
    icalcomponent* event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    const long long start = number(e->start);
    const long long end = std::max(number(e->end), start);
    const std::string uid =
        "kestrova-" + std::to_string(start) + "-" +
        std::to_string(std::hash<std::string>{}(text(e->title) + text(e->rrule)));
    icalcomponent_add_property(event, icalproperty_new_uid(uid.c_str()));
    icalcomponent_add_property(event, icalproperty_new_dtstamp(icalInstant(start, nullptr)));
    icalcomponent_add_property(event, icalproperty_new_summary(text(e->title).c_str()));
    icalproperty* dtstart = icalproperty_new_dtstart(icalInstant(start, zone));
    icalproperty* dtend = icalproperty_new_dtend(icalInstant(end, zone));
    if (zone) {
        icalproperty_add_parameter(dtstart, icalparameter_new_tzid(tzid.c_str()));
        icalproperty_add_parameter(dtend, icalparameter_new_tzid(tzid.c_str()));
        zones->insert(tzid);
    }
    icalcomponent_add_property(event, dtstart);
    icalcomponent_add_property(event, dtend);
    if (e->location && *e->location)
        icalcomponent_add_property(event, icalproperty_new_location(e->location));
    if (e->description && *e->description)
        icalcomponent_add_property(event, icalproperty_new_description(e->description));
    if (e->rrule && *e->rrule) {
        const icalrecurrencetype rule = icalrecurrencetype_from_string(e->rrule);
        if (rule.freq != ICAL_NO_RECURRENCE)
            icalcomponent_add_property(event, icalproperty_new_rrule(rule));
    }
    if (text(e->hasAlarm) == "1") {
        icalcomponent* alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
        icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
        icalcomponent_add_property(alarm, icalproperty_new_description(text(e->title).c_str()));
        icaltriggertype trigger = {};
        trigger.time = icaltime_null_time();
        trigger.duration =
            icaldurationtype_from_int(-60 * static_cast<int>(number(e->alarmMinutes)));
        icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
        icalcomponent_add_component(event, alarm);
    }
    char* ical = icalcomponent_as_ical_string_r(event);
    std::string out = ical ? ical : "";
    free(ical);
    icalcomponent_free(event);
    return out;
}

// ms since 1970 of a DTSTART/DTEND: UTC, or the wall time of its TZID.
long long instantOf(icalproperty* p, icaltimetype (*get)(const icalproperty*)) {
    if (!p)
        return 0;
    const icaltimetype t = get(p);
    QTimeZone zone = QTimeZone::utc();
    if (icalparameter* tz = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER)) {
        const QTimeZone named(QByteArray(icalparameter_get_tzid(tz)));
        if (named.isValid())
            zone = named;
    }
    const QDateTime local(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), zone);
    return local.toMSecsSinceEpoch();
}

std::string fileSafeName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '/' || c == '\0')
            c = '_';
    if (out.empty() || out == "." || out == "..")
        out = "unnamed";
    if (out[0] == '.')
        out[0] = '_'; // a hidden name is how a file in the making looks
    return out;
}

// The first name not yet taken in a folder: name, name(1).ext, name(2).ext...
QString freeName(const QDir& folder, const std::string& name) {
    QString candidate = QString::fromStdString(name);
    const QString stem = QFileInfo(candidate).completeBaseName();
    const QString suffix = QFileInfo(candidate).suffix();
    for (int n = 1; folder.exists(candidate); ++n)
        candidate = stem + QStringLiteral("(%1)").arg(n) +
                    (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    return candidate;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes) {
    // QSaveFile writes beside the target and renames only a whole file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString FolderDestination::recordFile(Kind kind) {
    switch (kind) {
    case Kind::Contacts:
        return QStringLiteral("contacts.vcf");
    case Kind::Sms:
        return QStringLiteral("messages.ndjson");
    case Kind::CallLogs:
        return QStringLiteral("calls.json");
    case Kind::Calendar:
        return QStringLiteral("calendar.ics");
    default:
        return {};
    }
}

QString FolderDestination::fileFolder(Kind kind) {
    switch (kind) {
    case Kind::Photos:
        return QStringLiteral("Photos");
    case Kind::Videos:
        return QStringLiteral("Videos");
    case Kind::Music:
        return QStringLiteral("Music");
    case Kind::Apps:
        return QStringLiteral("Apps");
    default:
        return {};
    }
}

void FolderDestination::prepare() {
    QDir().mkpath(m_folder);
    writeFileAtomically(m_folder + QStringLiteral("/README.txt"), QByteArray(kReadme));
}

bool FolderDestination::alive() {
    const QFileInfo info(m_folder);
    return info.isDir() && info.isWritable();
}

bool FolderDestination::beginMessages(SmsPrompt&, bool* changed) {
    *changed = false; // a folder needs nobody's consent
    return true;
}

bool FolderDestination::load(Kind kind) {
    Entries& entries = m_entries[kind];
    if (entries.loaded)
        return true;
    QFile file(m_folder + QLatin1Char('/') + recordFile(kind));
    entries.items.clear();
    if (!file.exists()) {
        entries.loaded = true;
        return true;
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    switch (kind) {
    case Kind::Contacts:
        entries.items = splitCards(bytes.toStdString());
        break;
    case Kind::Sms:
        for (const QByteArray& line : bytes.split('\n'))
            if (!line.trimmed().isEmpty())
                entries.items.push_back(line.trimmed().toStdString());
        break;
    case Kind::CallLogs: {
        const QJsonDocument doc = QJsonDocument::fromJson(bytes);
        if (!doc.isArray())
            return false;
        for (const QJsonValue& v : doc.array())
            entries.items.push_back(compact(v.toObject()));
        break;
    }
    case Kind::Calendar: {
        icalcomponent* calendar = icalparser_parse_string(bytes.constData());
        if (!calendar)
            return false;
        for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
             e; e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
            char* ical = icalcomponent_as_ical_string_r(e);
            entries.items.push_back(ical ? ical : "");
            free(ical);
        }
        icalcomponent_free(calendar);
        break;
    }
    default:
        return false;
    }
    entries.loaded = true;
    return true;
}

bool FolderDestination::readRecords(Kind kind, const std::function<bool(const RecordRef&)>& each) {
    if (!load(kind))
        return false;
    for (const std::string& item : m_entries[kind].items) {
        switch (kind) {
        case Kind::Contacts: {
            CardFields f = readCard(item);
            ABPerson p{};
            p.firstName = f.name.data();
            char** numbers[] = {&p.mobile, &p.homeNumber, &p.workNumber, &p.homeFax, &p.workFax};
            for (size_t i = 0; i < f.numbers.size() && i < 5; ++i)
                *numbers[i] = f.numbers[i].data();
            if (!f.mails.empty())
                p.homeEmail = f.mails[0].data();
            if (f.mails.size() > 1)
                p.workEmail = f.mails[1].data();
            if (!each(&p))
                return false;
            break;
        }
        case Kind::Sms:
        case Kind::CallLogs: {
            const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(item)).object();
            auto field = [&o](const char* key) {
                return o.value(QLatin1String(key)).toString().toStdString();
            };
            std::string a = field(kind == Kind::Sms ? "address" : "number"), b = field("body"),
                        date = field("date"), type = field("type"), duration = field("duration");
            if (kind == Kind::Sms) {
                SMessage m{};
                m.address = a.data();
                m.body = b.data();
                m.date = date.data();
                m.type = type.data();
                if (!each(&m))
                    return false;
            } else {
                CallHistory c{};
                c.number = a.data();
                c.date = date.data();
                c.type = type.data();
                c.duration = duration.data();
                if (!each(&c))
                    return false;
            }
            break;
        }
        case Kind::Calendar: {
            icalcomponent* e = icalcomponent_new_from_string(item.c_str());
            if (!e)
                return false;
            icalproperty* rrule = icalcomponent_get_first_property(e, ICAL_RRULE_PROPERTY);
            std::string title = icalcomponent_get_summary(e) ? icalcomponent_get_summary(e) : "";
            std::string start =
                std::to_string(instantOf(icalcomponent_get_first_property(e, ICAL_DTSTART_PROPERTY),
                                         icalproperty_get_dtstart));
            std::string end = std::to_string(instantOf(
                icalcomponent_get_first_property(e, ICAL_DTEND_PROPERTY), icalproperty_get_dtend));
            std::string rule;
            if (rrule) {
                icalrecurrencetype recurrence = icalproperty_get_rrule(rrule);
                char* r = icalrecurrencetype_as_string_r(&recurrence);
                rule = r ? r : "";
                free(r);
            }
            icalcomponent_free(e);
            Calendar c{};
            c.title = title.data();
            c.start = start.data();
            c.end = end.data();
            c.rrule = rule.data();
            if (!each(&c))
                return false;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

bool FolderDestination::addRecord(const RecordRef& record) {
    return std::visit(
        [this](const auto& r) {
            using T = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return false;
            } else {
                Kind kind = Kind::Contacts;
                std::string item;
                if constexpr (std::is_same_v<T, ABPerson*>) {
                    item = vcard(r);
                } else if constexpr (std::is_same_v<T, SMessage*>) {
                    kind = Kind::Sms;
                    item = compact(messageJson(r));
                } else if constexpr (std::is_same_v<T, CallHistory*>) {
                    kind = Kind::CallLogs;
                    item = compact(callJson(r));
                } else {
                    kind = Kind::Calendar;
                    std::set<std::string> zones;
                    item = veventText(r, &zones);
                }
                if (!load(kind))
                    return false;
                m_entries[kind].items.push_back(std::move(item));
                m_entries[kind].changed = true;
                return true;
            }
        },
        record);
}

bool FolderDestination::finishKind(Kind kind) {
    if (!isPersonal(kind))
        return true;
    Entries& entries = m_entries[kind];
    if (!entries.changed)
        return true;
    QByteArray bytes;
    switch (kind) {
    case Kind::Contacts:
        for (const std::string& card : entries.items)
            bytes += QByteArray::fromStdString(card);
        break;
    case Kind::Sms:
        for (const std::string& line : entries.items)
            bytes += QByteArray::fromStdString(line) + '\n';
        break;
    case Kind::CallLogs: {
        bytes = "[\n";
        for (size_t i = 0; i < entries.items.size(); ++i)
            bytes += "  " + QByteArray::fromStdString(entries.items[i]) +
                     (i + 1 < entries.items.size() ? ",\n" : "\n");
        bytes += "]\n";
        break;
    }
    case Kind::Calendar: {
        std::set<std::string> zones;
        for (const std::string& item : entries.items) {
            size_t at = 0;
            while ((at = item.find("TZID=", at)) != std::string::npos) {
                at += 5;
                const size_t end = item.find_first_of(":;", at);
                zones.insert(item.substr(at, end - at));
            }
        }
        bytes = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kestrova//Export//EN\r\n"
                "CALSCALE:GREGORIAN\r\n";
        // The zones' rules as libical knows them, named by their plain
        // Olson names as the events use them.
        for (const std::string& tzid : zones) {
            icaltimezone* zone = icaltimezone_get_builtin_timezone(tzid.c_str());
            icalcomponent* vtz = zone ? icaltimezone_get_component(zone) : nullptr;
            if (!vtz)
                continue;
            icalcomponent* copy = icalcomponent_new_clone(vtz);
            if (icalproperty* id = icalcomponent_get_first_property(copy, ICAL_TZID_PROPERTY))
                icalproperty_set_tzid(id, tzid.c_str());
            char* ical = icalcomponent_as_ical_string_r(copy);
            bytes += ical ? ical : "";
            free(ical);
            icalcomponent_free(copy);
        }
        for (const std::string& item : entries.items)
            bytes += QByteArray::fromStdString(item);
        bytes += "END:VCALENDAR\r\n";
        break;
    }
    default:
        return false;
    }
    entries.changed = false;
    return writeFileAtomically(m_folder + QLatin1Char('/') + recordFile(kind), bytes);
}

bool FolderDestination::listStored(Kind kind, std::vector<StoredFile>* files) {
    const QDir folder(m_folder + QLatin1Char('/') + fileFolder(kind));
    if (!folder.exists())
        return true;
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files)) {
        StoredFile f;
        f.name = info.fileName().toStdString();
        f.size = kind == Kind::Apps ? 0 : info.size();
        f.location = info.filePath().toStdString();
        files->push_back(std::move(f));
    }
    return true;
}

std::string FolderDestination::storedName(Kind kind, const std::string& name) const {
    return fileSafeName(kind == Kind::Apps ? name + ".apk" : name);
}

bool FolderDestination::fetchStored(Kind, const StoredFile& file, const std::string& localPath) {
    QFile::remove(QString::fromStdString(localPath));
    return QFile::copy(QString::fromStdString(file.location), QString::fromStdString(localPath));
}

AddResult FolderDestination::addFile(Kind kind, SourceFile& file, const std::string& name,
                                     int64_t expectedSize, FileProgress& progress) {
    const QDir folder(m_folder + QLatin1Char('/') + fileFolder(kind));
    if (!QDir().mkpath(folder.path()))
        return AddResult::WriteFailed;
    const QString target = folder.filePath(freeName(folder, storedName(kind, name)));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return AddResult::WriteFailed;
    const std::string local = file.localPath();
    QFile in(QString::fromStdString(local));
    if (!local.empty() && !in.open(QIODevice::ReadOnly))
        return AddResult::ReadFailed;
    QByteArray buffer(kChunk, Qt::Uninitialized);
    int64_t done = 0;
    for (;;) {
        if (progress.stopped()) {
            out.cancelWriting();
            return AddResult::Interrupted;
        }
        const qint64 got =
            local.empty() ? file.read(buffer.data(), kChunk) : in.read(buffer.data(), kChunk);
        if (got < 0) {
            out.cancelWriting();
            return AddResult::ReadFailed;
        }
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got) {
            out.cancelWriting();
            return AddResult::WriteFailed;
        }
        done += got;
        *progress.done += got;
    }
    // An app's package is listed without its size.
    if (done != expectedSize && !(kind == Kind::Apps && expectedSize <= 0)) {
        out.cancelWriting();
        return AddResult::ReadFailed;
    }
    // A name taken meanwhile is never replaced.
    if (QFileInfo::exists(target)) {
        out.cancelWriting();
        return AddResult::WriteFailed;
    }
    if (!out.commit())
        return AddResult::WriteFailed;
    // The copy keeps the original's date where the source tells it.
    if (file.modified() > 0) {
        QFile stored(target);
        if (stored.open(QIODevice::ReadWrite))
            stored.setFileTime(QDateTime::fromSecsSinceEpoch(file.modified()),
                               QFileDevice::FileModificationTime);
    }
    return AddResult::Arrived;
}

} // namespace kestrova
