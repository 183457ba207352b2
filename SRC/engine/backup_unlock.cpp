#include "backup_unlock.h"

#include "job_request.h"
#include "jukelink.h"

namespace kestrova {

bool backupNeedsPassword(int index) {
    return iTunesTSF_IsBackupEncrypted(index) == 1 && iTunesTSF_IsBackupUnlocked(index) != 1;
}

Reason unlockBackup(int index, std::string password) {
    const int rc = iTunesTSF_UnlockBackup(index, password.c_str());
    const int category = iTunesTSF_GetLastErrorCategory();
    wipeSecret(&password);
    if (rc == 0)
        return Reason::None;
    return category == ITUNESTSF_ERR_WRONG_PASSWORD ? Reason::WrongPassword
                                                    : Reason::SourceUnavailable;
}

} // namespace kestrova
