// One loop for every source and destination: it copies a kind from the
// source into the destination and keeps its outcome, with the cancel and
// the is-the-phone-still-there checks written once.
#pragma once

#include <functional>

#include "TransferOutcome.h"
#include "destination.h"
#include "job_request.h"
#include "source.h"

namespace kestrova {

class JobLoop {
  public:
    JobLoop(Source& source, Destination& destination, JobProgress& progress,
            PerKind<KindCounters>& outcomes, std::function<bool()> stopped, SmsPrompt prompt);

    // Copies one kind from beginning to end: its counters tell what arrived.
    void copyKind(Kind kind);

  private:
    // Counts a personal kind and records the offer: how many to copy.
    int64_t countRecords(Kind kind);
    void copyRecords(Kind kind);
    void copyMessages();
    void copyFiles(Kind kind);
    // Writes every record from position 0 up to total, page by page.
    void writePages(Kind kind, int64_t total);
    // After failed writes: records the destination stored although their
    // reply was lost count as copied, so the report is what arrived.
    void recount(Kind kind, int64_t before);
    void copyOneFile(Kind kind, const FileEntry& entry);

    // Records what the source offered; false when there is nothing to copy.
    // A count below one from a phone that no longer answers is not "nothing".
    bool offerCount(Kind kind, int64_t total);
    void copied(Kind kind) { m_outcomes[kind].copied++; }
    void failed(Kind kind, Reason why);
    void skipped(Kind kind, Reason why);
    bool sourceAlive(Kind kind);
    bool destinationAlive(Kind kind);
    bool gone() const { return m_sourceGone || m_destinationGone; }
    // Counts whatever the source offered but the kind neither copied, failed
    // nor skipped (an early end) as failed, with the reason given.
    void settle(Kind kind, Reason why);

    Source& m_source;
    Destination& m_destination;
    JobProgress& m_progress;
    PerKind<KindCounters>& m_outcomes;
    std::function<bool()> m_stopped;
    SmsPrompt m_prompt;
    bool m_sourceGone = false;
    bool m_destinationGone = false;
};

} // namespace kestrova
