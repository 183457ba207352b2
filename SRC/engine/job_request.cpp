#include "job_request.h"

#include <QCoreApplication>

#include <cstring>

namespace kestrova {

namespace {
int percentOf(int permille) { return permille < 0 ? 0 : permille > 1000 ? 100 : permille / 10; }
} // namespace

std::string preparingText(int permille) {
    return "Reading the iPhone: " + std::to_string(percentOf(permille)) + "%";
}

QString localisedPreparingText(int permille) {
    return QCoreApplication::translate("Outcome", "Reading the iPhone: %1%")
        .arg(percentOf(permille));
}

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
    preparing = -1;
    stage = 0;
}

const char* stageText(Stage stage) {
    switch (stage) {
    case Stage::UnlockingBackup:
        return QT_TRANSLATE_NOOP("Outcome", "Unlocking the backup...");
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
