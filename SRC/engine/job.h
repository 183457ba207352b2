// One loop for every source and destination: it copies a kind from the
// source into the destination and keeps its outcome, with the cancel and
// the is-the-phone-still-there checks written once. Before a kind is
// written the loop reads what the destination already holds of it and
// skips every item of the source found there (identity.h), so a job run
// again completes what an interrupted one began without writing anything
// twice.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "TransferOutcome.h"
#include "destination.h"
#include "identity.h"
#include "job_request.h"
#include "source.h"

namespace kestrova {

struct JobOptions {
    bool skipExisting = true; // JobRequest::skipExisting
    bool dryRun = false;      // JobRequest::dryRun
    QString workFolder;       // scratch room for comparing two files' contents
};

// The files a destination holds of one kind, each matched at most once.
class StoredFiles {
  public:
    void reset(std::vector<StoredFile> files);
    // Takes a file of exactly this name and size; false when none is left.
    bool takeExact(const std::string& name, int64_t size);
    // Files not taken yet whose name is this one with a clash suffix
    // ("IMG(1).jpg" for "IMG.jpg") and whose size is this one: maybe the
    // same file, stored beside another of its name.
    std::vector<size_t> variants(const std::string& name, int64_t size) const;
    const StoredFile& at(size_t i) const { return m_files[i]; }
    void take(size_t i) { m_taken[i] = true; }

  private:
    std::vector<StoredFile> m_files;
    std::vector<bool> m_taken;
    std::unordered_map<std::string, std::vector<size_t>> m_byName; // fileKey(name, size)
    std::unordered_map<std::string, std::vector<size_t>> m_byStem; // without the suffix
};

class JobLoop {
  public:
    JobLoop(Source& source, Destination& destination, JobProgress& progress,
            PerKind<KindCounters>& outcomes, std::function<bool()> stopped, SmsPrompt prompt,
            JobOptions options = {});

    // Copies one kind from beginning to end: its counters tell what arrived.
    void copyKind(Kind kind);

  private:
    // How a pass over the source's records treats a record not yet on the
    // destination: writes it, counts it as to be copied (a dry run), or
    // stops there (nothing is written before the SMS-app prompt unless
    // something new is to be written).
    enum class Pass { Write, Plan, UntilNew };

    // Counts a personal kind and records the offer: how many to copy.
    int64_t countRecords(Kind kind);
    void copyRecords(Kind kind);
    void copyMessages();
    void copyFiles(Kind kind);
    // Reads what the destination holds of the kind (when the job skips
    // what is there); false, with the reason recorded, when it cannot.
    bool takeStock(Kind kind);
    // Walks every record from position 0 up to total, page by page. True
    // when a UntilNew pass stopped at a record to be written.
    bool walkPages(Kind kind, int64_t total, Pass pass);
    // Takes the record's identity from what the destination holds.
    bool alreadyThere(const RecordRef& record);
    // The destination may keep a kind's records only at its end.
    void finishRecords(Kind kind);
    // After failed writes: records the destination stored although their
    // reply was lost count as copied, so the report is what arrived.
    void recount(Kind kind, int64_t before);
    void handleFile(Kind kind, const FileEntry& entry);
    bool fileAlreadyThere(Kind kind, const FileEntry& entry, const std::string& name);
    bool sameContent(Kind kind, const FileEntry& entry, const StoredFile& stored);
    void copyOneFile(Kind kind, const FileEntry& entry, const std::string& name);
    const NumberRules& numberRules();

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
    JobOptions m_options;
    bool m_sourceGone = false;
    bool m_destinationGone = false;
    Holdings m_holdings;  // the destination's records of the kind in hand
    StoredFiles m_stored; // its files of the kind in hand
    std::optional<NumberRules> m_rules;
};

} // namespace kestrova
