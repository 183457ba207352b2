// iPhone to Android phone: personal data from the databases the iPhone gave
// out, read by the database parser; photos, videos and music streamed file by
// file through the job's buffer.
#include "QtMyThread.h"

#include "dbsifter.h"
#include "fruitlink.h"
#include "greenlink.h"
#include "misc.h"
#include "transfer_records.h"

using kestrova::Reason;

// Personal data from the parser, shared with the backup source --------------

template <typename Record, typename Add>
void TransferDoingThread::writeParsedList(int kind, Record* record, Add add) {
    for (int n = 1; record && !stopped() && !m_destinationGone; record = record->next, ++n) {
        m_current[kind] = static_cast<uint32_t>(n);
        if (!kestrova::transferable(record))
            skipped(kind, Reason::NotTransferable);
        else if (add(record))
            copied(kind);
        else if (failed(kind, Reason::WriteFailed), !destinationAlive(kind))
            return;
    }
}

void TransferDoingThread::copyParsedContacts(int kind) {
    int count = DbsifterTSF_GetContactCount();
    if (count <= 0 && m_mode == kModeIphone2Android) {
        IphoneTSF_FlushContact();
        count = DbsifterTSF_GetContactCount();
    }
    m_total[kind] = count;
    offer(kind, count);
    ABPerson* person = nullptr;
    DbsifterTSF_GetContact(&person);
    writeParsedList(kind, person, [this](ABPerson* r) { return addContact(r); });
}

void TransferDoingThread::copyParsedMessages(int kind) {
    const int count = DbsifterTSF_GetSMSCount();
    m_total[kind] = count;
    offer(kind, count);
    if (count < 1)
        return;
    bool changedDefault = false;
    if (!smsHandshakeBegin(&changedDefault)) {
        m_current[kind] = static_cast<uint32_t>(count);
        m_outcome[kind].skipped = count;
        m_outcome[kind].setReason(stopped() ? Reason::Cancelled : Reason::SmsPromptNotAccepted);
        smsHandshakeEnd(changedDefault);
        return;
    }
    SMessage* sms = nullptr;
    DbsifterTSF_GetSMS(&sms);
    // A cancel during the prompt is seen before the first message is written.
    for (int n = 1; sms && !m_destinationGone && !stopped(); sms = sms->next, ++n) {
        m_current[kind] = static_cast<uint32_t>(n);
        if (!kestrova::transferable(sms))
            skipped(kind, Reason::NotTransferable);
        else if (addMessage(sms))
            copied(kind);
        else if (failed(kind, Reason::WriteFailed), !destinationAlive(kind))
            break;
    }
    smsHandshakeEnd(changedDefault);
}

void TransferDoingThread::copyParsedCalls(int kind) {
    const int count = DbsifterTSF_GetCallLogCount();
    m_total[kind] = count;
    offer(kind, count);
    CallHistory* call = nullptr;
    DbsifterTSF_GetCallLog(&call);
    writeParsedList(kind, call, [this](CallHistory* r) { return addCall(r); });
}

void TransferDoingThread::copyParsedEvents(int kind) {
    const int count = DbsifterTSF_GetRemindersCount();
    m_total[kind] = count;
    offer(kind, count);
    Calendar* event = nullptr;
    DbsifterTSF_GetReminders(&event);
    writeParsedList(kind, event, [this](Calendar* r) { return addEvent(r); });
}

// A load that failed leaves the parser's list empty; say why instead of
// reporting an empty kind as copied.
#define LOAD_OR_FAIL(kind, call)                                                                   \
    do {                                                                                           \
        if (stopped())                                                                             \
            return;                                                                                \
        if ((call) < 0) {                                                                          \
            m_outcome[kind].setReason(Reason::SourceUnavailable);                                  \
            return;                                                                                \
        }                                                                                          \
    } while (0)

