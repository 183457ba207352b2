// The work buffer used when file data is written to a phone.
#pragma once

#include <cstdint>

#include "greenlink_runner.h"

// Allocated by checktempbuffer(), never freed. Its length starts at 102400
// and is halved (not below 4096) while the allocation fails.
extern unsigned char* g_writeDeviceDataTempBuffer;
extern int32_t g_writeDeviceDataTempBuffer_len;
