#include "progressmath.h"

#include <algorithm>

namespace progressmath {
namespace {

constexpr int64_t kUnknownSizeDivisor = 9999999;

int sizeShare(int64_t done, int64_t totalSize) {
    const int64_t divisor = totalSize >= 1 ? totalSize : kUnknownSizeDivisor;
    return percent(std::min(totalSize, done), divisor);
}

void androidToAndroid(const Snapshot& s, BarState& st) {
    if (!s.kind) {
        st.value = 0;
        return;
    }
    if (s.total < 1)
        return;
    if (*s.kind == kestrova::Kind::Videos)
        st.value = percent(std::min(s.totalSize, s.videoBytes + s.doneSize), s.totalSize);
    else
        st.value = percent(s.current, s.total);
}

void iphoneToAndroid(const Snapshot& s, BarState& st) {
    if (!s.kind) {
        // Fetching the phone's databases or lists: nothing to measure yet.
        st.creep = std::min(st.creep + 1, 30);
        st.value = st.creep;
        return;
    }
    if (s.total < 1)
        return;
    const int p = kestrova::isMedia(*s.kind) ? sizeShare(s.fileDone + s.doneSize, s.totalSize)
                                             : percent(s.current, s.total);
    if (p >= st.creep)
        st.creep = 0;
    st.value = std::max(st.creep, p);
}

void backupToAndroid(const Snapshot& s, BarState& st) {
    if (!s.kind) {
        st.value = 0;
        return;
    }
    if (s.total < 1)
        return;
    if (*s.kind == kestrova::Kind::Videos || *s.kind == kestrova::Kind::Music) {
        // The library call that copies a backup file reports nothing, so the
        // window advances its own counter within the file in hand.
        st.fileDone = std::min(st.fileDone + 1024, s.fileSize);
        st.value = sizeShare(st.fileDone + s.doneSize, s.totalSize);
    } else {
        st.value = percent(s.current, s.total);
    }
}

} // namespace

Snapshot of(const kestrova::ProgressSnapshot& p) {
    Snapshot s;
    s.mode = p.mode;
    s.kind = p.running;
    if (p.running) {
        const auto& k = p.kinds[*p.running];
        s.current = k.current;
        s.total = k.total;
        s.doneSize = k.doneSize;
        s.totalSize = k.totalSize;
    }
    s.fileDone = p.fileDone;
    s.fileSize = p.fileSize;
    return s;
}

int percent(int64_t part, int64_t whole) {
    if (whole < 1)
        return 0;
    return static_cast<int>(std::clamp<int64_t>(part * 100 / whole, 0, 100));
}

void refresh(const Snapshot& s, BarState& state) {
    switch (s.mode) {
    case 2001:
        androidToAndroid(s, state);
        break;
    case 2003:
        iphoneToAndroid(s, state);
        break;
    case 2005:
        backupToAndroid(s, state);
        break;
    default:
        break;
    }
}

} // namespace progressmath
