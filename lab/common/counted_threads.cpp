#include "common/counted_threads.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace lab {
namespace {

std::mutex g_lock;
std::condition_variable g_ended;
int g_live = 0;

} // namespace

void startCounted(std::function<void()> work) {
    {
        std::lock_guard lock(g_lock);
        ++g_live;
    }
    std::thread([work = std::move(work)] {
        work();
        std::lock_guard lock(g_lock);
        if (--g_live == 0)
            g_ended.notify_all();
    }).detach();
}

bool waitCountedEnded(int ms) {
    std::unique_lock lock(g_lock);
    return g_ended.wait_for(lock, std::chrono::milliseconds(ms), [] { return g_live == 0; });
}

} // namespace lab
