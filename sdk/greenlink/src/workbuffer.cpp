// The work buffer for writing file data to a phone.
#include "workbuffer.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "greenlink_log.h"

unsigned char* g_writeDeviceDataTempBuffer = nullptr;
int32_t g_writeDeviceDataTempBuffer_len = 102400;

void checktempbuffer(void) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    while (!g_writeDeviceDataTempBuffer) {
        g_writeDeviceDataTempBuffer = static_cast<unsigned char*>(
            std::malloc(static_cast<size_t>(g_writeDeviceDataTempBuffer_len)));
        if (g_writeDeviceDataTempBuffer)
            return;
        if (g_writeDeviceDataTempBuffer_len <= 4096) {
            // Even the smallest size failed: give up rather than spin.
            WriteLog("checktempbuffer: no memory for %d bytes\n", g_writeDeviceDataTempBuffer_len);
            return;
        }
        g_writeDeviceDataTempBuffer_len = std::max(g_writeDeviceDataTempBuffer_len / 2, 4096);
    }
}
