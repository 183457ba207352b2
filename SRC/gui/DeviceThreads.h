// The threads that keep the main window in step with the phones: one counts
// attached iPhones and Android phones for the life of the window, two short
// ones check an Android phone's debugging state and prepare it. Each writes
// only its own fields; the GUI thread reads them on its timer or after
// finished().
#pragma once

#include <QThread>

#include <atomic>
#include <cstdint>

// QThread::wait() waits on Qt's own futex, which ThreadSanitizer does not
// follow (the distribution's Qt is not built with it): the waiter's reads and
// its delete would look unordered with the thread's last writes. The end of
// run() is also published through a C++ atomic that waitEnded() reads, so the
// order holds for the sanitizer as it does for the program.
class DeviceThread : public QThread {
  public:
    // wait(), then everything the thread wrote is the caller's to read or free.
    void waitEnded();

  protected:
    virtual void work() = 0;

  private:
    void run() final;
    std::atomic<uint32_t> m_runs{0};
};

class GetDeviceCountThread : public DeviceThread {
    Q_OBJECT
  public:
    std::atomic<int32_t> m_totalCount{0};
    std::atomic<int32_t> m_iphoneCount{0};
    std::atomic<int32_t> m_androidCount{0};
    std::atomic<int32_t> m_extraCount{0};
    std::atomic<int32_t> m_stopFlag{0};

    // Ends the loop at its next step and waits for it.
    void stopAndWait();

  protected:
    void work() override;

  private:
    // Sleeps in short steps so a stop request is seen quickly.
    bool pause(int milliseconds);
};

class CheckDeviceDetectedThread : public DeviceThread {
    Q_OBJECT
  public:
    std::atomic<int32_t> index{0};
    std::atomic<int32_t> m_result{-1};

  protected:
    void work() override;
};

class ReadyScanThread : public DeviceThread {
    Q_OBJECT
  public:
    std::atomic<int32_t> index{0};
    std::atomic<int32_t> m_result{-1};

  signals:
    void debugisOpened(int index);

  protected:
    void work() override;
};
