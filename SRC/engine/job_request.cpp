#include "job_request.h"

namespace kestrova {

void JobProgress::reset() {
    for (KindProgress& k : kinds) {
        k.finished = false;
        k.current = 0;
        k.total = -1;
        k.totalSize = 0;
        k.doneSize = 0;
    }
    running = -1;
    smsCountdown = 60;
    fileDone = 0;
    fileSize = 0;
}

std::optional<Kind> JobProgress::runningKind() const {
    const int k = running;
    if (k < 0 || k >= kKindCount)
        return std::nullopt;
    return kindAt(k);
}

} // namespace kestrova
