// AddressBook.sqlitedb: people and companies, numbers, e-mails, web pages and
// postal addresses as labelled multi-values, birthdays, notes and groups.
#include "fixture_common.h"
#include "fixture_db.h"
#include "fixture_text.h"
#include "ios_fixtures.h"

#include <map>

namespace iosfix {
namespace {

std::string personTable(int v) {
    std::string t =
        "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT, "
        "Middle TEXT, FirstPhonetic TEXT, MiddlePhonetic TEXT, LastPhonetic TEXT, Organization "
        "TEXT, Department TEXT, Note TEXT, Kind INTEGER, Birthday TEXT, JobTitle TEXT, Nickname "
        "TEXT, Prefix TEXT, Suffix TEXT, FirstSort TEXT, LastSort TEXT, CreationDate INTEGER, "
        "ModificationDate INTEGER, CompositeNameFallback TEXT, ExternalIdentifier TEXT, "
        "ExternalModificationTag TEXT, ExternalUUID TEXT, StoreID INTEGER, DisplayName TEXT, "
        "ExternalRepresentation BLOB, FirstSortSection TEXT, LastSortSection TEXT, "
        "FirstSortLanguageIndex INTEGER DEFAULT 2147483647, LastSortLanguageIndex INTEGER DEFAULT "
        "2147483647, PersonLink INTEGER DEFAULT -1, ImageURI TEXT, IsPreferredName INTEGER "
        "DEFAULT 1";
    if (v >= 9)
        t += ", guid TEXT, PhonemeData TEXT, AlternateBirthday TEXT, MapsData TEXT, "
             "FirstPronunciation TEXT, MiddlePronunciation TEXT, LastPronunciation TEXT, "
             "OrganizationPhonetic TEXT, OrganizationPronunciation TEXT, PreviousFamilyName TEXT";
    if (v >= 11)
        t += ", PreferredLikenessSource TEXT, PreferredPersonaIdentifier TEXT";
    if (v >= 14)
        t += ", PreferredChannel TEXT, DowntimeWhitelist TEXT";
    if (v >= 17)
        t += ", ImageType TEXT, ImageHash BLOB, MemojiMetadata BLOB";
    return t + ");";
}

std::string schema(int v) {
    return personTable(v) +
           "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
           "CREATE TABLE ABStore (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, "
           "ExternalIdentifier TEXT, Type INTEGER, ConstraintsPath TEXT, ExternalModificationTag "
           "TEXT, ExternalSyncTag TEXT, AccountID INTEGER, Enabled INTEGER);"
           "CREATE TABLE ABAccount (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, AccountIdentifier "
           "TEXT);"
           "CREATE TABLE ABGroup (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, "
           "ExternalIdentifier TEXT, StoreID INTEGER, ExternalModificationTag TEXT, "
           "ExternalRepresentation BLOB, ExternalUUID TEXT);"
           "CREATE TABLE ABGroupMembers (UID INTEGER PRIMARY KEY, group_id INTEGER, member_type "
           "INTEGER, member_id INTEGER, UNIQUE(group_id, member_type, member_id));"
           "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property "
           "INTEGER, identifier INTEGER, label INTEGER, value TEXT);"
           "CREATE TABLE ABMultiValueEntry (parent_id INTEGER, key INTEGER, value TEXT, "
           "UNIQUE(parent_id, key));"
           "CREATE TABLE ABMultiValueEntryKey (value TEXT, UNIQUE(value));"
           "CREATE TABLE ABMultiValueLabel (value TEXT, UNIQUE(value));"
           "CREATE TABLE ABPhoneLastFour (multivalue_id INTEGER PRIMARY KEY, value TEXT);"
           "CREATE INDEX ABMultiValueRecordIDIndex on ABMultiValue(record_id);"
           "CREATE INDEX ABMultiValueLabelIndex ON ABMultiValue(label);"
           "CREATE INDEX ABMultiValueEntryKeyIndex ON ABMultiValueEntry(key);";
}

enum Property { kPhone = 3, kEmail = 4, kAddress = 5, kUrl = 22 };

struct Writer {
    FixtureDb& db;
    Rng& rng;
    std::map<std::string, int64_t> labels, keys;

