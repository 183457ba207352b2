#include "kind.h"

#include <QtGlobal>

namespace kestrova {

namespace {
// The labels are translated where they are shown, in the context "Kind".
constexpr KindInfo kKinds[kKindCount] = {
    {Kind::Contacts, "contacts", QT_TRANSLATE_NOOP("Kind", "Contacts"), KindFamily::Personal},
    {Kind::Sms, "sms", QT_TRANSLATE_NOOP("Kind", "SMS"), KindFamily::Personal},
    {Kind::CallLogs, "calllogs", QT_TRANSLATE_NOOP("Kind", "Call Logs"), KindFamily::Personal},
    {Kind::Calendar, "calendar", QT_TRANSLATE_NOOP("Kind", "Calendar"), KindFamily::Personal},
    {Kind::Photos, "photos", QT_TRANSLATE_NOOP("Kind", "Photos"), KindFamily::Media},
    {Kind::Videos, "videos", QT_TRANSLATE_NOOP("Kind", "Videos"), KindFamily::Media},
    {Kind::Music, "music", QT_TRANSLATE_NOOP("Kind", "Musics"), KindFamily::Media},
    {Kind::Apps, "apps", QT_TRANSLATE_NOOP("Kind", "Apps"), KindFamily::Apps},
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
