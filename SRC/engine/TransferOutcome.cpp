#include "TransferOutcome.h"

#include <cstring>

namespace kestrova {

std::string fitFileName(const std::string& name) {
    constexpr size_t kLimit = 255;
    if (name.size() <= kLimit)
        return name;
    const size_t dot = name.rfind('.');
    std::string extension =
        dot != std::string::npos && dot > 0 && name.size() - dot <= 16 ? name.substr(dot) : "";
    size_t keep = kLimit - extension.size();
    // Never cut a UTF-8 character in two: back up to the start of one.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return name.substr(0, keep) + extension;
}

const char* reasonText(Reason reason) {
    switch (reason) {
    case Reason::None:
        return "";
    case Reason::SmsPromptNotAccepted:
        return "not accepted on the phone";
    case Reason::BackupEncrypted:
        return "backup is encrypted (password needed)";
    case Reason::RelayRefused:
        return "the iPhone does not give out this data";
    case Reason::SourceGone:
        return "source phone disconnected";
    case Reason::DestinationGone:
        return "destination phone disconnected";
    case Reason::FileMissing:
        return "file missing";
    case Reason::ReadFailed:
        return "could not be read";
    case Reason::WriteFailed:
        return "refused by the destination";
    case Reason::NotTransferable:
        return "incomplete records";
    case Reason::NotSupported:
        return "not supported by the source";
    case Reason::Cancelled:
        return "cancelled";
    case Reason::SourceUnavailable:
        return "source not available";
    case Reason::UnsafeFile:
        return "not a plain file of the backup";
    case Reason::BackupIncomplete:
        return "the backup was not finished";
    case Reason::DestinationUnavailable:
        return "destination not available";
    case Reason::NotTrusted:
        return "unlock the iPhone and tap Trust";
    case Reason::PhoneBusy:
        return "the phone is in use by another copy";
    case Reason::BackupEncryptionOn:
        return "backup encryption is on (password needed)";
    case Reason::NoSpace:
        return "not enough free space on this computer for the iPhone's backup";
    case Reason::DestinationUnreadable:
        return "what the destination holds could not be read";
    case Reason::WrongPassword:
        return "wrong backup password";
    case Reason::NoPassword:
        return "no password given";
    }
    return "";
}

const char* reasonKey(Reason reason) {
    switch (reason) {
    case Reason::None:
        return "none";
    case Reason::SmsPromptNotAccepted:
        return "sms_prompt_not_accepted";
    case Reason::BackupEncrypted:
        return "backup_encrypted";
    case Reason::RelayRefused:
        return "relay_refused";
    case Reason::SourceGone:
        return "source_gone";
    case Reason::DestinationGone:
        return "destination_gone";
    case Reason::FileMissing:
        return "file_missing";
    case Reason::ReadFailed:
        return "read_failed";
    case Reason::WriteFailed:
        return "write_failed";
    case Reason::NotTransferable:
        return "not_transferable";
    case Reason::NotSupported:
        return "not_supported";
    case Reason::Cancelled:
        return "cancelled";
    case Reason::SourceUnavailable:
        return "source_unavailable";
    case Reason::UnsafeFile:
        return "unsafe_file";
    case Reason::BackupIncomplete:
        return "backup_incomplete";
    case Reason::DestinationUnavailable:
        return "destination_unavailable";
    case Reason::NotTrusted:
        return "not_trusted";
    case Reason::PhoneBusy:
        return "phone_busy";
    case Reason::BackupEncryptionOn:
        return "backup_encryption_on";
    case Reason::NoSpace:
        return "no_space";
    case Reason::DestinationUnreadable:
        return "destination_unreadable";
    case Reason::WrongPassword:
        return "wrong_password";
    case Reason::NoPassword:
        return "no_password";
    }
    return "none";
}

const char* outcomeKey(Outcome outcome) {
    switch (outcome) {
    case Outcome::NotSelected:
        return "not_selected";
    case Outcome::Waiting:
        return "waiting";
    case Outcome::Running:
        return "running";
    case Outcome::Success:
        return "success";
    case Outcome::Partial:
        return "partial";
    case Outcome::Failed:
        return "failed";
    case Outcome::Skipped:
        return "skipped";
    case Outcome::Cancelled:
        return "cancelled";
    }
    return "";
}

void KindCounters::reset() {
    offered = -1;
    copied = 0;
    failed = 0;
    skipped = 0;
    already = 0;
    dryRun = false;
    planned = 0;
    plannedBytes = 0;
    reason = 0;
    elapsedMs = 0;
    renamed = 0;
    changed = 0;
    started = false;
    finished = false;
    cancelled = false;
}

void KindCounters::setReason(Reason r) {
    int expected = 0;
    reason.compare_exchange_strong(expected, static_cast<int>(r));
}

Outcome evaluate(const KindCounters& c, bool selected) {
    if (!selected)
        return Outcome::NotSelected;
    if (c.cancelled)
        return Outcome::Cancelled;
    if (!c.started)
        return Outcome::Waiting;
    if (!c.finished)
        return Outcome::Running;
    const int64_t offered = c.offered;
    const int64_t copied = c.copied;
    const int64_t failed = c.failed;
    const int64_t skipped = c.skipped;
    // What was already there counts as arrived; a dry run counts what it
    // would copy instead of what it copied.
    const int64_t arrived = copied + c.already + (c.dryRun ? c.planned.load() : 0);
    const Reason reason = c.firstReason();
    // A kind that could not even be read has failed, whatever it counted.
    if (offered < 0) {
        if (reason == Reason::NoPassword)
            return Outcome::Skipped; // the user's own choice, not a fault
        return reason == Reason::None ? Outcome::Success : Outcome::Failed;
    }
    if (failed == 0 && skipped == 0 && arrived >= offered && reason == Reason::None)
        return Outcome::Success;
    if (arrived == 0 && failed == 0 && skipped > 0)
        return Outcome::Skipped;
    if (arrived == 0)
        return Outcome::Failed;
    return Outcome::Partial;
}

namespace {

// ", 30 already there" when anything was.
std::string alreadyText(const KindCounters& c) {
    return c.already.load() > 0 ? ", " + std::to_string(c.already.load()) + " already there" : "";
}

std::string shortenedText(const KindCounters& c) {
    std::string text;
    if (c.renamed.load() > 0)
        text += " (" + std::to_string(c.renamed.load()) +
                " names too long for the phone were shortened)";
    if (c.changed.load() == 1)
        text += " (1 text held a NUL byte, replaced)";
    else if (c.changed.load() > 1)
        text += " (" + std::to_string(c.changed.load()) + " texts held a NUL byte, replaced)";
    return text;
}

} // namespace

std::string describe(const KindCounters& c, bool selected) {
    const Outcome outcome = evaluate(c, selected);
    const std::string why = reasonText(c.firstReason());
    const std::string offered = std::to_string(c.offered.load() < 0 ? 0 : c.offered.load());
    const std::string withWhy = why.empty() ? "" : " (" + why + ")";
    // Neither copied nor already there: failed, skipped or cut short.
    const std::string missing =
        std::to_string(c.offered.load() - c.copied.load() - c.already.load());
    switch (outcome) {
    case Outcome::NotSelected:
        return "";
    case Outcome::Waiting:
        return "Waiting";
    case Outcome::Running:
        return "Copying";
    case Outcome::Success:
        if (c.dryRun.load())
            return "Dry run: " + std::to_string(c.planned.load()) + " to copy" + alreadyText(c);
        if (c.already.load() > 0)
            return "Success: " + std::to_string(c.copied.load()) + " copied" + alreadyText(c) +
                   shortenedText(c);
        return "Success" + shortenedText(c);
    case Outcome::Skipped:
        return why.empty() ? "Skipped: " + std::to_string(c.skipped.load()) + " of " + offered
                           : "Skipped: " + why;
    case Outcome::Failed:
        if (c.offered.load() <= 0)
            return "Failed: " + (why.empty() ? std::string("could not be read") : why);
        return "Failed: " + missing + " of " + offered + withWhy;
    case Outcome::Partial:
        // All that the source listed arrived, but the source itself is short.
        if (c.failed.load() == 0 && c.skipped.load() == 0 &&
            c.copied.load() + c.already.load() >= c.offered.load())
            return "Copied " + std::to_string(c.copied.load()) + " of " + offered + withWhy +
                   alreadyText(c);
        return "Failed: " + missing + " of " + offered + withWhy + alreadyText(c);
    case Outcome::Cancelled:
        // A kind the cancel reached before it had counted anything never began.
        if (c.offered.load() < 0)
            return "Cancelled before it started";
        return "Cancelled: " + std::to_string(c.copied.load()) + " of " + offered + " copied" +
               alreadyText(c);
    }
    return "";
}

} // namespace kestrova
