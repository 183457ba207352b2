// The transfer job: copies each ticked kind of data from the source (an
// Android phone, an iPhone or an iTunes backup) to the destination Android
// phone on its own thread. The job only writes counters; windows and the
// headless driver read them while it runs.
#pragma once

#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "TransferOutcome.h"

struct ABPerson;
struct SMessage;
struct CallHistory;
struct Calendar;

// Device kinds and job modes shared with the main window.
enum : int32_t {
    kDeviceAndroid = 1001,
    kDeviceIphone = 1002,
    kDeviceItunesBackup = 9000,
};
enum : int32_t {
    kModeAndroid2Android = 2001,
    kModeAndroid2Iphone = 2002,
    kModeIphone2Android = 2003,
    kModeIphone2Iphone = 2004,
    kModeItunes2Android = 2005,
    kModeItunes2Iphone = 2006,
};

class TransferDoingThread : public QThread {
    Q_OBJECT

  public:
    TransferDoingThread();
    ~TransferDoingThread() override;

    // Resets every per-job field as the main window does before each start:
    // the stop flag raised, counters cleared, totals unknown.
    void prepareJob(const bool selected[kestrova::kKindCount]);

    // Sleeps one second of the default-SMS-app countdown. Tests replace it so
    // that a 61-second prompt passes at once.
    void setCountdownSleeper(std::function<void()> sleeper);

    // The user cancelled before the job was started: every ticked kind ends
    // as cancelled without having begun.
    void cancelBeforeStart();

    // Per-kind outcome, readable from any thread.
    const kestrova::KindCounters& outcome(int kind) const { return m_outcome[kind]; }
    // True when every ticked kind succeeded.
    bool allSucceeded() const;

    // Fields read by the progress window; units and meanings as the window
    // expects them. Atomics so a read from another thread is never torn.
    bool m_selected[kestrova::kKindCount] = {};
    std::atomic<bool> m_finished[kestrova::kKindCount] = {};
    std::atomic<uint32_t> m_current[kestrova::kKindCount] = {};
    std::atomic<int32_t> m_total[kestrova::kKindCount] = {};
    std::atomic<int32_t> m_kindIndex{-1};
    std::atomic<int32_t> m_stop{0};
    std::atomic<int64_t> m_totalSize[kestrova::kKindCount] = {};
    std::atomic<int64_t> m_doneSize[kestrova::kKindCount] = {};
    int32_t m_srcIndex = 0;
    int32_t m_dstIndex = 1;
    int32_t m_srcType = kDeviceAndroid;
    int32_t m_dstType = kDeviceAndroid;
    QString m_workPath;
    int32_t m_mode = kModeAndroid2Android;
    std::atomic<int32_t> m_smsCountdown{60};
    char* m_buffer = nullptr;
    int32_t m_bufferSize = 0;
    std::atomic<int64_t> m_fileDone{0};
    std::atomic<int64_t> m_fileSize{0};

  signals:
    void changeSMSShow();
    void changeSMSHide();

  protected:
    void run() override;

  private:
    // Android phone to Android phone.
    void transfer_android2android_data_CONTACT();
    void transfer_android2android_data_MESSAGE();
    void transfer_android2android_data_CALLLOG();
    void transfer_android2android_data_CALENDER();
    void transfer_android2android_data_PHOTOS();
    void transfer_android2android_data_VIDEOS();
    void transfer_android2android_data_MUSICS();
    void transfer_android2android_data_APPS();
    // iPhone to Android phone.
    void transfer_iphone2android_data_CONTACT();
    void transfer_iphone2android_data_MESSAGE();
    void transfer_iphone2android_data_CALLLOG();
    void transfer_iphone2android_data_CALENDER();
    void transfer_iphone2android_data_PHOTOS();
    void transfer_iphone2android_data_VIDEOS();
    void transfer_iphone2android_data_MUSICS();
    void transfer_iphone2android_data_APPS();
    // iTunes backup to Android phone.
    void transfer_itunes2android_data_CONTACT();
    void transfer_itunes2android_data_MESSAGE();
    void transfer_itunes2android_data_CALLLOG();
    void transfer_itunes2android_data_CALENDER();
    void transfer_itunes2android_data_PHOTOS();
    void transfer_itunes2android_data_VIDEOS();
    void transfer_itunes2android_data_MUSICS();
    void transfer_itunes2android_data_APPS();

    using Routine = void (TransferDoingThread::*)();
    Routine routineFor(int kind) const;
    bool prepareSource();
    void runKind(int kind);

    // Default-SMS-app handshake around the message copy. Returns false when
    // the destination's user did not accept in time (messages are skipped).
    bool smsHandshakeBegin(bool* changedDefault);
    void smsHandshakeEnd(bool changedDefault);

    // Outcome bookkeeping.
    bool stopped() const { return m_stop.load() != 0; }
    void offer(int kind, int64_t count);
    void copied(int kind) { m_outcome[kind].copied++; }
    void failed(int kind, kestrova::Reason why);
    void skipped(int kind, kestrova::Reason why);
    // After a failed write: true when the destination still answers. When it
    // does not, the job stops writing and says so.
    bool destinationAlive(int kind);
    bool sourceAlive(int kind);
    // Records the source's count: true when there is something to copy. A
    // count below one from a phone that no longer answers is not "nothing".
    bool offerCount(int kind, int total);
    // Counts whatever the source offered but the kind neither copied, failed
    // nor skipped (an early end) as failed, with the reason given.
    void settleKind(int kind, kestrova::Reason why);

    // Writes one personal record to the destination; true when it arrived.
    bool addContact(ABPerson* person);
    bool addMessage(SMessage* sms);
    bool addCall(CallHistory* call);
    bool addEvent(Calendar* event);

    // The paged walk of the four personal kinds between two Android phones.
    template <typename Record, typename Count, typename Page, typename Head, typename Add>
    void copyAndroidPages(int kind, Count count, Page page, Head head, Add add);
    // A file through the scratch file: export from the source, then add.
    template <typename Export, typename Add>
    void copyThroughScratch(int kind, const QString& scratch, Export exportFile, Add addFile);

    // Walks a parser list, writing each transferable record with add, until
    // the list ends, the user stops or the destination is gone.
    template <typename Record, typename Add> void writeParsedList(int kind, Record* head, Add add);

    // The iPhone and iTunes personal-data walks, shared by both sources.
    void copyParsedContacts(int kind);
    void copyParsedMessages(int kind);
    void copyParsedCalls(int kind);
    void copyParsedEvents(int kind);
    // iPhone media streamed through m_buffer, one routine for the three kinds.
    void copyIphoneMedia(int kind);
    // Backup media handed over as files of the backup folder.
    void copyBackupMedia(int kind);

    kestrova::KindCounters m_outcome[kestrova::kKindCount];
    std::function<void()> m_countdownSleep;
    QString m_extractFolder;
    std::atomic<bool> m_destinationGone{false};
    std::atomic<bool> m_sourceGone{false};
    std::atomic<int> m_sourceFailure{0}; // a Reason that ends every source read
};