    int64_t rowOf(std::map<std::string, int64_t>& table, const char* name, const std::string& v) {
        auto it = table.find(v);
        if (it != table.end())
            return it->second;
        int64_t id = db.insert(std::string("INSERT INTO ") + name + " (value) VALUES (?)", {v});
        table[v] = id;
        return id;
    }
    int64_t multiValue(int64_t person, int property, int identifier, const std::string& label,
                       const Value& value) {
        const std::string sql = "INSERT INTO ABMultiValue (record_id, property, identifier, label, "
                                "value) VALUES (?, ?, ?, ?, ?)";
        if (label.empty())
            return db.insert(sql, {person, int64_t(property), int64_t(identifier), Value(), value});
        const int64_t labelId = rowOf(labels, "ABMultiValueLabel", label);
        return db.insert(sql, {person, int64_t(property), int64_t(identifier), labelId, value});
    }
    void entry(int64_t parent, const std::string& key, const std::string& value) {
        db.insert("INSERT INTO ABMultiValueEntry (parent_id, key, value) VALUES (?, ?, ?)",
                  {parent, rowOf(keys, "ABMultiValueEntryKey", key), value});
    }
};

std::string readable(const std::string& label) {
    if (label.empty())
        return "Other";
    if (label.rfind("_$!<", 0) == 0 && label.size() > 8)
        return label.substr(4, label.size() - 8);
    return label;
}

void addExtra(ExpectedContact& e, const std::string& label, const std::string& value) {
    if (!e.extraText1.empty())
        e.extraText1 += '\n';
    e.extraText1 += readable(label) + ": " + value;
}

// Places labelled values the way the reader must: exact labels first, then
// the rest in order into the first free field, then the extra text.
void place(ExpectedContact& e, const std::vector<std::pair<std::string, std::string>>& values,
           const std::vector<std::pair<std::string, std::string ExpectedContact::*>>& exact,
           const std::vector<std::string ExpectedContact::*>& freeOrder) {
    std::vector<bool> done(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        for (auto& [label, field] : exact)
            if (values[i].first == label && (e.*field).empty()) {
                e.*field = values[i].second;
                done[i] = true;
                break;
            }
    for (size_t i = 0; i < values.size(); ++i) {
        if (done[i])
            continue;
        for (auto field : freeOrder)
            if ((e.*field).empty()) {
                e.*field = values[i].second;
                done[i] = true;
                break;
            }
        if (!done[i])
            addExtra(e, values[i].first, values[i].second);
    }
}

// Birthdays are kept as reference-date seconds in text: either noon UTC or
// local midnight of a zone east of UTC (the evening before in UTC).
std::string birthdayText(Rng& rng, std::string* expected) {
    const bool yearless = rng.chance(10);
    const int year = yearless ? 1604 : int(rng.range(1940, 2010));
    const unsigned month = unsigned(rng.range(1, 12)), day = unsigned(rng.range(1, 28));
    int64_t secs = daysFromCivil(year, month, day) * 86400 - kCocoaEpoch;
    secs += rng.chance(50) ? 43200 : -3600 * rng.range(1, 9);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", year, month, day);
    *expected = yearless ? std::string("--") + (buf + 5) : buf;
    return rng.chance(50) ? num(secs) : num(secs) + ".000000";
}

} // namespace

bool writeAddressBook(const std::string& path, const Options& opt,
                      std::vector<ExpectedContact>* out) {
    if (out)
        out->clear();
    FixtureDb db;
    Rng rng(opt.seed * 104729u + uint32_t(opt.iosVersion));
    if (!db.create(path, opt.iosVersion >= 7) || !db.exec(schema(opt.iosVersion)))
        return false;
    db.exec("INSERT INTO _SqliteDatabaseProperties VALUES ('_ClientVersion', '" +
            num(opt.iosVersion * 5) + "')");
    db.exec("INSERT INTO ABStore (Name, Type, Enabled) VALUES ('Address Book', 0, 1)");
    Writer w{db, rng, {}, {}};
    const std::vector<std::string> groupNames = {"Family", "Коллеги", "Work 🚀"};
    std::vector<int64_t> groups;
    for (auto& g : groupNames)
        groups.push_back(db.insert("INSERT INTO ABGroup (Name, StoreID) VALUES (?, 0)", {g}));

    const std::vector<std::string> phoneLabels = {
        "_$!<Mobile>!$_",  "iPhone",       "_$!<Home>!$_",  "_$!<Work>!$_",  "_$!<HomeFAX>!$_",
        "_$!<WorkFAX>!$_", "_$!<Main>!$_", "_$!<Pager>!$_", "_$!<Other>!$_", "Boat"};
    const std::vector<std::string> mailLabels = {"_$!<Home>!$_", "_$!<Work>!$_", "iCloud",
                                                 "_$!<Other>!$_", ""};
    for (int i = 0; i < opt.count; ++i) {
        if (opt.walTail && i == opt.count * 3 / 4 && !db.beginWalTail())
            return false;
        ExpectedContact e;
        const bool companyOnly = rng.chance(10);
        const PersonName name = randomName(rng);
        Value first, last, middle, org, dept, title, nick, note, bday;
        if (!companyOnly) {
            first = name.first;
            last = name.last;
            e.firstName = name.first;
            e.lastName = name.last;
            if (rng.chance(10)) {
                middle = std::string("Maria");
                e.firstName += " Maria";
            }
        }
        if (companyOnly || rng.chance(30)) {
            e.organization = randomCompany(rng);
            org = e.organization;
            std::string t = rng.chance(60) ? "Engineer" : "", d = rng.chance(40) ? "R&D" : "";
            if (!t.empty())
                title = t;
            if (!d.empty())
                dept = d;
            e.department = t.empty() ? d : d.empty() ? t : t + ", " + d;
        }
        if (rng.chance(20))
            nick = e.nickName = randomSentence(rng, 1);
        if (rng.chance(20))
            note = e.note = randomSentence(rng, int(rng.range(3, 20)));
        if (!companyOnly && rng.chance(30))
            bday = birthdayText(rng, &e.birthday);
        const int64_t created = kBaseUnix - kCocoaEpoch + i * 600;
        int64_t person = db.insert(
            "INSERT INTO ABPerson (First, Last, Middle, Organization, Department, Note, Kind, "
            "Birthday, JobTitle, Nickname, CreationDate, ModificationDate, StoreID) VALUES (?, "
            "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)",
            {first, last, middle, org, dept, note, int64_t(companyOnly ? 1 : 0), bday, title, nick,
             created, created});
        if (person < 0)
            return false;
        e.contactId = num(person);

        std::vector<std::pair<std::string, std::string>> phones, mails, urls, addrs;
        int ident = 0;
        for (int n = int(rng.below(5)); n > 0; --n) {
            std::string label = rng.pick(phoneLabels), number = randomPhone(rng);
            w.multiValue(person, kPhone, ident++, label, number);
            phones.emplace_back(label, number);
        }
        for (int n = int(rng.below(4)); n > 0; --n) {
            std::string label = rng.pick(mailLabels), mail = randomEmail(rng, "p");
            w.multiValue(person, kEmail, ident++, label, mail);
            mails.emplace_back(label, mail);
        }
        for (int n = rng.chance(25) ? int(rng.range(1, 2)) : 0; n > 0; --n) {
            std::string url = "https://www.example.com/" + num(int64_t(rng.below(10000)));
            std::string label = urls.empty() ? "_$!<HomePage>!$_" : "_$!<Other>!$_";
            w.multiValue(person, kUrl, ident++, label, url);
            urls.emplace_back(label, url);
        }
        for (int n = rng.chance(30) ? int(rng.range(1, 3)) : 0; n > 0; --n) {
            static const std::vector<std::string> al = {"_$!<Home>!$_", "_$!<Work>!$_",
                                                        "_$!<Other>!$_"};
            std::string label = rng.pick(al);
            int64_t mv = w.multiValue(person, kAddress, ident++, label, Value());
            std::string street = num(rng.range(1, 200)) + " " + randomSentence(rng, 1) + " St";
            std::string city = randomCity(rng), zip = num(rng.range(10000, 99999));
            std::string text = street + ", " + city;
            w.entry(mv, "Street", street);
            w.entry(mv, "City", city);
            if (rng.chance(50)) {
                w.entry(mv, "State", "CA");
                text += ", CA";
            }
            w.entry(mv, "ZIP", zip);
            w.entry(mv, "CountryCode", "us");
            w.entry(mv, "Country", "United States");
            addrs.emplace_back(label, text + ", " + zip + ", United States");
        }
        using C = ExpectedContact;
        place(e, phones,
              {{"_$!<Mobile>!$_", &C::mobile},
               {"iPhone", &C::mobile},
               {"_$!<Home>!$_", &C::homeNumber},
               {"_$!<Work>!$_", &C::workNumber},
               {"_$!<HomeFAX>!$_", &C::homeFax},
               {"_$!<WorkFAX>!$_", &C::workFax}},
              {&C::mobile, &C::homeNumber, &C::workNumber});
        place(e, mails, {{"_$!<Home>!$_", &C::homeEmail}, {"_$!<Work>!$_", &C::workEmail}},
              {&C::homeEmail, &C::workEmail});
        place(e, urls, {{"_$!<HomePage>!$_", &C::homePage}}, {&C::homePage});
        place(e, addrs, {{"_$!<Home>!$_", &C::homeAddress}, {"_$!<Work>!$_", &C::workAddress}},
              {&C::homeAddress, &C::workAddress});

        for (size_t g = 0; g < groups.size(); ++g)
            if (rng.chance(15)) {
                db.insert("INSERT INTO ABGroupMembers (group_id, member_type, member_id) VALUES "
                          "(?, 0, ?)",
                          {groups[g], person});
                e.groupName += (e.groupName.empty() ? "" : ",") + groupNames[g];
            }
        if (out)
            out->push_back(std::move(e));
    }
    return db.close();
}

} // namespace iosfix
