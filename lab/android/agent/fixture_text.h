// Seeded text for fixtures: names in several scripts, phone numbers in many
// written forms, message bodies from a few words to several KB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lab::fixture {

// splitmix64: the same numbers for a seed on every machine and library.
class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next();
    // 0 <= result < bound (bound > 0).
    uint64_t below(uint64_t bound) { return next() % bound; }
    bool chance(int percent) { return below(100) < static_cast<uint64_t>(percent); }
    template <class T> const T& pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(below(items.size()))];
    }

  private:
    uint64_t state_;
};

std::string givenName(Rng& rng);
std::string familyName(Rng& rng);
std::string phoneNumber(Rng& rng);
std::string emailFor(Rng& rng, const std::string& hint);
std::string sentence(Rng& rng);
// At least minBytes of text (whole sentences).
std::string paragraph(Rng& rng, std::size_t minBytes);
std::string streetAddress(Rng& rng);
std::string organization(Rng& rng);
std::string eventTitle(Rng& rng);
std::string timeZone(Rng& rng);
std::string recurrenceRule(Rng& rng);
std::string place(Rng& rng);

} // namespace lab::fixture
