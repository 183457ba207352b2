#include "job_request.h"

#include <cstring>

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
    stage = 0;
}

const char* stageText(Stage stage) {
    switch (stage) {
    case Stage::UnlockingBackup:
        return "Unlocking the backup...";
    case Stage::None:
        break;
    }
    return "";
}

void wipeSecret(std::string* text) {
    if (!text->empty())
        explicit_bzero(text->data(), text->size());
    text->clear();
}

std::optional<Kind> JobProgress::runningKind() const {
    const int k = running;
    if (k < 0 || k >= kKindCount)
        return std::nullopt;
    return kindAt(k);
}

} // namespace kestrova
