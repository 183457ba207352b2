// Where a job's records and files come from: an Android phone, an iPhone or
// an iTunes backup. The job asks a source, kind by kind, how much it holds,
// for its records page by page and for its files one by one; the source hides
// which library and which protocol stand behind it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "TransferOutcome.h"
#include "destination.h"
#include "kind.h"
#include "record_ref.h"

namespace kestrova {

// What a source needs of the job that drives it.
struct JobContext {
    QString workFolder;            // the job's private folder (scratch files, extracted databases)
    std::function<bool()> stopped; // true once the user cancelled
    std::atomic<int32_t>* stage = nullptr; // JobProgress::stage, for a long preparation step
    // How far a long preparation step is, in tenths of a percent (-1: done).
    std::function<void(int)> preparing = [](int) {};
};

// What a source's preparation made that the report names: the backup a
// live iPhone was read through, and how long taking it took.
struct PreparationInfo {
    std::string backupFolder;
    int64_t backupMs = -1;   // -1: no backup was taken
    int64_t backupBytes = 0; // file bytes the phone sent for it
};

// How many items a kind holds, or why that could not be told.
struct Count {
    int64_t items = 0;
    Reason why = Reason::None;
};

// Records beginning at a position: the head of a list the source owns, valid
// until the next page of the same kind, and how many positions the page
// covers (the next page begins that far on). A source that loads a kind
// whole gives every record as the first page.
struct RecordPage {
    RecordRef head;
    int64_t span = 0;
    Reason why = Reason::None;
};

// One file a source offers.
struct FileEntry {
    std::string name;     // file name on the destination
    std::string location; // where the source finds it (phone path, backup file)
    int64_t size = 0;
    int64_t modified = 0;      // when the file last changed, seconds since 1970; 0 unknown
    int64_t id = 0;            // the source's own id, where it has one
    int position = 0;          // the entry's place in the source's list
    Reason why = Reason::None; // the entry could not be described: it fails in its turn
};

// The bytes of one file on their way to the destination: a local file (a
// backup's own, or one the source exported into the scratch file), or a
// stream read piece by piece. Letting go of it closes the stream and removes
// any scratch copy.
class SourceFile {
  public:
    virtual ~SourceFile() = default;
    // A local path holding the file's bytes, or empty when the file streams.
    virtual std::string localPath() const { return {}; }
    // The next bytes: their count, 0 at the end, below 0 when the read broke off.
    virtual int read(char* buffer, int capacity) { return -1; }
    // When the original last changed (seconds since 1970), so a copy in a
    // folder can keep its date; 0 when the source does not say.
    virtual int64_t modified() const { return 0; }
};

struct OpenedFile {
    std::unique_ptr<SourceFile> file;
    Reason why = Reason::None;
};

class Source {
  public:
    virtual ~Source() = default;

    // Once per job, before the first kind: fetch databases, open a backup.
    // False when the job cannot go on at all (cancelled during it).
    virtual bool prepare(const JobContext& context, const KindSet& kinds) = 0;
    // A failure found while preparing that ends this kind before it begins.
    virtual Reason unavailable(Kind kind) const = 0;
    // What names the device for the phone lock (a serial, a UDID); empty
    // for a source no other job can disturb.
    virtual std::string identity() const { return {}; }
    // True when what the source holds may be short of what it should (a
    // backup that was never finished): every kind says so.
    virtual bool incomplete() const { return false; }
    virtual PreparationInfo preparation() const { return {}; }

    virtual Count count(Kind kind) = 0;
    virtual RecordPage page(Kind kind, int64_t start) = 0;
    // The files of a kind. A source whose descriptions cost a round trip
    // each may list bare entries and describe each one in its turn.
    virtual Count listFiles(Kind kind, std::vector<FileEntry>* files) = 0;
    virtual void describe(Kind kind, FileEntry& entry) {}
    virtual OpenedFile open(Kind kind, const FileEntry& entry) = 0;

    // Copies a file straight into the destination when this pair of devices
    // has a shorter way than through the computer; nullopt when it has none.
    virtual std::optional<AddResult> copyDirect(Kind kind, const FileEntry& entry,
                                                Destination& destination) {
        return std::nullopt;
    }

    // After a failed read: true while the source still answers.
    virtual bool alive() { return true; }
    // The user cancelled: stop a file read at its next piece.
    virtual void abort() {}
    // The cancel is not taken up in time (a phone stopped answering): cut
    // the exchange in progress short, whatever it is.
    virtual void interrupt() {}
    // The job has ended: remove whatever the source extracted.
    virtual void finish() {}
};

} // namespace kestrova
