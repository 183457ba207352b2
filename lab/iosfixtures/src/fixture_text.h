// Sample texts for the fixtures: names in several scripts, words, emoji,
// phone numbers and e-mail addresses.
#ifndef KESTROVA_IOSFIX_TEXT_H
#define KESTROVA_IOSFIX_TEXT_H

#include "fixture_rng.h"

#include <string>

namespace iosfix {

struct PersonName {
    std::string first;
    std::string last;
};

PersonName randomName(Rng& rng);
std::string randomPhone(Rng& rng);
std::string randomEmail(Rng& rng, const std::string& hint);
std::string randomCompany(Rng& rng);
std::string randomCity(Rng& rng);
// A sentence of words from several scripts, sometimes with emoji.
std::string randomSentence(Rng& rng, int words);
// A body of at least minBytes bytes of UTF-8 (whole characters).
std::string longBody(Rng& rng, size_t minBytes);

} // namespace iosfix

#endif
