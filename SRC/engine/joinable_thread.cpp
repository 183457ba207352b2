#include "joinable_thread.h"

#include <chrono>

namespace kestrova {

JoinableThread::~JoinableThread() { wait(); }

void JoinableThread::start() {
    if (isRunning())
        return;
    if (m_thread.joinable())
        m_thread.join(); // has ended, or is emitting finished(): at once
    m_running.store(true, std::memory_order_release);
    m_thread = std::thread(&JoinableThread::body, this);
}

void JoinableThread::body() {
    run();
    {
        std::lock_guard lock(m_lock);
        m_running.store(false, std::memory_order_release);
    }
    m_ended.notify_all();
    emit finished();
}

bool JoinableThread::wait(unsigned long ms) {
    {
        std::unique_lock lock(m_lock);
        const auto ended = [this] { return !m_running.load(std::memory_order_acquire); };
        if (ms == ULONG_MAX)
            m_ended.wait(lock, ended);
        else if (!m_ended.wait_for(lock, std::chrono::milliseconds(ms), ended))
            return false;
    }
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
    return true;
}

} // namespace kestrova
