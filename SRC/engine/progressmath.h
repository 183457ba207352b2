// The progress bar's value from a snapshot of the job's counters, for each
// job mode. Pure, so the window's rules can be checked without a job.
#pragma once

#include <cstdint>
#include <optional>

#include "job_request.h"

namespace progressmath {

struct Snapshot {
    int32_t mode = 0;
    std::optional<kestrova::Kind> kind; // the kind in hand; none before the first
    int64_t current = 0;                // records or files done of the running kind
    int32_t total = -1;                 // of the running kind; below 1 = not known yet
    int64_t doneSize = 0;               // bytes of finished files of the running kind
    int64_t totalSize = 0;              // bytes of all files of the running kind
    int64_t fileDone = 0;               // bytes of the file in hand
    int64_t fileSize = 0;               // size of the file in hand
    int64_t videoBytes = 0;             // phone-to-phone: bytes of the video in hand
};

// The running kind's values of the job's counters.
Snapshot of(const kestrova::ProgressSnapshot& progress);

// State the window keeps between refreshes.
struct BarState {
    int value = 0;        // what the bar shows
    int creep = 0;        // pseudo-progress while an iPhone is being read
    int64_t fileDone = 0; // backup files: the window's own byte counter
};

// One refresh: updates state.value (and creep / fileDone where the mode
// uses them). A kind whose total is unknown leaves the bar where it is.
void refresh(const Snapshot& s, BarState& state);

// Percentage of part in whole, 0..100; 0 when whole is below 1.
int percent(int64_t part, int64_t whole);

} // namespace progressmath
