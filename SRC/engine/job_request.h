// What one copy is asked to do, written by the main window or the headless
// driver before the job starts, and the job's counters that the progress
// window and the driver read while it runs.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "kind.h"

// Device kinds and job modes shared with the main window.
enum : int32_t {
    kDeviceAndroid = 1001,
    kDeviceIphone = 1002,
    kDeviceItunesBackup = 9000,
    kDeviceFolder = 9001, // a folder of exported files (destination only)
};
enum : int32_t {
    kModeAndroid2Android = 2001,
    kModeAndroid2Iphone = 2002,
    kModeIphone2Android = 2003,
    kModeIphone2Iphone = 2004,
    kModeItunes2Android = 2005,
    kModeItunes2Iphone = 2006,
};

namespace kestrova {

// The words for a preparation step at permille: "Reading the iPhone: 43%".
std::string preparingText(int permille);
// The same in the user's language, for the windows.
QString localisedPreparingText(int permille);
// What the job is doing before its first kind, for whoever shows progress.
enum class Stage : int32_t {
    None = 0,
    UnlockingBackup = 1, // deriving an encrypted backup's keys from its password
};

// Words for a stage: "Unlocking the backup...".
const char* stageText(Stage stage);

// Overwrites a text that held a password, then empties it.
void wipeSecret(std::string* text);

// The job mode for a source and destination device kind.
int32_t modeFor(int32_t sourceType, int32_t destinationType);

struct JobRequest {
    int32_t sourceType = kDeviceAndroid;
    int32_t sourceIndex = 0; // phone position, iPhone list position or backup index
    int32_t destinationType = kDeviceAndroid;
    int32_t destinationIndex = 1;
    KindSet kinds;
    QString destinationFolder; // kDeviceFolder: where the files go
    QString workFolder;        // the job's own folder; created private if missing
    // The job holds its phones against other jobs; false when the caller
    // already holds them (the driver locks before it prepares the phones).
    bool lockPhones = true;
    // Items the destination already holds are not copied again (identity.h);
    // false copies everything, as a job did before it could tell.
    bool skipExisting = true;
    // Counts per kind what the source offers, what is already there and what
    // would be copied, and writes nothing (no SMS-app prompt either).
    bool dryRun = false;
    // An encrypted backup's password, when the caller has one. The job wipes
    // it as soon as the source has taken it; never logged.
    std::string backupPassword;
    // The user was asked for that password and declined: every kind is
    // skipped, "no password given".
    bool backupPasswordDeclined = false;

    int32_t mode() const { return modeFor(sourceType, destinationType); }
};

// Counters of one kind as the job writes them.
struct KindProgress {
    std::atomic<bool> finished{false};
    std::atomic<uint32_t> current{0}; // records or files done
    std::atomic<int32_t> total{-1};   // what the source offered; -1 not known yet
    std::atomic<int64_t> totalSize{0};
    std::atomic<int64_t> doneSize{0};
};

// Everything the job publishes while it runs, written by the job's thread
// and read by any other; every field is atomic so no read is torn.
struct JobProgress {
    PerKind<KindProgress> kinds;
    std::atomic<int32_t> running{-1}; // position of the kind in hand, -1 before the first
    std::atomic<int32_t> smsCountdown{60};
    std::atomic<int64_t> fileDone{0}; // bytes of the file in hand
    std::atomic<int64_t> fileSize{0};
    // The source's preparation step in tenths of a percent (a live iPhone
    // being backed up); -1 when none is running.
    std::atomic<int32_t> preparing{-1};
    std::atomic<int32_t> stage{0}; // a Stage

    void reset();
    std::optional<Kind> runningKind() const;
};

// A copy of the counters at one moment, for whoever draws them.
struct ProgressSnapshot {
    struct PerKindValues {
        bool selected = false;
        bool finished = false;
        uint32_t current = 0;
        int32_t total = -1;
        int64_t totalSize = 0;
        int64_t doneSize = 0;
    };
    int32_t mode = 0;
    std::optional<Kind> running;
    PerKind<PerKindValues> kinds;
    int32_t smsCountdown = 60;
    int64_t fileDone = 0;
    int64_t fileSize = 0;
    int32_t preparing = -1; // tenths of a percent, -1 when no preparation step runs
    Stage stage = Stage::None;
};

} // namespace kestrova
