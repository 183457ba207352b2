#include "session.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace lab {

namespace {

const int kPageSize = 5;
// The most records one range reply holds, whatever the desktop asks for (as
// the phone agent, whose provider queries bind one argument per record).
const int kRangeLimit = 500;

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Decodes every "-"-separated hex value; nullopt when one is malformed or
// there are fewer than `minimum`.
std::optional<std::vector<std::string>> hexFields(std::string_view args, std::size_t minimum) {
    std::vector<std::string> out;
    for (auto part : splitOn(args, '-')) {
        auto value = hexDecode(part);
        if (!value)
            return std::nullopt;
        out.push_back(std::move(*value));
    }
    if (out.size() < minimum)
        return std::nullopt;
    return out;
}

// The update keys by contact column; "FIRSTNAME" sets the display name.
const std::map<std::string, const char*, std::less<>>& contactUpdateKeys() {
    static const std::map<std::string, const char*, std::less<>> keys = {
        {"FIRSTNAME", "name"},
        {"LASTNAME", "last_name"},
        {"NICKNAME", "nickname"},
        {"MOBILE", "mobile"},
        {"HOMENUMBER", "home_number"},
        {"WORKNUMBER", "work_number"},
        {"HOMEPAGE", "homepage"},
        {"HOMEEMAIL", "home_email"},
        {"BIRTHDAY", "birthday"},
        {"GROUP", "group_name"},
        {"NOTE", "note"},
        {"ORGANZATION", "organization"},
        {"DEPARTMENT", "department"},
        {"HOMEADDRESS", "home_address"},
        {"WORKADDRESS", "work_address"},
        {"HOMEFAX", "home_fax"},
        {"WORKFAX", "work_fax"},
        {"WORKEMAIL", "work_email"}};
    return keys;
}

// Columns of the eighteen one-command contact fields, by position 3 to 20;
// positions 14 and 15 carry texts a phone has no place for.
const char* const kAddPerson3Columns[18] = {
    "nickname", "mobile",       "home_number",  "work_number",  "homepage",   "home_email",
    "birthday", "group_name",   "note",         "organization", "department", nullptr,
    nullptr,    "home_address", "work_address", "home_fax",     "work_fax",   "work_email"};

} // namespace

bool restrictsSmsWriters(const PhoneConfig& config) {
    if (config.sdk > 0)
        return config.sdk >= 19;
    // No API level configured: read "4.4.2", "10", ... as major.minor.
    int major = std::atoi(config.androidVersion.c_str()), minor = 0;
    auto dot = config.androidVersion.find('.');
    if (dot != std::string::npos)
        minor = std::atoi(config.androidVersion.c_str() + dot + 1);
    return major * 10 + minor >= 44;
}

Session::Session(const PhoneConfig& config, FdReader& reader)
    : config_(config), reader_(reader), store_(config.dir), media_(store_, config.dir) {
    addPersonalHandlers();
    addMediaHandlers();
    addAppHandlers();
}

Session::~Session() {
    for (auto& [kind, upload] : uploads_)
        discard(upload);
}

std::optional<std::string> Session::handle(const std::string& command, const Faults& faults) {
    faults_ = faults;
    std::string_view text(command);
    auto colon = text.find(':');
    std::string_view verb = text.substr(0, colon);
    std::string_view args = colon == std::string_view::npos ? "" : text.substr(colon + 1);
    auto it = handlers_.find(verb);
    const bool hidden =
        faults.noRanges && verb.size() > 5 && verb.substr(verb.size() - 5) == "Range";
    if (it == handlers_.end() || hidden) {
        std::fprintf(stderr, "agent: unknown command %.*s\n", static_cast<int>(verb.size()),
                     verb.data());
        return intReply(-1);
    }
    if (!store_.ok())
        return intReply(-1);
    return it->second(args);
}

