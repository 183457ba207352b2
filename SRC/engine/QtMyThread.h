// The transfer job: copies each ticked kind of data from the source (an
// Android phone, an iPhone or an iTunes backup) to the destination Android
// phone on its own thread. The window or the headless driver hands it a
// request; while it runs it only publishes counters, which they read.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "TransferOutcome.h"
#include "job_request.h"
#include "joinable_thread.h"
#include "source.h"

namespace kestrova {
class JobLoop;
class Source;
class Destination;
} // namespace kestrova

class TransferDoingThread : public kestrova::JoinableThread {
    Q_OBJECT

  public:
    TransferDoingThread();
    ~TransferDoingThread() override;

    // Before each start: takes the request and clears every counter.
    void prepareJob(const kestrova::JobRequest& request);
    const kestrova::JobRequest& request() const { return m_request; }

    // Sleeps one second of the default-SMS-app countdown. Tests replace it so
    // that a 61-second prompt passes at once.
    void setCountdownSleeper(std::function<void()> sleeper);

    // The user cancelled before the job was started: every ticked kind ends
    // as cancelled without having begun.
    void cancelBeforeStart();
    // The job could not start (a phone not found or not ready): every ticked
    // kind ends with this reason, nothing begun.
    void failBeforeStart(kestrova::Reason why);
    // The user cancelled: the job stops after the record or file in hand.
    // A file in progress stops at its next piece; an exchange with a phone
    // that does not end within a few seconds is cut short.
    void cancel();
    bool stopRequested() const { return m_stop.load() != 0; }

    // Per-kind outcome, readable from any thread.
    const kestrova::KindCounters& outcome(kestrova::Kind kind) const { return m_outcome[kind]; }
    // True when every ticked kind succeeded.
    bool allSucceeded() const;

    // The counters at this moment, for the progress window and the driver.
    kestrova::ProgressSnapshot snapshot() const;
    // What the source's preparation made (valid once the job has ended).
    kestrova::PreparationInfo preparation() const;
    // The live counters the job writes (tests set them to draw the window).
    kestrova::JobProgress& progress() { return m_progress; }
    kestrova::KindCounters& outcomeForTest(kestrova::Kind kind) { return m_outcome[kind]; }

  signals:
    void changeSMSShow();
    void changeSMSHide();

  protected:
    void run() override;

  private:
    // The routines of each direction; every one hands its kind to the job
    // loop, which copies it from whatever source into whatever destination.
    void transfer_android2android_data_CONTACT();
    void transfer_android2android_data_MESSAGE();
    void transfer_android2android_data_CALLLOG();
    void transfer_android2android_data_CALENDER();
    void transfer_android2android_data_PHOTOS();
    void transfer_android2android_data_VIDEOS();
    void transfer_android2android_data_MUSICS();
    void transfer_android2android_data_APPS();
    void transfer_iphone2android_data_CONTACT();
    void transfer_iphone2android_data_MESSAGE();
    void transfer_iphone2android_data_CALLLOG();
    void transfer_iphone2android_data_CALENDER();
    void transfer_iphone2android_data_PHOTOS();
    void transfer_iphone2android_data_VIDEOS();
    void transfer_iphone2android_data_MUSICS();
    void transfer_iphone2android_data_APPS();
    void transfer_itunes2android_data_CONTACT();
    void transfer_itunes2android_data_MESSAGE();
    void transfer_itunes2android_data_CALLLOG();
    void transfer_itunes2android_data_CALENDER();
    void transfer_itunes2android_data_PHOTOS();
    void transfer_itunes2android_data_VIDEOS();
    void transfer_itunes2android_data_MUSICS();
    void transfer_itunes2android_data_APPS();

    using Routine = void (TransferDoingThread::*)();
    Routine routineFor(kestrova::Kind kind) const;
    void copyKind(kestrova::Kind kind);
    bool stopped() const { return m_stop.load() != 0; }

    kestrova::JobRequest m_request;
    kestrova::JobProgress m_progress;
    kestrova::PerKind<kestrova::KindCounters> m_outcome;
    std::atomic<int32_t> m_stop{0};
    std::function<void()> m_countdownSleep;
    kestrova::PreparationInfo m_preparation;
    // While a job runs: the loop, and its two ends for a cancel to reach.
    kestrova::JobLoop* m_loop = nullptr;
    mutable std::mutex m_endsLock;
    std::condition_variable m_ended; // the job let go of its source and destination
    std::thread m_cancelWatch;       // cuts the phones short when a cancel is not taken up
    kestrova::Source* m_source = nullptr;
    kestrova::Destination* m_destination = nullptr;
};
