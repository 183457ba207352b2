#include "identity.h"

#include <QString>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <type_traits>

namespace kestrova {

namespace {

// Countries whose national numbers are dialled with a trunk 0 that the
// international form leaves out, and their calling codes. Only countries
// where that rule holds for every number are listed.
struct TrunkZeroCountry {
    const char* iso;
    const char* code;
};
constexpr TrunkZeroCountry kTrunkZero[] = {
    {"at", "43"},  {"au", "61"},  {"be", "32"}, {"ch", "41"}, {"cn", "86"}, {"de", "49"},
    {"eg", "20"},  {"fi", "358"}, {"fr", "33"}, {"gb", "44"}, {"id", "62"}, {"ie", "353"},
    {"il", "972"}, {"in", "91"},  {"jp", "81"}, {"kr", "82"}, {"my", "60"}, {"ng", "234"},
    {"nl", "31"},  {"nz", "64"},  {"pk", "92"}, {"se", "46"}, {"th", "66"}, {"tr", "90"},
    {"tw", "886"}, {"ua", "380"}, {"uk", "44"}, {"vn", "84"}, {"za", "27"},
};

// Short codes and service numbers are left as they are.
constexpr size_t kShortestNational = 6;

std::string text(const char* s) { return s ? s : ""; }

// Milliseconds since 1970 as whole seconds; the text itself when it is no
// number (so two equal odd texts still match).
std::string seconds(const char* instant) {
    const std::string t = normalisedText(text(instant), false);
    if (t.empty())
        return "";
    char* end = nullptr;
    const long long ms = std::strtoll(t.c_str(), &end, 10);
    if (!end || *end != '\0')
        return t;
    // Floor division, also before 1970.
    const long long s = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    return std::to_string(s);
}

long long number(const char* value) {
    const std::string t = normalisedText(text(value), false);
    return std::strtoll(t.c_str(), nullptr, 10);
}

std::string joinSet(const std::set<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        if (item.empty())
            continue;
        if (!out.empty())
            out += ',';
        out += item;
    }
    return out;
}

// Fields are joined by a separator that no normalised text holds.
constexpr char kSeparator = '\x1f';

std::string key(const ABPerson* p, const NumberRules& rules) {
    std::string name = text(p->firstName);
    if (p->lastName && *p->lastName)
        name += (name.empty() ? "" : " ") + text(p->lastName);
    std::set<std::string> numbers;
    for (const char* n : {p->mobile, p->homeNumber, p->workNumber, p->homeFax, p->workFax})
        numbers.insert(normalisedNumber(text(n), rules));
    std::set<std::string> mails;
    for (const char* m : {p->homeEmail, p->workEmail})
        mails.insert(normalisedText(text(m), true));
    return std::string("contact") + kSeparator + normalisedText(name, true) + kSeparator +
           joinSet(numbers) + kSeparator + joinSet(mails);
}

std::string key(const SMessage* m, const NumberRules& rules) {
    return std::string("message") + kSeparator + normalisedNumber(text(m->address), rules) +
           kSeparator + normalisedText(text(m->type), false) + kSeparator + text(m->body) +
           kSeparator + seconds(m->date);
}

std::string key(const CallHistory* c, const NumberRules& rules) {
    return std::string("call") + kSeparator + normalisedNumber(text(c->number), rules) +
           kSeparator + normalisedText(text(c->type), false) + kSeparator + seconds(c->date) +
           kSeparator + std::to_string(number(c->duration));
}

std::string key(const Calendar* e, const NumberRules&) {
    // A phone stores an end before the start (or none) as the start itself.
    const long long start = number(e->start);
    const long long end = std::max(number(e->end), start);
    return std::string("event") + kSeparator + normalisedText(text(e->title), false) + kSeparator +
           std::to_string(start / 1000) + kSeparator + std::to_string(end / 1000) + kSeparator +
           normalisedText(text(e->rrule), false);
}

} // namespace

std::string trunkZeroCallingCode(std::string_view isoCountry) {
    const QString iso =
        QString::fromUtf8(isoCountry.data(), static_cast<qsizetype>(isoCountry.size()))
            .trimmed()
            .toLower();
    for (const TrunkZeroCountry& c : kTrunkZero)
        if (iso == QLatin1String(c.iso))
            return c.code;
    return {};
}

std::string normalisedText(std::string_view raw, bool foldCase) {
    QString t = QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()))
                    .normalized(QString::NormalizationForm_C)
                    .simplified();
    if (foldCase)
        t = t.toCaseFolded();
    return t.toStdString();
}

std::string normalisedNumber(std::string_view raw, const NumberRules& rules) {
    const std::string trimmed = normalisedText(raw, false);
    std::string digits;
    bool plus = false;
    for (const char c : trimmed) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == '+' && digits.empty()) {
            plus = true;
        } else if (c == '*' || c == '#') {
            digits += c; // service codes: part of what is dialled
        } else if (static_cast<unsigned char>(c) >= 0x80 || (c >= 'a' && c <= 'z') ||
                   (c >= 'A' && c <= 'Z') || c == '@') {
            // A name or an address, not a number.
            return normalisedText(raw, true);
        }
        // Anything else (blanks, - . ( ) / ,) is how people write numbers.
    }
    if (!plus && digits.size() > 2 && digits.compare(0, 2, "00") == 0)
        return "+" + digits.substr(2);
    if (!plus && !rules.callingCode.empty() && digits.size() >= kShortestNational &&
        digits[0] == '0' && digits[1] != '0')
        return "+" + rules.callingCode + digits.substr(1);
    return plus ? "+" + digits : digits;
}

std::string identityKey(const RecordRef& record, const NumberRules& rules) {
    return std::visit(
        [&rules](const auto& r) -> std::string {
            using T = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else
                return r ? key(r, rules) : std::string();
        },
        record);
}

std::string fileKey(std::string_view storedName, int64_t size) {
    return std::string(storedName) + kSeparator + std::to_string(size);
}

std::string withoutClashSuffix(const std::string& name) {
    const size_t dot = name.rfind('.');
    const size_t stemEnd = dot == std::string::npos || dot == 0 ? name.size() : dot;
    if (stemEnd < 3 || name[stemEnd - 1] != ')')
        return name;
    size_t open = stemEnd - 2;
    while (open > 0 && name[open] >= '0' && name[open] <= '9')
        --open;
    if (name[open] != '(' || open + 1 == stemEnd - 1 || open == 0)
        return name;
    return name.substr(0, open) + name.substr(stemEnd);
}

void Holdings::add(const std::string& key) {
    ++m_count[key];
    ++m_total;
}

bool Holdings::take(const std::string& key) {
    auto it = m_count.find(key);
    if (it == m_count.end() || it->second <= 0)
        return false;
    --it->second;
    --m_total;
    return true;
}

bool Holdings::holds(const std::string& key) const {
    auto it = m_count.find(key);
    return it != m_count.end() && it->second > 0;
}

} // namespace kestrova
