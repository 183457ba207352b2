#include "rrule.h"

#include "apple_time.h"

#include <cctype>
#include <vector>

namespace dbsifter {
namespace {

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= s.size()) {
        size_t pos = s.find(sep, start);
        if (pos == std::string::npos)
            pos = s.size();
        if (pos > start)
            out.push_back(s.substr(start, pos - start));
        start = pos + 1;
    }
    return out;
}

bool isSignedNumber(const std::string& s) {
    size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
    if (i >= s.size() || s.size() - i > 3)
        return false;
    for (; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

// "0MO" is every Monday, "+1MO" or "1MO" the first, "-1FR" the last Friday.
std::string byDay(const std::string& list) {
    static const char* days[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    std::string out;
    for (const std::string& item : split(list, ',')) {
        if (item.size() < 2)
            continue;
        std::string day = item.substr(item.size() - 2);
        std::string ord = item.substr(0, item.size() - 2);
        bool known = false;
        for (const char* d : days)
            known |= day == d;
        if (!known || (!ord.empty() && !isSignedNumber(ord)))
            continue;
        if (!ord.empty() && ord[0] == '+')
            ord.erase(0, 1);
        if (ord == "0" || ord == "-0")
            ord.clear();
        out += (out.empty() ? "" : ",") + ord + day;
    }
    return out;
}

std::string numberList(const std::string& list) {
    std::string out;
    for (const std::string& item : split(list, ','))
        if (isSignedNumber(item) && item != "0")
            out += (out.empty() ? "" : ",") + (item[0] == '+' ? item.substr(1) : item);
    return out;
}

} // namespace

std::string buildRrule(const RecurrenceRow& r) {
    static const char* freqs[] = {"DAILY", "WEEKLY", "MONTHLY", "YEARLY"};
    if (r.frequency < 1 || r.frequency > 4)
        return {};
    std::string out = std::string("FREQ=") + freqs[r.frequency - 1];
    if (r.interval > 1)
        out += ";INTERVAL=" + std::to_string(r.interval);
    if (r.count > 0)
        out += ";COUNT=" + std::to_string(r.count);
    else if (r.untilMs)
        out += ";UNTIL=" + rruleUntil(*r.untilMs);
    std::string day, monthDay, month, setPos;
    for (const std::string& part : split(r.specifier, ';')) {
        if (part.size() < 3 || part[1] != '=')
            continue;
        const std::string value = part.substr(2);
        switch (part[0]) {
        case 'D':
            day = byDay(value);
            break;
        case 'M':
            monthDay = numberList(value);
            break;
        case 'O':
            month = numberList(value);
            break;
        case 'S':
            setPos = numberList(value);
            break;
        default:
            break;
        }
    }
    if (!day.empty())
        out += ";BYDAY=" + day;
    if (!monthDay.empty())
        out += ";BYMONTHDAY=" + monthDay;
    if (!month.empty())
        out += ";BYMONTH=" + month;
    if (!setPos.empty())
        out += ";BYSETPOS=" + setPos;
    return out;
}

} // namespace dbsifter
