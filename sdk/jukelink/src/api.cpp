// The exported iTunesTSF_ operations over one BackupReader.
#include "jukelink.h"

#include "backup_reader.h"
#include "dbsifter.h"
#include "export.h"
#include "fsutil.h"
#include "log.h"

using jukelink::BackupReader;
using jukelink::DbKind;
using jukelink::MediaKind;

namespace {

BackupReader& reader() {
    static BackupReader instance;
    return instance;
}

int getList(MediaKind kind, DicmImageList** out) {
    jukelink::MediaList* list = reader().usableMedia(kind);
    if (out != nullptr)
        *out = list != nullptr ? list->head() : nullptr;
    return list != nullptr ? list->count() : -1;
}

// Reports a refused argument of a setter; 0 or -1 as the setter returned.
int setterResult(int rc, const char* what) {
    if (rc == 0)
        jukelink::reportSuccess();
    else
        jukelink::reportFailure(what, {jukelink::Category::InvalidArgument,
                                       "the folder is empty or longer than 1,023 bytes"});
    return rc;
}

} // namespace

TSF_API int iTunesTSF_GetLastErrorCategory(void) {
    return static_cast<int>(jukelink::lastFailureCategory());
}

TSF_API int iTunesTSF_GetLastError(char* buf, int size) {
    std::string text = jukelink::lastFailureText();
    if (buf != nullptr && size > 0)
        jukelink::copyText(buf, static_cast<size_t>(size), text);
    return static_cast<int>(text.size());
}

TSF_API int iTunesTSF_BackupCount(void) {
    int n = reader().list();
    jukelink::reportSuccess();
    return n;
}

TSF_API int iTunesTSF_GetBackupDeviceByIndex(int index, BackupDeviceNode** out) {
    BackupDeviceNode* node = reader().node(index);
    if (out != nullptr)
        *out = node;
    if (node == nullptr) {
        jukelink::reportFailure(
            "GetBackupDeviceByIndex",
            {jukelink::Category::InvalidArgument, "no backup at index " + std::to_string(index)});
        return -1;
    }
    jukelink::reportSuccess();
    return 0;
}

TSF_API int iTunesTSF_IsBackupComplete(int index) { return reader().isComplete(index); }

TSF_API int iTunesTSF_IsBackupEncrypted(int index) {
    BackupDeviceNode* node = reader().node(index);
    if (node == nullptr) {
        jukelink::reportFailure(
            "IsBackupEncrypted",
            {jukelink::Category::InvalidArgument, "no backup at index " + std::to_string(index)});
        return -1;
    }
    jukelink::reportSuccess();
    return node->isEncrypted ? 1 : 0;
}

TSF_API int iTunesTSF_UnlockBackup(int index, const char* password) {
    return reader().unlock(index, password);
}

TSF_API int iTunesTSF_IsBackupUnlocked(int index) { return reader().isUnlocked(index); }

TSF_API void iTunesTSF_ForgetBackupKeys(void) { reader().forgetKeys(); }

TSF_API int iTunesTSF_ExportBackup(const char* folder, const char* password, const char* outFolder,
                                   int64_t* written, int64_t* failed) {
    jukelink::ExportResult r;
    jukelink::Error err;
    bool begun = false;
    if (folder == nullptr || outFolder == nullptr || *folder == '\0' || *outFolder == '\0')
        err.fail(jukelink::Category::InvalidArgument, "no backup or output folder");
    else
        begun = jukelink::exportBackup(folder, password, outFolder, &r, &err);
    if (written != nullptr)
        *written = r.written;
    if (failed != nullptr)
        *failed = r.failed;
    if (!begun) {
        jukelink::reportFailure("ExportBackup", err);
        return -1;
    }
    if (r.failed > 0) {
        jukelink::reportFailure(
            "ExportBackup",
            {jukelink::Category::Io, std::to_string(r.failed) + " files could not be written"});
        return 1;
    }
    jukelink::reportSuccess();
    return 0;
}

TSF_API int iTunesTSF_OpenBackupFile(int backupIndex, const char* relativeName, int64_t* size) {
    return reader().openFile(backupIndex, relativeName, size);
}

TSF_API int iTunesTSF_CleanTemp(void) { return reader().cleanTemp(); }

TSF_API int iTunesTSF_SetOtherBackupPath(char* folder) {
    return setterResult(reader().setUserFolder(folder), "SetOtherBackupPath");
}

TSF_API int iTunesTSF_CheckSupportEnabled(int kind) { return kind >= 0 && kind <= 6 ? 0 : -1; }

TSF_API int iTunesTSF_SetTempPath(char* folder) {
    return setterResult(reader().setTempPath(folder), "SetTempPath");
}

TSF_API int iTunesTSF_ScanBackupDeviceByIndex(int index) { return reader().scan(index); }

TSF_API int iTunesTSF_FlushPerson(void) {
    return reader().flush(DbKind::Contacts, DbsifterTSF_FlushContact);
}
TSF_API int iTunesTSF_FlushSMS(void) { return reader().flush(DbKind::Sms, DbsifterTSF_FlushSMS); }
TSF_API int iTunesTSF_FlushCallLog(void) {
    return reader().flush(DbKind::CallLog, DbsifterTSF_FlushCallLog);
}
TSF_API int iTunesTSF_FlushCalender(void) {
    return reader().flush(DbKind::Calendar, DbsifterTSF_FlushCalendar);
}

TSF_API int iTunesTSF_GetDICMImage(DicmImageList** out) { return getList(MediaKind::Photo, out); }
TSF_API int iTunesTSF_GetVideos(DicmImageList** out) { return getList(MediaKind::Video, out); }
TSF_API int iTunesTSF_GetMusics(DicmImageList** out) { return getList(MediaKind::Music, out); }

TSF_API int iTunesTSF_GetDICMImage_TotalSize(void) {
    return reader().media(MediaKind::Photo).totalSize32();
}
TSF_API int iTunesTSF_GetVideos_TotalSize(void) {
    return reader().media(MediaKind::Video).totalSize32();
}
TSF_API int iTunesTSF_GetMusics_TotalSize(void) {
    return reader().media(MediaKind::Music).totalSize32();
}
TSF_API int64_t iTunesTSF_GetDICMImage_TotalSize64(void) {
    return reader().media(MediaKind::Photo).totalSize();
}
TSF_API int64_t iTunesTSF_GetVideos_TotalSize64(void) {
    return reader().media(MediaKind::Video).totalSize();
}
TSF_API int64_t iTunesTSF_GetMusics_TotalSize64(void) {
    return reader().media(MediaKind::Music).totalSize();
}
