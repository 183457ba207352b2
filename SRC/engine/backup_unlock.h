// The windows' way to an encrypted backup: whether it needs a password, and
// the unlock itself (slow: run it off the thread that draws windows). The
// backup reader keeps the keys; the job that copies the backup then derives
// nothing again and forgets them when it ends.
#pragma once

#include <string>

#include "TransferOutcome.h"

namespace kestrova {

// True when the listed backup at index is encrypted and not unlocked yet.
bool backupNeedsPassword(int index);

// Unlocks the backup with password (wiped afterwards): None, WrongPassword,
// or SourceUnavailable for a backup that cannot be unlocked at all.
Reason unlockBackup(int index, std::string password);

// True when a copy from the iPhone at index reads its personal data through
// a backup that the phone encrypts: the copy then needs the phone's backup
// password. Asks the phone (one lockdown question).
bool iphoneBackupNeedsPassword(int index);

} // namespace kestrova
