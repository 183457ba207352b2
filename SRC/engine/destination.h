// Where a job's records and files go: an Android phone or a folder of
// exported files. A destination stores one record or one whole file at a
// time and never leaves a partial file behind; it also asks its user to let
// the program write messages. Before a kind is written it tells what it
// already holds, so that a job run again skips what arrived before.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "identity.h"
#include "kind.h"
#include "record_ref.h"

namespace kestrova {

class SourceFile;

// The job's side of the default-SMS-app prompt: the countdown shown to the
// user and the hooks that show and hide it.
struct SmsPrompt {
    std::atomic<int32_t>* countdown = nullptr;
    std::function<bool()> stopped;
    std::function<void()> sleepOneSecond;
    std::function<void()> show;
    std::function<void()> hide;
};

// Bytes of the file in hand, for the progress bar.
struct FileProgress {
    std::atomic<int64_t>* done = nullptr;
    std::function<bool()> stopped;
};

// What became of one file: it arrived whole, or it did not because the
// source broke off, the destination refused it, or the user cancelled.
enum class AddResult { Arrived, ReadFailed, WriteFailed, Interrupted };

// A file the destination already holds in the folder a kind goes to.
struct StoredFile {
    std::string name; // its name in that folder (an app: its package name)
    int64_t size = 0;
    int64_t id = 0;       // the destination's own id, where it has one
    std::string location; // where the destination keeps it
};

class Destination {
  public:
    virtual ~Destination() = default;

    virtual bool addRecord(const RecordRef& record) = 0;
    // How many records of a personal kind the destination holds; -1 when it
    // cannot tell. A write whose reply was lost may still have been stored:
    // the job counts again before it reports.
    virtual int64_t countRecords(Kind kind) { return -1; }
    // Records of a kind that were stored only in part (a contact whose fields
    // were not all confirmed): counted by countRecords, yet not copied.
    virtual int64_t incompleteRecords(Kind) const { return 0; }
    // Stores a whole file under a free name near `name`; nothing stays
    // behind of a file that did not arrive.
    virtual AddResult addFile(Kind kind, SourceFile& file, const std::string& name,
                              int64_t expectedSize, FileProgress& progress) = 0;
    // After the last record of a kind (also after a cancel): false when the
    // records handed over could not be kept after all (a destination that
    // writes a kind's file at its end).
    virtual bool finishKind(Kind kind) { return true; }

    // What the destination already holds. Records of a personal kind, page
    // by page, each handed to `each` (which answers false to stop); false
    // when they could not all be read.
    virtual bool readRecords(Kind kind, const std::function<bool(const RecordRef&)>& each) {
        return false;
    }
    // The files in the folder where the kind's files go (apps: the
    // installed packages); false when they could not be listed.
    virtual bool listStored(Kind kind, std::vector<StoredFile>* files) { return false; }
    // The name a file of this name is given in that folder, before a clash.
    virtual std::string storedName(Kind kind, const std::string& name) const { return name; }
    // Copies a stored file's bytes to a local path (to compare contents);
    // false when it cannot.
    virtual bool fetchStored(Kind kind, const StoredFile& file, const std::string& localPath) {
        return false;
    }
    // How this destination's phone numbers compare (its country).
    virtual NumberRules numberRules() { return {}; }

    // Before messages are written: true when the destination lets us write
    // them (the default-SMS-app handshake). `changed` says whether endMessages
    // has to hand the role back.
    virtual bool beginMessages(SmsPrompt& prompt, bool* changed) = 0;
    virtual void endMessages(bool changed) = 0;

    // Once per job, before the first kind.
    virtual void prepare() {}
    // What names the device for the phone lock.
    virtual std::string identity() const { return {}; }
    // After a failed write: true while the destination still answers.
    virtual bool alive() = 0;
    // The user cancelled: stop a file write at its next piece.
    virtual void abort() {}
    // The cancel is not taken up in time: cut the exchange in progress short.
    virtual void interrupt() {}
    // The job has ended: let go of the device (its channel and forward).
    virtual void finish() {}
};

} // namespace kestrova