void TransferDoingThread::transfer_iphone2android_data_CONTACT() {
    LOAD_OR_FAIL(0, IphoneTSF_FlushContact());
    copyParsedContacts(0);
}
void TransferDoingThread::transfer_iphone2android_data_MESSAGE() {
    LOAD_OR_FAIL(1, IphoneTSF_FlushSMS());
    copyParsedMessages(1);
}
void TransferDoingThread::transfer_iphone2android_data_CALLLOG() {
    // The iPhone library refuses call logs; the window never ticks them.
    m_outcome[2].setReason(Reason::NotSupported);
}
void TransferDoingThread::transfer_iphone2android_data_CALENDER() {
    LOAD_OR_FAIL(3, IphoneTSF_FlushCalender());
    copyParsedEvents(3);
}

// Media streamed from the iPhone ----------------------------------------------

void TransferDoingThread::copyIphoneMedia(int kind) {
    if (stopped())
        return;
    m_fileDone = 0;
    MediaFileNode* node = nullptr;
    int count = 0;
    int (*open)(char*, int) = nullptr;
    int (*write)(char*, int, int) = nullptr;
    int (*close)(int, char*, int) = nullptr;
    switch (kind) {
    case 4:
        count = IphoneTSF_GetDICMImage(&node);
        open = AndroidTSF_PhotoOpen, write = AndroidTSF_PhotoWrite, close = AndroidTSF_PhotoClose;
        break;
    case 5:
        count = IphoneTSF_GetVideos(&node);
        open = AndroidTSF_VideoOpen, write = AndroidTSF_VideoWrite, close = AndroidTSF_VideoClose;
        break;
    default:
        count = IphoneTSF_GetMusics(&node);
        open = AndroidTSF_MusicOpen, write = AndroidTSF_MusicWrite, close = AndroidTSF_MusicClose;
        break;
    }
    // The library's totals are 32-bit; the list's own sizes are not.
    int64_t totalSize = 0;
    for (const MediaFileNode* n = node; n; n = n->next)
        totalSize += n->size;
    m_totalSize[kind] = totalSize;
    m_total[kind] = count;
    offer(kind, count);
    for (int n = 1; node && !m_destinationGone; node = node->next, ++n) {
        m_current[kind] = static_cast<uint32_t>(n);
        if (stopped())
            return;
        const long long handle = IphoneTSF_Open(node->path, m_srcIndex);
        bool arrived = false;
        Reason why = Reason::ReadFailed;
        if (handle > 0) {
            char* name = getPathFileName(node->path);
            if (open(name, m_dstIndex) == 0) {
                int64_t expected = node->size;
                int64_t done = 0;
                bool aborted = true;
                bool writeFailed = false;
                for (;;) {
                    const int got = IphoneTSF_Read(static_cast<int>(handle), m_buffer, m_bufferSize,
                                                   m_srcIndex);
                    if (got <= 0) {
                        // A short file means the read broke off (an unplug
                        // returns part of the file, then nothing).
                        aborted = done != expected;
                        break;
                    }
                    if (stopped())
                        break;
                    if (write(m_buffer, got, m_dstIndex) < 1) {
                        writeFailed = true;
                        break;
                    }
                    if (stopped())
                        break;
                    done += got;
                    m_fileDone += got;
                }
                close(aborted ? 1 : 0, name, m_dstIndex);
                arrived = !aborted;
                why = writeFailed ? Reason::WriteFailed : Reason::ReadFailed;
            } else {
                why = Reason::WriteFailed;
            }
            IphoneTSF_Close(static_cast<int>(handle), m_srcIndex);
        } else {
            why = Reason::FileMissing;
        }
        m_fileDone = 0;
        m_doneSize[kind] += node->size;
        if (stopped())
            return;
        if (arrived) {
            copied(kind);
        } else {
            failed(kind, why);
            if (why == Reason::WriteFailed && !destinationAlive(kind))
                return;
        }
    }
}

void TransferDoingThread::transfer_iphone2android_data_PHOTOS() { copyIphoneMedia(4); }
void TransferDoingThread::transfer_iphone2android_data_VIDEOS() { copyIphoneMedia(5); }
void TransferDoingThread::transfer_iphone2android_data_MUSICS() { copyIphoneMedia(6); }
void TransferDoingThread::transfer_iphone2android_data_APPS() {
    m_outcome[7].setReason(Reason::NotSupported);
}
