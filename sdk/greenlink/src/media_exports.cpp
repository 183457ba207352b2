// The exported photo, music and video operations: each calls the family
// operation with its kind's table.
#include <cstring>
#include <string>

#include "channel.h"
#include "greenlink.h"
#include "greenlink_log.h"
#include "media_family.h"
#include "page_buffer.h"
#include "reply_parser.h"

namespace greenlink {

// Reads one item's description (at most 1,024 bytes) and parses it with
// `parse`; 0 filled, -1 no reply or an empty one.
template <typename R>
int describeItem(const char* command, int index, R* rec, int dev, int (*parse)(char*, R*)) {
    if (!rec)
        return -1;
    std::memset(rec, 0, sizeof *rec);
    char reply[1025] = {};
    std::string text = std::string(command) + ":" + std::to_string(index) + ";";
    int n = SendCommandToAndroidServices(text.c_str(), reply, 1024, nullptr, 0, dev);
    if (n <= 0 || !reply[0])
        return -1;
    reply[n] = '\0';
    return parse(reply, rec);
}

namespace {

int thumbnail(const std::string& command, char** out, int dev) {
    if (!out)
        return -1;
    *out = nullptr;
    char* buffer = nullptr;
    int size = getTemp_StDataBuffer(&buffer);
    if (size <= 0)
        return -1;
    int n = SendCommandToAndroidServices(command.c_str(), buffer, size, nullptr, 0, dev);
    if (n <= 4)
        return -1;
    *out = buffer;
    return n;
}

} // namespace
} // namespace greenlink

using namespace greenlink;

// ---- photos
int AndroidTSF_FlushDevicesPhotos(int dev) { return mediaFlush(photoFamily, dev); }
int AndroidTSF_GetPhotoCount(int dev) { return mediaCount(photoFamily, dev); }
int AndroidTSF_GetPhotoInfo(ItemPhotoInfo* rec, int index, int dev) {
    return describeItem(photoFamily.infoCommand, index, rec, dev, android_DCIM_prase);
}
int AndroidTSF_GetPhotoThumb(char** out, int id, int dev) {
    return thumbnail("getdcimthumb:" + std::to_string(id) + ";", out, dev);
}
int AndroidTSF_DeletePhoto(int id, int dev) { return mediaDelete(photoFamily, id, dev); }
int AndroidTSF_ClearPhoto(int dev) { return mediaClear(photoFamily, dev); }
int AndroidTSF_addPhoto(char* localPath, char* name, int dev) {
    return mediaPush(photoFamily, localPath, name, dev);
}
int AndroidTSF_addPhoto2(char* localPath, char* name, int dev) {
    return mediaStreamedAdd(photoFamily, localPath, name, dev);
}
int AndroidTSF_ExportPhotofromDevice(int id, char* localPath, long long size, int dev) {
    WriteLog("ExportPhotofromDevice photo_id=%d,pcfilename=%s,filesize=%lld\n", id,
             localPath ? localPath : "", size);
    return mediaExportByPull(photoFamily, id, localPath, size, dev);
}
int AndroidTSF_ExportPhotofromDevice2(int id, char* localPath, long long size, int dev) {
    WriteLog("ExportPhotofromDevice photo_id=%d,pcfilename=%s,filesize=%lld\n", id,
             localPath ? localPath : "", size);
    return mediaStreamedExport(photoFamily, id, localPath, size, dev);
}
int AndroidTSF_PhotoOpen(char* name, int dev) { return mediaOpen(photoFamily, name, dev); }
int AndroidTSF_PhotoWrite(char* data, int count, int dev) {
    return mediaWrite(photoFamily, data, count, dev);
}
int AndroidTSF_PhotoRead(char* buf, int capacity, int id, long long offset, int dev) {
    return mediaRead(photoFamily, buf, capacity, id, offset, dev);
}
int AndroidTSF_PhotoClose(int aborted, char* name, int dev) {
    return mediaClose(photoFamily, aborted, name, dev);
}
int AndroidTSF_PhotoAbort(void) {
    photoFamily.abortFlag = 1;
    return 0;
}
int AndroidTSF_GetPhotoProgress(void) { return photoFamily.progress; }

