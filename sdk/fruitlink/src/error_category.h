// The failure categories of the exported API, mapped once from each
// libimobiledevice layer's own error codes at the point the code comes back.
#pragma once

#include <fruitlink.h>
#include <string>

namespace fruitlink {

using ErrorCategory = IphoneErrorCategory;

ErrorCategory categoryOfLockdown(int lockdownStatus);
ErrorCategory categoryOfAfc(int afcStatus);
ErrorCategory categoryOfFileRelay(int relayStatus);
ErrorCategory categoryOfIdevice(int ideviceStatus);
ErrorCategory categoryOfService(int serviceStatus);

// Short words for a category, for logs.
const char* categoryName(ErrorCategory c);

// True when usbmuxd still lists the phone. An I/O failure on a phone that is
// no longer listed means it was unplugged, not that a transfer broke.
bool stillAttached(const std::string& udid);

} // namespace fruitlink
