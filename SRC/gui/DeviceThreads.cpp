#include "DeviceThreads.h"

#include "fruitlink.h"
#include "greenlink.h"

#include <chrono>
#include <thread>

void GetDeviceCountThread::run() {
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
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return !m_stopFlag;
}

void GetDeviceCountThread::stopAndWait() {
    m_stopFlag = 1;
    wait();
}

void CheckDeviceDetectedThread::run() {
    m_result = -1;
    m_result = AndroidTSF_CheckDeviceDetected(index);
}

void ReadyScanThread::run() {
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
        std::this_thread::sleep_for(std::chrono::seconds(1));
}