// ---- music
int AndroidTSF_FlushDevicesMusic(int dev) { return mediaFlush(musicFamily, dev); }
int AndroidTSF_GetMusicCount(int dev) { return mediaCount(musicFamily, dev); }
int AndroidTSF_GetMusicInfo(ItemMusicInfo* rec, int index, int dev) {
    return describeItem(musicFamily.infoCommand, index, rec, dev, android_MUSIC_prase);
}
int AndroidTSF_GetMusicThumb(char** out, int a, int b, int dev) {
    return thumbnail("getmusicthumb:" + std::to_string(a) + ":" + std::to_string(b) + ";", out,
                     dev);
}
int AndroidTSF_DeleteMusic(int id, int dev) { return mediaDelete(musicFamily, id, dev); }
int AndroidTSF_ClearMusic(int dev) { return mediaClear(musicFamily, dev); }
int AndroidTSF_AddMusicToDevice(char* localPath, char* name, int dev) {
    return mediaPush(musicFamily, localPath, name, dev);
}
int AndroidTSF_AddMusicToDevice2(char* localPath, char* name, int dev) {
    return mediaStreamedAdd(musicFamily, localPath, name, dev);
}
int AndroidTSF_ExportMusicfromDevice(int id, char* localPath, long long size, int dev) {
    return mediaExportByPull(musicFamily, id, localPath, size, dev);
}
int AndroidTSF_ExportMusicfromDevice2(int id, char* localPath, long long size, int dev) {
    WriteLog("ExportMusicfromDevice songid=%d,pcfilename=%s,filesize=%lld\n", id,
             localPath ? localPath : "", size);
    return mediaStreamedExport(musicFamily, id, localPath, size, dev);
}
int AndroidTSF_TransferMusicfromDevice(int id, char* name, long long size, int src, int dst) {
    WriteLog("TransferMusicfromDevice songid=%d,device_filename=%s,filesize=%lld,"
             "src_deviceindex=%d,des_deviceindex=%d \n",
             id, name ? name : "", size, src, dst);
    return mediaPhoneToPhone(musicFamily, id, name, size, src, dst);
}
int AndroidTSF_MusicOpen(char* name, int dev) { return mediaOpen(musicFamily, name, dev); }
int AndroidTSF_MusicWrite(char* data, int count, int dev) {
    return mediaWrite(musicFamily, data, count, dev);
}
int AndroidTSF_MusicRead(char* buf, int capacity, int id, long long offset, int dev) {
    return mediaRead(musicFamily, buf, capacity, id, offset, dev);
}
int AndroidTSF_MusicClose(int aborted, char* name, int dev) {
    return mediaClose(musicFamily, aborted, name, dev);
}
int AndroidTSF_MusicAbort(void) {
    musicFamily.abortFlag = 1;
    return -1;
}
int AndroidTSF_GetMusicProgress(void) { return musicFamily.progress; }
long long AndroidTSF_GetMusicProgressSize(void) { return musicFamily.currentSize; }

// ---- videos
int AndroidTSF_FlushDevicesVideo(int dev) { return mediaFlush(videoFamily, dev); }
int AndroidTSF_GetVideoCount(int dev) { return mediaCount(videoFamily, dev); }
int AndroidTSF_GetVideoInfo(ItemVideoInfo* rec, int index, int dev) {
    return describeItem(videoFamily.infoCommand, index, rec, dev, android_Video_prase);
}
int AndroidTSF_DeleteVideofromDevice(int id, int dev) { return mediaDelete(videoFamily, id, dev); }
int AndroidTSF_ClearVideofromDevice(int dev) { return mediaClear(videoFamily, dev); }
int AndroidTSF_AddVideoToDevice(char* localPath, char* name, int dev) {
    return mediaPush(videoFamily, localPath, name, dev);
}
int AndroidTSF_AddVideoToDevice2(char* localPath, char* name, int dev) {
    return mediaStreamedAdd(videoFamily, localPath, name, dev);
}
int AndroidTSF_ExportVideofromDevice(int id, char* localPath, long long size, int dev) {
    WriteLog("ExportVideofromDevice videoid=%d,pcfilename=%s,filesize=%lld\n", id,
             localPath ? localPath : "", size);
    return mediaExportByPull(videoFamily, id, localPath, size, dev);
}
int AndroidTSF_ExportVideofromDevice2(int id, char* localPath, long long size, int dev) {
    WriteLog("ExportVideofromDevice videoid=%d,pcfilename=%s,filesize=%lld\n", id,
             localPath ? localPath : "", size);
    return mediaStreamedExport(videoFamily, id, localPath, size, dev);
}
int AndroidTSF_TransferVideofromDevice(int id, char* name, long long size, int src, int dst) {
    WriteLog("ExportVideofromDevice videoid=%d,device_filename=%s,filesize=%lld,"
             "src_deviceindex=%d,des_deviceindex=%d\n",
             id, name ? name : "", size, src, dst);
    return mediaPhoneToPhone(videoFamily, id, name, size, src, dst);
}
int AndroidTSF_VideoOpen(char* name, int dev) { return mediaOpen(videoFamily, name, dev); }
int AndroidTSF_VideoWrite(char* data, int count, int dev) {
    return mediaWrite(videoFamily, data, count, dev);
}
int AndroidTSF_VideoRead(char* buf, int capacity, int id, long long offset, int dev) {
    return mediaRead(videoFamily, buf, capacity, id, offset, dev);
}
int AndroidTSF_VideoClose(int aborted, char* name, int dev) {
    return mediaClose(videoFamily, aborted, name, dev);
}
int AndroidTSF_VideoAbort(void) {
    videoFamily.abortFlag = 1;
    return 0;
}
int AndroidTSF_GetVideoProgress(void) { return videoFamily.progress; }
long long AndroidTSF_GetVideoProgressSize(void) { return videoFamily.currentSize; }

// ---- apps
int AndroidTSF_FlushDevicesApp(int dev) { return sendIntCommand("flushapplist;", dev); }
int AndroidTSF_GetAppCount(int dev) { return sendIntCommand("getappcount;", dev); }
int AndroidTSF_GetAppInfo(ItemAppInfo* rec, int index, int dev) {
    return describeItem("getappindexinfo", index, rec, dev, android_APP_prase);
}
