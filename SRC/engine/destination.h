// Where a job's records and files go: today an Android phone. A destination
// stores one record or one whole file at a time and never leaves a partial
// file behind; it also asks its user to let the program write messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

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

class Destination {
  public:
    virtual ~Destination() = default;

    virtual bool addRecord(const RecordRef& record) = 0;
    // How many records of a personal kind the destination holds; -1 when it
    // cannot tell. A write whose reply was lost may still have been stored:
    // the job counts again before it reports.
    virtual int64_t countRecords(Kind kind) { return -1; }
    // Stores a whole file under a free name near `name`; nothing stays
    // behind of a file that did not arrive.
    virtual AddResult addFile(Kind kind, SourceFile& file, const std::string& name,
                              int64_t expectedSize, FileProgress& progress) = 0;

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
