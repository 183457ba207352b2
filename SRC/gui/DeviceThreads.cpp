#include "DeviceThreads.h"

#include "fruitlink.h"
#include "greenlink.h"

void DeviceThread::run() {
    work();
    m_runs.fetch_add(1, std::memory_order_release);
}

void DeviceThread::waitEnded() {
    wait();
    (void)m_runs.load(std::memory_order_acquire);
}

void GetDeviceCountThread::work() {
    for (;;) {
        m_iphoneCount = IphoneTSF_ConnectDeviceCount();
        if (m_stopFlag)
            break;
        m_androidCount = AndroidTSF_CheckConnectDeviceToPC_Count();
        m_totalCount = m_androidCount + m_iphoneCount + m_extraCount;
        if (m_stopFlag)
            break;
        // Each Android count enumerates the USB bus: poll less while busy.
        if (m_totalCount >= 2 && !pause(2000))
            break;
        if (!pause(1000))
            break;
    }
}

bool GetDeviceCountThread::pause(int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (m_stopFlag)
            return false;
        QThread::msleep(50);
    }
    return !m_stopFlag;
}

void GetDeviceCountThread::stopAndWait() {
    m_stopFlag = 1;
    waitEnded();
}

void CheckDeviceDetectedThread::work() {
    m_result = -1;
    m_result = AndroidTSF_CheckDeviceDetected(index);
}

void ReadyScanThread::work() {
    m_result = -1;
    const int r = AndroidTSF_CheckDeviceDetected(index);
    m_result = r;
    if (r == 0) {
        emit debugisOpened(index);
        m_result = AndroidTSF_ReadyTodoing(index);
    }
    // A phone that could not be made ready is tried again only after a
    // pause; a ready one is shown at once.
    if (m_result != 0)
        QThread::sleep(1);
}
