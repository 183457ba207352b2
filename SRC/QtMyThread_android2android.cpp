// Android phone to Android phone: personal data page by page through the
// library's record lists, photos, music and apps through the scratch file,
// videos straight from phone to phone.
#include "QtMyThread.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

#include "greenlink.h"
#include "misc.h"
#include "transfer_records.h"

using kestrova::Reason;

namespace {

constexpr int kPageSize = 5;

struct Utf8Path {
    char bytes[1024] = {};
    explicit Utf8Path(const QString& path) {
        const QByteArray utf8 = path.toUtf8();
        std::memcpy(bytes, utf8.constData(),
                    std::min<size_t>(static_cast<size_t>(utf8.size()), sizeof bytes - 1));
    }
};

} // namespace

template <typename Record, typename Count, typename Page, typename Head, typename Add>
void TransferDoingThread::copyAndroidPages(int kind, Count count, Page page, Head head, Add add) {
    if (stopped())
        return;
    const int total = count(m_srcIndex);
    m_total[kind] = total;
    // The library reads "none" and "no answer" alike; offerCount asks the phone.
    if (!offerCount(kind, total))
        return;
    for (int start = 0; start < total; start += kPageSize) {
        Record* record = nullptr;
        const int loaded = page(m_srcIndex, start) == 0 ? head(&record) : 0;
        if (!record || loaded <= 0) {
            // A page that should hold records came back empty or cut short:
            // the rest of the kind cannot be read.
            if (!sourceAlive(kind))
                return;
            m_outcome[kind].setReason(Reason::ReadFailed);
            return;
        }
        for (int p = 1; record; record = record->next, ++p) {
            m_current[kind] = static_cast<uint32_t>(start + std::min(p, kPageSize));
            if (stopped())
                return;
            if (!kestrova::transferable(record)) {
                skipped(kind, Reason::NotTransferable);
                continue;
            }
            if (add(record)) {
                copied(kind);
            } else {
                failed(kind, Reason::WriteFailed);
                if (!destinationAlive(kind))
                    return;
            }
        }
        if (stopped())
            return;
    }
}

void TransferDoingThread::transfer_android2android_data_CONTACT() {
    copyAndroidPages<ABPerson>(0, AndroidTSF_FlushContact_Count, AndroidTSF_FlushPerson,
                               AndroidTSF_GetPerson, [this](ABPerson* p) { return addContact(p); });
}

void TransferDoingThread::transfer_android2android_data_MESSAGE() {
    if (stopped())
        return;
    // Count first: without messages there is nothing to ask the user for.
    const int total = AndroidTSF_FlushSMS_Count(m_srcIndex);
    if (total < 1) {
        m_total[1] = total;
        offerCount(1, total);
        return;
    }
    // Counted before the prompt, so a cancel during it reports what was offered.
    m_total[1] = total;
    offer(1, total);
    bool changedDefault = false;
    if (!smsHandshakeBegin(&changedDefault)) {
        m_current[1] = static_cast<uint32_t>(total);
        m_outcome[1].skipped = total;
        m_outcome[1].setReason(stopped() ? Reason::Cancelled : Reason::SmsPromptNotAccepted);
        smsHandshakeEnd(changedDefault);
        return;
    }
    copyAndroidPages<SMessage>(
        1, [total](int) { return total; }, AndroidTSF_FlushSMS, AndroidTSF_GetSMS,
        [this](SMessage* m) { return addMessage(m); });
    smsHandshakeEnd(changedDefault);
}

void TransferDoingThread::transfer_android2android_data_CALLLOG() {
    copyAndroidPages<CallHistory>(2, AndroidTSF_FlushCallLog_Count, AndroidTSF_FlushCallHistory,
                                  AndroidTSF_GetCallHistory,
                                  [this](CallHistory* c) { return addCall(c); });
}

void TransferDoingThread::transfer_android2android_data_CALENDER() {
    // The calendar list's get reports no count; its head says whether the page loaded.
    copyAndroidPages<Calendar>(
        3, AndroidTSF_FlushCalender_Count, AndroidTSF_FlushCalender,
        [](Calendar** out) {
            AndroidTSF_GetCalender(out);
            return *out ? 1 : 0;
        },
        [this](Calendar* e) { return addEvent(e); });
}

template <typename Export, typename Add>
void TransferDoingThread::copyThroughScratch(int kind, const QString& scratchPath,
                                             Export exportFile, Add addFile) {
    Utf8Path scratch(scratchPath);
    QFile::remove(scratchPath);
    const bool exported = exportFile(scratch.bytes) == 0 && QFileInfo::exists(scratchPath);
    if (stopped()) {
        QFile::remove(scratchPath);
        return;
    }
    if (!exported) {
        failed(kind, Reason::ReadFailed);
        sourceAlive(kind);
    } else if (addFile(scratch.bytes) == 0) {
        copied(kind);
    } else {
        failed(kind, Reason::WriteFailed);
        destinationAlive(kind);
    }
    QFile::remove(scratchPath);
}