void Session::addPersonalHandlers() {
    auto fixed = [](std::string reply) { return [reply](std::string_view) { return reply; }; };
    handlers_["hello-android"] = fixed("HI-PC");
    handlers_["SetDefaultMessage"] = [this](std::string_view) { return setDefaultSms(); };
    handlers_["ReSetDefaultMessage"] = [this](std::string_view) { return resetDefaultSms(); };
    handlers_["GetDefaultMessage_pkgName"] = [this](std::string_view) {
        return std::string(holdsSmsRole() ? kAgentPackage : kStockSmsPackage);
    };
    struct Names {
        Kind kind;
        const char *count, *page, *range, *clear;
    };
    for (const Names& n :
         {Names{Kind::Messages, "getsmsCount", "getsmsPart10", "getsmsRange", "ClearSMS"},
          Names{Kind::Contacts, "getcontactCount", "getcontactpart10", "getcontactRange",
                "ClearPerson"},
          Names{Kind::Calls, "getcalllogcount", "getcalllogpart10", "getcalllogRange",
                "ClearCallHistory"},
          Names{Kind::Events, "getcalendarcount", "getcalendarpart10", "getcalendarRange",
                "ClearCalender"}}) {
        Kind kind = n.kind;
        handlers_[n.count] = [this, kind](std::string_view) { return countReply(kind); };
        handlers_[n.page] = [this, kind](std::string_view a) { return page(kind, a); };
        handlers_[n.range] = [this, kind](std::string_view a) { return range(kind, a); };
        handlers_[n.clear] = [this, kind](std::string_view) { return clearReply(kind); };
    }
    handlers_["SendSMS"] = [this](std::string_view a) { return sendSms(a); };
    handlers_["AddPerson"] = [this](std::string_view a) { return addPerson(a); };
    handlers_["UpdatePerson"] = [this](std::string_view a) { return updatePerson(a); };
    handlers_["AddPerson3"] = [this](std::string_view a) { return addPerson3(a); };
    handlers_["AddCallHistory"] = [this](std::string_view a) { return addCallHistory(a); };
    handlers_["AddCalender"] = [this](std::string_view a) { return addCalendar(a); };
}

std::string Session::countReply(Kind kind) {
    return intReply(static_cast<int32_t>(store_.count(kind)));
}

std::string Session::clearReply(Kind kind) {
    if (faults_.diskFull)
        return intReply(-1);
    return intReply(store_.clear(kind) ? 1 : -1);
}

std::string Session::page(Kind kind, std::string_view args) {
    auto start = parseInteger(args);
    if (!start)
        return {};
    return records(kind, *start, kPageSize, std::string::npos);
}

std::string Session::range(Kind kind, std::string_view args) {
    // START:LIMIT:BYTES
    auto parts = splitOn(args, ':');
    if (parts.size() != 3)
        return intReply(-1);
    auto start = parseInteger(parts[0]), limit = parseInteger(parts[1]),
         bytes = parseInteger(parts[2]);
    if (!start || !limit || !bytes || *start < 0 || *start > INT32_MAX || *limit < 1 || *bytes < 1)
        return intReply(-1);
    return records(kind, *start, static_cast<int>(std::min<long long>(*limit, kRangeLimit)),
                   static_cast<std::size_t>(*bytes));
}

std::string Session::records(Kind kind, int64_t start, int limit, std::size_t budget) {
    const KindSpec& layout = kindSpec(kind);
    RecordWriter out;
    for (const Row& row : store_.page(kind, start, limit)) {
        const std::size_t before = out.size();
        out.item(layout.idKey, row.id);
        for (std::size_t i = 0; i < layout.columns.size(); ++i) {
            const ColumnSpec& c = layout.columns[i];
            if (kind == Kind::Contacts && i == 0) {
                // The display name joins first and last name as the phone does.
                const std::string& last = row.values[1];
                out.item("NAME", last.empty()            ? row.values[0]
                                 : row.values[0].empty() ? last
                                                         : row.values[0] + " " + last);
                // The store keeps both parts: they go out apart as well.
                if (!last.empty()) {
                    out.item("GIVENNAME", row.values[0]);
                    out.item("FAMILYNAME", last);
                }
            } else if (c.replyKey) {
                out.item(c.replyKey, row.values[i]);
            }
        }
        out.endRecord();
        // Whole records only; the first one goes out even when it alone is
        // larger, so the reader sees a reply beyond its buffer, not a range
        // that never moves on.
        if (out.size() > budget && before > 0) {
            out.cut(before);
            break;
        }
    }
    return out.text();
}

bool Session::holdsSmsRole() {
    if (store_.setting("sms_role") == kAgentPackage)
        return true;
    std::string asked = store_.setting("sms_prompt_at");
    int accept = faults_.smsAcceptSeconds.value_or(config_.smsPromptAcceptAfterSeconds);
    if (asked.empty() || accept < 0)
        return false;
    if (nowMs() < std::atoll(asked.c_str()) + int64_t{accept} * 1000)
        return false;
    // The user tapped "Yes" on the prompt.
    store_.setSetting("sms_role", kAgentPackage);
    store_.setSetting("sms_prompt_at", "");
    return true;
}

