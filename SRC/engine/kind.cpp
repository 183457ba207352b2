#include "kind.h"

namespace kestrova {

namespace {
constexpr KindInfo kKinds[kKindCount] = {
    {Kind::Contacts, "contacts", "Contacts", KindFamily::Personal},
    {Kind::Sms, "sms", "SMS", KindFamily::Personal},
    {Kind::CallLogs, "calllogs", "Call Logs", KindFamily::Personal},
    {Kind::Calendar, "calendar", "Calendar", KindFamily::Personal},
    {Kind::Photos, "photos", "Photos", KindFamily::Media},
    {Kind::Videos, "videos", "Videos", KindFamily::Media},
    {Kind::Music, "music", "Musics", KindFamily::Media},
    {Kind::Apps, "apps", "Apps", KindFamily::Apps},
};
} // namespace

const KindInfo& kindInfo(Kind kind) { return kKinds[indexOf(kind)]; }

std::optional<Kind> kindFromKey(std::string_view key) {
    for (const KindInfo& info : kKinds)
        if (key == info.key)
            return info.kind;
    return std::nullopt;
}

} // namespace kestrova
