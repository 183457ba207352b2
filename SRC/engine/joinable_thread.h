// A worker thread for the window's and the driver's background work, with
// the part of QThread's interface they use (start, isRunning, wait and the
// finished() signal) on a std::thread that is joined.
//
// Why not QThread: its threads are detached and its wait() sleeps on Qt's
// own futex, so nothing a sanitizer or a reader of this code can check
// orders QThread's last touches of the object (it emits finished() after
// run() returns) before the owner deletes it. Here wait() joins the thread:
// once it returns, everything the thread did, the finished() signal
// included, happened before.
#pragma once

#include <QObject>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrova {

class JoinableThread : public QObject {
    Q_OBJECT

  public:
    JoinableThread() = default;
    // Waits for a thread still running; a class that derives from this one
    // waits in its own destructor, before its members go.
    ~JoinableThread() override;
    JoinableThread(const JoinableThread&) = delete;
    JoinableThread& operator=(const JoinableThread&) = delete;

    // Runs run() on a new thread; a thread of an earlier start() that has
    // ended is joined first. Does nothing while one is running. start() and
    // wait() belong to the owner's thread (receivers of finished() on it get
    // the signal queued, so they may call them).
    void start();
    // True from start() until run() has returned.
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }
    // Waits up to ms milliseconds for run() to return; true when it has
    // (or never started), and the thread is then joined.
    bool wait(unsigned long ms = ULONG_MAX);

  signals:
    // Emitted on the thread after run() has returned: a receiver on another
    // thread gets it queued, with isRunning() already false.
    void finished();

  protected:
    virtual void run() = 0;

  private:
    void body();

    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::mutex m_lock;
    std::condition_variable m_ended;
};

} // namespace kestrova
