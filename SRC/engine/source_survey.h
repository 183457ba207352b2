// How much a source holds, kind by kind, counted on a thread of its own
// while the window waits for the user: the items of each kind and, for
// files, their bytes. The window reads the counts whenever it likes; a copy
// stops the survey first, since both talk to the same phone.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "kind.h"

namespace kestrova {

class Source;

struct SurveyCount {
    std::atomic<int64_t> items{-1}; // -1 not counted (yet, or could not be)
    std::atomic<int64_t> bytes{-1}; // files only
};

class SourceSurvey {
  public:
    SourceSurvey() = default;
    ~SourceSurvey();
    SourceSurvey(const SourceSurvey&) = delete;
    SourceSurvey& operator=(const SourceSurvey&) = delete;

    // Counts the kinds of the source (a device type and index as a job
    // takes them), preparing it in workFolder. A survey still running is
    // asked to stop and the new one begins at the next poll() after it has
    // ended, so the caller never waits for a phone.
    void start(int32_t sourceType, int32_t sourceIndex, const KindSet& kinds,
               const QString& workFolder);
    // Begins a survey asked for while another was ending; call it often
    // (the window's timer does).
    void poll();
    // Stops the survey at its next step and waits for it.
    void stop();
    bool running() const { return m_running; }
    const SurveyCount& count(Kind kind) const { return m_counts[kind]; }

  private:
    struct Request {
        int32_t sourceType = 0;
        int32_t sourceIndex = 0;
        KindSet kinds;
        QString workFolder;
    };
    void askToStop();
    void run(Request request);

    std::optional<Request> m_pending;

    PerKind<SurveyCount> m_counts;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::mutex m_sourceLock; // the source in hand, for stop() to abort
    Source* m_source = nullptr;
};

} // namespace kestrova
