// The exported iTunesTSF_ operations over one BackupReader.
#include "jukelink.h"

#include "backup_reader.h"
#include "dbsifter.h"
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
    jukelink::MediaList& list = reader().media(kind);
    if (out != nullptr)
        *out = list.head();
    return list.count();
}

} // namespace

TSF_API int iTunesTSF_BackupCount(void) { return reader().list(); }

TSF_API int iTunesTSF_GetBackupDeviceByIndex(int index, BackupDeviceNode** out) {
    BackupDeviceNode* node = reader().node(index);
    if (out != nullptr)
        *out = node;
    if (node == nullptr) {
        jukelink::logLine("GetBackupDeviceByIndex: no backup at index %d", index);
        return -1;
    }
    return 0;
}

TSF_API int iTunesTSF_SetOtherBackupPath(char* folder) { return reader().setUserFolder(folder); }

TSF_API int iTunesTSF_CheckSupportEnabled(int kind) { return kind >= 0 && kind <= 6 ? 0 : -1; }

TSF_API int iTunesTSF_SetTempPath(char* folder) { return reader().setTempPath(folder); }

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
