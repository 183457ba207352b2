// AddressBook.sqlitedb: ABPerson with its labelled multi-values (numbers,
// e-mails, web pages, postal addresses made of entries) and its groups.
#include "apple_time.h"
#include "readers.h"

#include <map>
#include <unordered_map>

namespace dbsifter {
namespace {

enum Property { kPhone = 3, kEmail = 4, kAddress = 5, kUrl = 22 };

struct MultiValue {
    int64_t uid;
    int64_t property;
    std::string label;
    Text value;
};

std::unordered_map<int64_t, std::string> loadStrings(SourceDb& db, const char* table) {
    std::unordered_map<int64_t, std::string> out;
    if (!db.hasTable(table))
        return out;
    Stmt st(db.handle(), std::string("SELECT ROWID, value FROM ") + table);
    while (st.step())
        if (auto v = st.text(1))
            out.emplace(st.int64(0), *v);
    return out;
}

// A postal address from its entries, in the order an address is written.
std::string composeAddress(const std::map<std::string, std::string>& parts) {
    static const char* order[] = {"Street", "SubLocality", "City",   "SubAdministrativeArea",
                                  "State",  "ZIP",         "Country"};
    std::string out;
    for (const char* key : order) {
        auto it = parts.find(key);
        if (it != parts.end() && !it->second.empty())
            out += (out.empty() ? "" : ", ") + it->second;
    }
    if (out.empty()) { // only keys this reader does not know
        for (auto& [key, value] : parts)
            if (!value.empty())
                out += (out.empty() ? "" : ", ") + value;
    }
    return out;
}

std::unordered_map<int64_t, std::map<std::string, std::string>> loadEntries(SourceDb& db) {
    std::unordered_map<int64_t, std::map<std::string, std::string>> out;
    if (!db.hasTable("ABMultiValueEntry"))
        return out;
    const auto keys = loadStrings(db, "ABMultiValueEntryKey");
    Stmt st(db.handle(), "SELECT parent_id, key, value FROM ABMultiValueEntry");
    while (st.step()) {
        auto key = keys.find(st.int64(1));
        auto value = st.text(2);
        if (key != keys.end() && value)
            out[st.int64(0)][key->second] = *value;
    }
    return out;
}

std::unordered_map<int64_t, std::vector<MultiValue>> loadMultiValues(SourceDb& db) {
    std::unordered_map<int64_t, std::vector<MultiValue>> out;
    if (!db.hasTable("ABMultiValue"))
        return out;
    const auto labels = loadStrings(db, "ABMultiValueLabel");
    const auto cols = db.columns("ABMultiValue");
    Stmt st(db.handle(), "SELECT UID, record_id, property, " + columnOrNull(cols, "label") +
                             ", value FROM ABMultiValue ORDER BY record_id, UID");
    while (st.step()) {
        auto label = labels.find(st.int64(3));
        out[st.int64(1)].push_back({st.int64(0), st.int64(2),
                                    label != labels.end() ? label->second : std::string(),
                                    st.text(4)});
    }
    return out;
}

std::unordered_map<int64_t, std::string> loadGroups(SourceDb& db) {
    std::unordered_map<int64_t, std::string> out;
    if (!db.hasTable("ABGroup") || !db.hasTable("ABGroupMembers"))
        return out;
    const auto cols = db.columns("ABGroupMembers");
    const std::string personOnly = cols.count("member_type") ? " AND m.member_type = 0" : "";
    Stmt st(db.handle(), "SELECT m.member_id, g.Name FROM ABGroupMembers m JOIN ABGroup g ON "
                         "g.ROWID = m.group_id WHERE g.Name IS NOT NULL" +
                             personOnly + " ORDER BY m.member_id, g.ROWID");
    while (st.step()) {
        std::string& names = out[st.int64(0)];
        names += (names.empty() ? "" : ",") + st.text(1).value_or("");
    }
    return out;
}

Text joinNonEmpty(const Text& a, const Text& b, const char* sep) {
    const bool hasA = a && !a->empty(), hasB = b && !b->empty();
    if (hasA && hasB)
        return *a + sep + *b;
    return hasA ? a : hasB ? b : Text();
}

void addValues(ContactRow& row, const std::vector<MultiValue>& values,
               const std::unordered_map<int64_t, std::map<std::string, std::string>>& entries) {
    std::vector<LabelledValue> phones, mails, urls, addresses;
    for (const MultiValue& mv : values) {
        if (mv.property == kAddress) {
            auto e = entries.find(mv.uid);
            std::string text = e != entries.end() ? composeAddress(e->second) : std::string();
            if (text.empty() && mv.value)
                text = *mv.value;
            if (!text.empty())
                addresses.push_back({mv.label, text});
            continue;
        }
        if (!mv.value || mv.value->empty())
            continue;
        if (mv.property == kPhone)
            phones.push_back({mv.label, *mv.value});
        else if (mv.property == kEmail)
            mails.push_back({mv.label, *mv.value});
        else if (mv.property == kUrl)
            urls.push_back({mv.label, *mv.value});
    }
    placeValues(row, ValueKind::Phone, phones);
    placeValues(row, ValueKind::Email, mails);
    placeValues(row, ValueKind::Url, urls);
    placeValues(row, ValueKind::Address, addresses);
}

} // namespace

bool readContacts(SourceDb& db, const RowSink<ContactRow>& out, std::string* why) {
    if (!db.hasTable("ABPerson")) {
        *why = "no ABPerson table: not an address book";
        return false;
    }
    const auto entries = loadEntries(db);
    const auto multiValues = loadMultiValues(db);
    const auto groups = loadGroups(db);
    const auto cols = db.columns("ABPerson");
    std::string sql = "SELECT ROWID";
    for (const char* c : {"First", "Middle", "Last", "Nickname", "Organization", "JobTitle",
                          "Department", "Note", "Birthday"})
        sql += ", " + columnOrNull(cols, c);
    Stmt st(db.handle(), sql + " FROM ABPerson ORDER BY ROWID");
    while (st.step()) {
        ContactRow c;
        const int64_t rowid = st.int64(0);
        c.contactId = decimal(rowid);
        c.firstName = joinNonEmpty(st.text(1), st.text(2), " ");
        c.lastName = st.text(3);
        c.nickName = st.text(4);
        c.organization = st.text(5);
        // The phone side has one field for title and department: keep both.
        c.department = joinNonEmpty(st.text(6), st.text(7), ", ");
        c.note = st.text(8);
        if (auto b = st.text(9))
            c.birthday = birthdayFromCocoa(*b);
        auto mv = multiValues.find(rowid);
        if (mv != multiValues.end())
            addValues(c, mv->second, entries);
        auto g = groups.find(rowid);
        if (g != groups.end())
            c.groupName = g->second;
        if (!out(c)) {
            *why = "out of memory";
            return false;
        }
    }
    if (!st.ok()) {
        *why = "reading contacts failed: " + st.error();
        return false;
    }
    return true;
}

} // namespace dbsifter
