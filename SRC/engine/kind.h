// The eight kinds of data the program copies, in the order the checklist,
// the job and the progress rows use, with one table of their names.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kestrova {

enum class Kind : int { Contacts, Sms, CallLogs, Calendar, Photos, Videos, Music, Apps };

constexpr int kKindCount = 8;
constexpr std::array<Kind, kKindCount> kAllKinds = {Kind::Contacts, Kind::Sms,    Kind::CallLogs,
                                                    Kind::Calendar, Kind::Photos, Kind::Videos,
                                                    Kind::Music,    Kind::Apps};

// Position of a kind in the checklist and in the libraries' support checks.
constexpr int indexOf(Kind kind) { return static_cast<int>(kind); }
constexpr Kind kindAt(int index) { return kAllKinds[static_cast<std::size_t>(index)]; }

enum class KindFamily { Personal, Media, Apps };

struct KindInfo {
    Kind kind;
    const char* key;   // command lines and JSON: "contacts", "sms", ...
    const char* label; // the checklist and the progress rows: "Contacts", "SMS", ...
    KindFamily family;
};

const KindInfo& kindInfo(Kind kind);
inline const char* kindName(Kind kind) { return kindInfo(kind).label; }
inline const char* kindKey(Kind kind) { return kindInfo(kind).key; }
inline bool isPersonal(Kind kind) { return kindInfo(kind).family == KindFamily::Personal; }
// Photos, videos and music: files the user sees in the gallery and player.
inline bool isMedia(Kind kind) { return kindInfo(kind).family == KindFamily::Media; }
std::optional<Kind> kindFromKey(std::string_view key);

// A value per kind, indexed by the kind itself.
template <typename T> class PerKind {
  public:
    T& operator[](Kind kind) { return m_values[static_cast<std::size_t>(indexOf(kind))]; }
    const T& operator[](Kind kind) const {
        return m_values[static_cast<std::size_t>(indexOf(kind))];
    }
    auto begin() { return m_values.begin(); }
    auto end() { return m_values.end(); }
    auto begin() const { return m_values.begin(); }
    auto end() const { return m_values.end(); }

  private:
    std::array<T, kKindCount> m_values{};
};

using KindSet = PerKind<bool>;

} // namespace kestrova
