// The threads that keep the main window in step with the phones: one counts
// attached iPhones and Android phones for the life of the window, two short
// ones check an Android phone's debugging state and prepare it. Each writes
// only its own fields; the GUI thread reads them on its timer or after
// finished().
#pragma once

#include <atomic>
#include <cstdint>

#include "joinable_thread.h"

// Each one's run() is its whole work; the window waits for it (a join)
// before it reads what the thread wrote last or deletes it.
using DeviceThread = kestrova::JoinableThread;

class GetDeviceCountThread : public DeviceThread {
    Q_OBJECT
  public:
    std::atomic<int32_t> m_totalCount{0};
    std::atomic<int32_t> m_iphoneCount{0};
    std::atomic<int32_t> m_androidCount{0};
    std::atomic<int32_t> m_extraCount{0};
    std::atomic<int32_t> m_stopFlag{0};

    ~GetDeviceCountThread() override { stopAndWait(); }
    // Ends the loop at its next step and waits for it.
    void stopAndWait();

  protected:
    void run() override;

  private:
    // Sleeps in short steps so a stop request is seen quickly.
    bool pause(int milliseconds);
};

class CheckDeviceDetectedThread : public DeviceThread {
    Q_OBJECT
  public:
    ~CheckDeviceDetectedThread() override { wait(); }
    std::atomic<int32_t> index{0};
    std::atomic<int32_t> m_result{-1};

  protected:
    void run() override;
};

class ReadyScanThread : public DeviceThread {
    Q_OBJECT
  public:
    ~ReadyScanThread() override { wait(); }
    std::atomic<int32_t> index{0};
    std::atomic<int32_t> m_result{-1};

  signals:
    void debugisOpened(int index);

  protected:
    void run() override;
};
