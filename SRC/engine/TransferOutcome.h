// What became of each kind of data in a transfer job: how many records or
// files arrived, failed or were skipped, and why. The job writes these
// counters from its own thread; windows and the headless driver read them at
// any time, so every field is atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "kind.h"

#include <QString>

namespace kestrova {

// Why records or files of a kind did not arrive. The first reason recorded
// for a kind is kept; later ones are usually consequences of it.
enum class Reason : int {
    None = 0,
    SmsPromptNotAccepted,   // the destination's user never made us the SMS app
    BackupEncrypted,        // the backup is encrypted and no password was given
    RelayRefused,           // the iPhone refuses to hand out its databases
    SourceGone,             // the source phone vanished or stopped answering
    DestinationGone,        // the destination phone vanished or stopped answering
    FileMissing,            // a file listed by the source is not there
    ReadFailed,             // the source could not give a record or file
    WriteFailed,            // the destination refused a record or file
    NotTransferable,        // the record lacks what the destination needs (no id, no number, ...)
    NotSupported,           // the source cannot give this kind at all
    Cancelled,              // the user cancelled
    SourceUnavailable,      // the source could not be opened for this kind
    UnsafeFile,             // a link, folder or device where the source lists a plain file
    BackupIncomplete,       // the backup was never finished: more may be missing than it lists
    DestinationUnavailable, // the destination could not be found or made ready
    NotTrusted,             // the iPhone is locked or does not trust this computer yet
    PhoneBusy,              // another copy is using the phone
    BackupEncryptionOn,     // the iPhone encrypts its backups: a password is needed
    NoSpace,                // too little free space on this computer for the iPhone's backup
    DestinationUnreadable,  // what the destination already holds could not be read
    WrongPassword,          // the password given does not unlock the backup
    NoPassword,             // the user declined to give the backup's password
};

// A file name that fits a phone's limit of 255 bytes: cut at a character
// boundary before its extension, which is kept. Unchanged when it fits.
std::string fitFileName(const std::string& name);

// Short words for a reason, as shown after "Failed:" or "Skipped:".
const char* reasonText(Reason reason);
const char* reasonKey(Reason reason);

enum class Outcome {
    NotSelected,
    Waiting,   // ticked, not started yet
    Running,   // in progress
    Success,   // everything the source offered arrived
    Partial,   // some arrived, some did not
    Failed,    // nothing arrived of what the source offered
    Skipped,   // deliberately not copied (for example the SMS prompt was not accepted)
    Cancelled, // the user stopped the job during or before this kind
};

const char* outcomeKey(Outcome outcome);

struct KindCounters {
    std::atomic<int64_t> offered{-1}; // records or files the source offered; -1 unknown
    std::atomic<int64_t> copied{0};
    std::atomic<int64_t> failed{0};
    std::atomic<int64_t> skipped{0};
    // Items the destination already held (an earlier run brought them, or the
    // user had them): not written again, and they count towards success.
    std::atomic<int64_t> already{0};
    // A dry run writes nothing: what it would copy, and their bytes (files).
    std::atomic<bool> dryRun{false};
    std::atomic<int64_t> planned{0};
    std::atomic<int64_t> plannedBytes{0};
    std::atomic<int> reason{0};
    std::atomic<int64_t> elapsedMs{0}; // time the kind took, set when it ends
    std::atomic<int64_t> renamed{0};   // files stored under a shortened name
    std::atomic<int64_t> changed{0};   // records stored with a NUL byte of a text replaced
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> cancelled{false};

    void reset();
    void setReason(Reason r); // keeps the first reason
    Reason firstReason() const { return static_cast<Reason>(reason.load()); }
};

// The outcome of one kind from its counters.
Outcome evaluate(const KindCounters& counters, bool selected);

// One line for people: "Success", "Success: 120 copied, 30 already there",
// "Failed: 3 of 120 (phone disconnected)", "Skipped: not accepted on the
// phone", "Cancelled: 40 of 120 copied"; a dry run: "Dry run: 120 to copy,
// 30 already there".
// Always English: the driver's report is read by programs.
std::string describe(const KindCounters& counters, bool selected);

// The same line, and a reason's words, in the language of the translation
// the program installed (English without one), for the windows.
QString localisedDescribe(const KindCounters& counters, bool selected);
QString localisedReason(Reason reason);

} // namespace kestrova