std::string Session::setDefaultSms() {
    if (holdsSmsRole())
        return intReply(1);
    // A prompt already on screen stays; asking again does not restart it.
    if (store_.setting("sms_prompt_at").empty())
        store_.setSetting("sms_prompt_at", std::to_string(nowMs()));
    return intReply(0);
}

std::string Session::resetDefaultSms() {
    bool held = holdsSmsRole();
    store_.setSetting("sms_role", kStockSmsPackage);
    store_.setSetting("sms_prompt_at", "");
    return intReply(held ? 1 : 0);
}

std::string Session::sendSms(std::string_view args) {
    // address - body - date - read - protocol ("-1") - type
    auto f = hexFields(args, 6);
    if (!f || faults_.diskFull)
        return intReply(-1);
    if (restrictsSmsWriters(config_) && !holdsSmsRole())
        return intReply(-1); // only the default SMS app may write messages
    const std::string& address = (*f)[0];
    int64_t thread = store_.threadFor(address);
    std::string date = (*f)[2].empty() ? std::to_string(nowMs()) : (*f)[2];
    int64_t id = store_.insert(Kind::Messages, {thread ? std::to_string(thread) : "", address, "",
                                                (*f)[1], date, (*f)[5], (*f)[3]});
    return intReply(id > 0 ? 1 : -1);
}

std::string Session::addPerson(std::string_view args) {
    auto parts = splitOn(args, ':');
    auto name = hexDecode(parts[0]);
    auto mobile = parts.size() > 1 ? hexDecode(parts[1]) : std::optional<std::string>("");
    if (parts.size() > 2 || !name || !mobile || faults_.diskFull)
        return int64Reply(-1);
    std::vector<std::string> values(kindSpec(Kind::Contacts).columns.size());
    values[0] = *name;
    values[3] = *mobile;
    int64_t id = store_.insert(Kind::Contacts, values);
    return int64Reply(id > 0 ? id : -1);
}

std::string Session::updatePerson(std::string_view args) {
    auto parts = splitOn(args, ':');
    if (parts.size() != 3 || faults_.diskFull)
        return intReply(-1);
    auto id = parseInteger(parts[0]);
    auto value = hexDecode(parts[1]);
    auto key = contactUpdateKeys().find(parts[2]);
    if (!id || !value || key == contactUpdateKeys().end())
        return intReply(-1);
    return intReply(store_.update(Kind::Contacts, *id, key->second, *value));
}

std::string Session::addPerson3(std::string_view args) {
    // name, eighteen fields by position, a closing blank, then given and
    // family name when the name has both parts
    auto f = hexFields(args, 19);
    if (!f || faults_.diskFull)
        return int64Reply(-1);
    const KindSpec& layout = kindSpec(Kind::Contacts);
    std::vector<std::string> values(layout.columns.size());
    values[0] = (*f)[0];
    if (f->size() >= 22 && !(*f)[21].empty()) {
        values[0] = (*f)[20];
        values[1] = (*f)[21];
    }
    for (int i = 0; i < 18; ++i)
        if (kAddPerson3Columns[i])
            values[static_cast<std::size_t>(layout.columnIndex(kAddPerson3Columns[i]))] =
                (*f)[static_cast<std::size_t>(i) + 1];
    int64_t id = store_.insert(Kind::Contacts, values);
    return int64Reply(id > 0 ? id : -1);
}

std::string Session::addCallHistory(std::string_view args) {
    auto f = hexFields(args, 4); // number - date - type - duration [- name]
    if (!f || faults_.diskFull)
        return intReply(-1);
    const std::string name = f->size() > 4 ? (*f)[4] : std::string();
    int64_t id = store_.insert(Kind::Calls, {name, (*f)[0], (*f)[1], (*f)[2], (*f)[3]});
    return intReply(id > 0 ? 1 : -1);
}

std::string Session::addCalendar(std::string_view args) {
    // title - start - end - location - time zone - description - alarm flag
    // - alarm minutes - recurrence (a single blank when there is none)
    auto f = hexFields(args, 9);
    if (!f || faults_.diskFull)
        return intReply(-1);
    std::string rrule = (*f)[8] == " " ? std::string() : (*f)[8];
    int64_t id = store_.insert(Kind::Events, {"1", (*f)[0], (*f)[1], (*f)[2], (*f)[3], (*f)[4],
                                              (*f)[5], (*f)[6], (*f)[7], rrule});
    return intReply(id > 0 ? 1 : -1);
}

} // namespace lab
