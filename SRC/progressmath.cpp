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
    if (s.kindIndex < 0 || s.kindIndex > 7) {
        st.value = 0;
        return;
    }
    if (s.total < 1)
        return;
    if (s.kindIndex == 5)
        st.value = percent(std::min(s.totalSize, s.videoBytes + s.doneSize), s.totalSize);
    else
        st.value = percent(s.current, s.total);
}

void iphoneToAndroid(const Snapshot& s, BarState& st) {
    const int k = s.kindIndex;
    if (k < 0 || k > 7) {
        // Fetching the phone's databases or lists: nothing to measure yet.
        st.creep = std::min(st.creep + 1, 30);
        st.value = st.creep;
        return;
    }
    if (s.total < 1)
        return;
    const int p = (k >= 4 && k <= 6) ? sizeShare(s.fileDone + s.doneSize, s.totalSize)
                                     : percent(s.current, s.total);
    if (p >= st.creep)
        st.creep = 0;
    st.value = std::max(st.creep, p);
}

void backupToAndroid(const Snapshot& s, BarState& st) {
    const int k = s.kindIndex;
    if (k < 0 || k > 7) {
        st.value = 0;
        return;
    }
    if (s.total < 1)
        return;
    if (k == 5 || k == 6) {
        // The library call that copies a backup file reports nothing, so the
        // window advances its own counter within the file in hand.
        st.fileDone = std::min(st.fileDone + 1024, s.fileSize);
        st.value = sizeShare(st.fileDone + s.doneSize, s.totalSize);
    } else {
        st.value = percent(s.current, s.total);
    }
}

} // namespace

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
