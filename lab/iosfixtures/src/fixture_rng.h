// A small seeded generator whose sequence is the same on every platform
// (std distributions are not), so a seed always gives the same fixture.
#ifndef KESTROVA_IOSFIX_RNG_H
#define KESTROVA_IOSFIX_RNG_H

#include <cstdint>
#include <string>
#include <vector>

namespace iosfix {

class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); n > 0.
    uint64_t below(uint64_t n) { return next() % n; }
    int64_t range(int64_t lo, int64_t hi) { return lo + int64_t(below(uint64_t(hi - lo + 1))); }
    bool chance(int percent) { return below(100) < uint64_t(percent); }
    template <class T> const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }

  private:
    uint64_t state_;
};

} // namespace iosfix

#endif
