#include "TransferOutcome.h"

#include <QCoreApplication>

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

// The words are in English; localisedReason() gives them in the user's language.
const char* reasonText(Reason reason) {
    switch (reason) {
    case Reason::None:
        return "";
    case Reason::SmsPromptNotAccepted:
        return QT_TRANSLATE_NOOP("Reason", "not accepted on the phone");
    case Reason::BackupEncrypted:
        return QT_TRANSLATE_NOOP("Reason", "backup is encrypted (password needed)");
    case Reason::RelayRefused:
        return QT_TRANSLATE_NOOP("Reason", "the iPhone does not give out this data");
    case Reason::SourceGone:
        return QT_TRANSLATE_NOOP("Reason", "source phone disconnected");
    case Reason::DestinationGone:
        return QT_TRANSLATE_NOOP("Reason", "destination phone disconnected");
    case Reason::FileMissing:
        return QT_TRANSLATE_NOOP("Reason", "file missing");
    case Reason::ReadFailed:
        return QT_TRANSLATE_NOOP("Reason", "could not be read");
    case Reason::WriteFailed:
        return QT_TRANSLATE_NOOP("Reason", "refused by the destination");
    case Reason::NotTransferable:
        return QT_TRANSLATE_NOOP("Reason", "incomplete records");
    case Reason::NotSupported:
        return QT_TRANSLATE_NOOP("Reason", "not supported by the source");
    case Reason::Cancelled:
        return QT_TRANSLATE_NOOP("Reason", "cancelled");
    case Reason::SourceUnavailable:
        return QT_TRANSLATE_NOOP("Reason", "source not available");
    case Reason::UnsafeFile:
        return QT_TRANSLATE_NOOP("Reason", "not a plain file of the backup");
    case Reason::BackupIncomplete:
        return QT_TRANSLATE_NOOP("Reason", "the backup was not finished");
    case Reason::DestinationUnavailable:
        return QT_TRANSLATE_NOOP("Reason", "destination not available");
    case Reason::NotTrusted:
        return QT_TRANSLATE_NOOP("Reason", "unlock the iPhone and tap Trust");
    case Reason::PhoneBusy:
        return QT_TRANSLATE_NOOP("Reason", "the phone is in use by another copy");
    case Reason::BackupEncryptionOn:
        return QT_TRANSLATE_NOOP("Reason", "backup encryption is on (password needed)");
    case Reason::NoSpace:
        return QT_TRANSLATE_NOOP("Reason",
                                 "not enough free space on this computer for the iPhone's backup");
    case Reason::DestinationUnreadable:
        return QT_TRANSLATE_NOOP("Reason", "what the destination holds could not be read");
    case Reason::WrongPassword:
        return QT_TRANSLATE_NOOP("Reason", "wrong backup password");
    case Reason::NoPassword:
        return QT_TRANSLATE_NOOP("Reason", "no password given");
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

// One text of the outcome, in English (the driver's report) or in the
// user's language (the windows).
class Words {
  public:
    explicit Words(bool localised) : m_localised(localised) {}
    QString operator()(const char* context, const char* english) const {
        return m_localised ? QCoreApplication::translate(context, english)
                           : QString::fromUtf8(english);
    }

  private:
    bool m_localised;
};

QString describeText(const KindCounters& c, bool selected, const Words& words) {
    const Outcome outcome = evaluate(c, selected);
    const QString why = words("Reason", reasonText(c.firstReason()));
    const qint64 offered = c.offered.load() < 0 ? 0 : c.offered.load();
    const qint64 copied = c.copied.load();
    const qint64 already = c.already.load();
    const QString withWhy = why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why);
    // ", 30 already there" when anything was.
    const QString alreadyText =
        already > 0
            ? words("Outcome", QT_TRANSLATE_NOOP("Outcome", ", %1 already there")).arg(already)
            : QString();
    QString shortened =
        c.renamed.load() > 0
            ? words("Outcome", QT_TRANSLATE_NOOP(
                                   "Outcome", " (%1 names too long for the phone were shortened)"))
                  .arg(c.renamed.load())
            : QString();
    // Texts that held a NUL byte arrive whole, each NUL replaced.
    if (c.changed.load() == 1)
        shortened +=
            words("Outcome", QT_TRANSLATE_NOOP("Outcome", " (1 text held a NUL byte, replaced)"));
    else if (c.changed.load() > 1)
        shortened +=
            words("Outcome", QT_TRANSLATE_NOOP("Outcome", " (%1 texts held a NUL byte, replaced)"))
                .arg(c.changed.load());
    // Neither copied nor already there: failed, skipped or cut short.
    const qint64 missing = c.offered.load() - copied - already;
    const auto failedOf = [&] {
        return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Failed: %1 of %2"))
                   .arg(missing)
                   .arg(offered) +
               withWhy;
    };
    switch (outcome) {
    case Outcome::NotSelected:
        return QString();
    case Outcome::Waiting:
        return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Waiting"));
    case Outcome::Running:
        return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Copying"));
    case Outcome::Success:
        if (c.dryRun.load())
            return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Dry run: %1 to copy"))
                       .arg(c.planned.load()) +
                   alreadyText;
        if (already > 0)
            return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Success: %1 copied"))
                       .arg(copied) +
                   alreadyText + shortened;
        return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Success")) + shortened;
    case Outcome::Skipped:
        return why.isEmpty()
                   ? words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Skipped: %1 of %2"))
                         .arg(c.skipped.load())
                         .arg(offered)
                   : words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Skipped: %1")).arg(why);
    case Outcome::Failed:
        if (c.offered.load() <= 0)
            return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Failed: %1"))
                .arg(why.isEmpty()
                         ? words("Outcome", QT_TRANSLATE_NOOP("Outcome", "could not be read"))
                         : why);
        return failedOf();
    case Outcome::Partial:
        // All that the source listed arrived, but the source itself is short.
        if (c.failed.load() == 0 && c.skipped.load() == 0 && copied + already >= c.offered.load())
            return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Copied %1 of %2"))
                       .arg(copied)
                       .arg(offered) +
                   withWhy + alreadyText;
        return failedOf() + alreadyText;
    case Outcome::Cancelled:
        // A kind the cancel reached before it had counted anything never began.
        if (c.offered.load() < 0)
            return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Cancelled before it started"));
        return words("Outcome", QT_TRANSLATE_NOOP("Outcome", "Cancelled: %1 of %2 copied"))
                   .arg(copied)
                   .arg(offered) +
               alreadyText;
    }
    return QString();
}

} // namespace

std::string describe(const KindCounters& c, bool selected) {
    return describeText(c, selected, Words(false)).toStdString();
}

QString localisedDescribe(const KindCounters& c, bool selected) {
    return describeText(c, selected, Words(true));
}

QString localisedReason(Reason reason) {
    return QCoreApplication::translate("Reason", reasonText(reason));
}

} // namespace kestrova