void TransferDoingThread::transfer_android2android_data_PHOTOS() {
    if (stopped())
        return;
    AndroidTSF_FlushDevicesPhotos(m_srcIndex);
    const int total = AndroidTSF_GetPhotoCount(m_srcIndex);
    m_total[4] = total;
    if (!offerCount(4, total))
        return;
    for (int i = 0; i < total && !m_destinationGone && !m_sourceGone; ++i) {
        m_current[4] = static_cast<uint32_t>(i + 1);
        if (stopped())
            return;
        ItemPhotoInfo info = {};
        if (AndroidTSF_GetPhotoInfo(&info, i, m_srcIndex) != 0) {
            failed(4, Reason::ReadFailed);
            if (!sourceAlive(4))
                return;
            continue;
        }
        copyThroughScratch(
            4, m_workPath,
            [&](char* scratch) {
                return AndroidTSF_ExportPhotofromDevice(info.id, scratch, info.size, m_srcIndex);
            },
            [&](char* scratch) {
                return AndroidTSF_addPhoto(scratch, getPathFileName(info.path), m_dstIndex);
            });
    }
}

void TransferDoingThread::transfer_android2android_data_VIDEOS() {
    if (stopped())
        return;
    AndroidTSF_FlushDevicesVideo(m_srcIndex);
    const int total = AndroidTSF_GetVideoCount(m_srcIndex);
    m_total[5] = total;
    if (!offerCount(5, total))
        return;
    // First pass: the sizes, so the bar can move by bytes.
    for (int i = 0; i < total; ++i) {
        if (stopped())
            return;
        ItemVideoInfo info = {};
        AndroidTSF_GetVideoInfo(&info, i, m_srcIndex);
        if (info.id != 0 || info.path[0])
            m_totalSize[5] += info.size;
    }
    // Second pass: every video, also two with the same file name in different
    // folders (the library finds the second a free name on the destination).
    for (int i = 0; i < total && !m_destinationGone && !m_sourceGone; ++i) {
        m_current[5] = static_cast<uint32_t>(i + 1);
        if (stopped())
            return;
        ItemVideoInfo info = {};
        if (AndroidTSF_GetVideoInfo(&info, i, m_srcIndex) != 0 || (info.id == 0 && !info.path[0])) {
            failed(5, Reason::ReadFailed);
            if (!sourceAlive(5))
                return;
            continue;
        }
        // The library clears its abort flag when a copy starts, so a cancel
        // that came during the description above must be seen here: a copy
        // started now would run to its end and then go uncounted.
        if (stopped())
            return;
        const int result = AndroidTSF_TransferVideofromDevice(info.id, getPathFileName(info.path),
                                                              info.size, m_srcIndex, m_dstIndex);
        if (stopped())
            return;
        if (result == 0) {
            copied(5);
        } else {
            failed(5, Reason::WriteFailed);
            if (!sourceAlive(5) || !destinationAlive(5))
                return;
        }
        m_doneSize[5] += info.size;
    }
}

void TransferDoingThread::transfer_android2android_data_MUSICS() {
    if (stopped())
        return;
    AndroidTSF_FlushDevicesMusic(m_srcIndex);
    const int total = AndroidTSF_GetMusicCount(m_srcIndex);
    m_total[6] = total;
    if (!offerCount(6, total))
        return;
    for (int i = 0; i < total; ++i) {
        if (stopped())
            return;
        ItemMusicInfo info = {};
        AndroidTSF_GetMusicInfo(&info, i, m_srcIndex);
        m_totalSize[6] += info.size;
    }
    for (int i = 0; i < total && !m_destinationGone && !m_sourceGone; ++i) {
        m_current[6] = static_cast<uint32_t>(i + 1);
        if (stopped())
            return;
        ItemMusicInfo info = {};
        if (AndroidTSF_GetMusicInfo(&info, i, m_srcIndex) != 0 || (info.id == 0 && !info.path[0])) {
            failed(6, Reason::ReadFailed);
            if (!sourceAlive(6))
                return;
            continue;
        }
        copyThroughScratch(
            6, m_workPath,
            [&](char* scratch) {
                return AndroidTSF_ExportMusicfromDevice(info.id, scratch, info.size, m_srcIndex);
            },
            [&](char* scratch) {
                return AndroidTSF_AddMusicToDevice(scratch, getPathFileName(info.path), m_dstIndex);
            });
    }
}

void TransferDoingThread::transfer_android2android_data_APPS() {
    if (stopped())
        return;
    AndroidTSF_FlushDevicesApp(m_srcIndex);
    const int total = AndroidTSF_GetAppCount(m_srcIndex);
    m_total[7] = total;
    if (!offerCount(7, total))
        return;
    for (int i = 0; i < total && !m_destinationGone && !m_sourceGone; ++i) {
        m_current[7] = static_cast<uint32_t>(i + 1);
        if (stopped())
            return;
        ItemAppInfo info = {};
        if (AndroidTSF_GetAppInfo(&info, i, m_srcIndex) != 0) {
            failed(7, Reason::ReadFailed);
            if (!sourceAlive(7))
                return;
            continue;
        }
        // adb installs only files whose names end in ".apk".
        copyThroughScratch(
            7, m_workPath + ".apk",
            [&](char* scratch) {
                return AndroidTSF_ExportApp(info.packageName, scratch, m_srcIndex);
            },
            [&](char* scratch) { return AndroidTSF_InstallAppToMemory(scratch, 3, m_dstIndex); });
        if (stopped())
            return;
    }
}
