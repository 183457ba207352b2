// iTunes backup to Android phone: personal data loaded into the database
// parser by the backup reader; photos, videos and music handed to the Android
// library as files of the backup folder.
#include "QtMyThread.h"

#include <QFileInfo>

#include <cstring>

#include "dbsifter.h"
#include "greenlink.h"
#include "jukelink.h"
#include "misc.h"

using kestrova::Reason;

namespace {

// A failed load leaves the parser's list empty: tell why.
Reason loadFailure(int result) { return result < 0 ? Reason::SourceUnavailable : Reason::None; }

} // namespace

void TransferDoingThread::transfer_itunes2android_data_CONTACT() {
    if (stopped())
        return;
    if (Reason why = loadFailure(iTunesTSF_FlushPerson()); why != Reason::None)
        return m_outcome[0].setReason(why);
    copyParsedContacts(0);
}

void TransferDoingThread::transfer_itunes2android_data_MESSAGE() {
    if (stopped())
        return;
    if (Reason why = loadFailure(iTunesTSF_FlushSMS()); why != Reason::None)
        return m_outcome[1].setReason(why);
    copyParsedMessages(1);
}

void TransferDoingThread::transfer_itunes2android_data_CALLLOG() {
    if (stopped())
        return;
    if (Reason why = loadFailure(iTunesTSF_FlushCallLog()); why != Reason::None)
        return m_outcome[2].setReason(why);
    copyParsedCalls(2);
}

void TransferDoingThread::transfer_itunes2android_data_CALENDER() {
    if (stopped())
        return;
    if (Reason why = loadFailure(iTunesTSF_FlushCalender()); why != Reason::None)
        return m_outcome[3].setReason(why);
    copyParsedEvents(3);
}

void TransferDoingThread::copyBackupMedia(int kind) {
    if (stopped())
        return;
    m_fileDone = 0;
    DicmImageList* node = nullptr;
    int count = 0;
    int (*add)(char*, char*, int) = nullptr;
    switch (kind) {
    case 4:
        count = iTunesTSF_GetDICMImage(&node);
        add = AndroidTSF_addPhoto;
        break;
    case 5:
        count = iTunesTSF_GetVideos(&node);
        add = AndroidTSF_AddVideoToDevice;
        break;
    default:
        count = iTunesTSF_GetMusics(&node);
        add = AndroidTSF_AddMusicToDevice;
        break;
    }
    // The reader's totals are 32-bit; the entries' own sizes are not.
    int64_t totalSize = 0;
    for (const DicmImageList* n = node; n && n->entry; n = n->next)
        totalSize += n->entry->size;
    m_totalSize[kind] = totalSize;
    m_total[kind] = count;
    offer(kind, count);

    BackupDeviceNode* backup = nullptr;
    iTunesTSF_GetBackupDeviceByIndex(m_srcIndex, &backup);
    if (!backup) {
        m_outcome[kind].setReason(Reason::SourceUnavailable);
        return;
    }
    for (int n = 1; node && node->entry && !m_destinationGone; node = node->next, ++n) {
        m_current[kind] = static_cast<uint32_t>(n);
        if (stopped())
            return;
        const DicmImageInfo* entry = node->entry;
        // Both texts come from fixed fields; a path that does not fit is a
        // file we cannot name, so it counts as missing rather than being cut.
        char path[1024];
        const QByteArray joined =
            QByteArray(backup->path, static_cast<int>(strnlen(backup->path, sizeof backup->path))) +
            '/' +
            QByteArray(entry->name, static_cast<int>(strnlen(entry->name, sizeof entry->name)));
        const bool fits = joined.size() < static_cast<qsizetype>(sizeof path);
        std::memcpy(path, joined.constData(), fits ? joined.size() + 1 : 0);
        char phonePath[sizeof entry->path + 1] = {};
        std::memcpy(phonePath, entry->path, sizeof entry->path);
        if (fits && QFileInfo::exists(QString::fromUtf8(path))) {
            if (kind != 4)
                m_fileSize = entry->size;
            if (add(path, getPathFileName(phonePath), m_dstIndex) == 0) {
                copied(kind);
            } else {
                failed(kind, Reason::WriteFailed);
                destinationAlive(kind);
            }
        } else {
            failed(kind, Reason::FileMissing);
        }
        m_doneSize[kind] += entry->size;
        m_fileDone = 0;
        m_fileSize = 0;
        if (stopped())
            return;
    }
}

void TransferDoingThread::transfer_itunes2android_data_PHOTOS() { copyBackupMedia(4); }
void TransferDoingThread::transfer_itunes2android_data_VIDEOS() { copyBackupMedia(5); }
void TransferDoingThread::transfer_itunes2android_data_MUSICS() { copyBackupMedia(6); }
void TransferDoingThread::transfer_itunes2android_data_APPS() {
    m_outcome[7].setReason(Reason::NotSupported);
}
