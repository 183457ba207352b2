// The list of attached iPhones (and mounted iPods) that the exported
// operations address by index.
#pragma once

#include "iphone_nodes.h"

#include <memory>

namespace fruitlink {

class AMDevice;

// The device at index, kept alive for as long as the caller holds it, or
// nullptr (also for an iPod entry).
std::shared_ptr<AMDevice> deviceAtIndex(int index);

// Lists a newly attached device with its values (Add_iPhoneDevice). False
// when its values could not be read (no session: the device's last error
// says why); the device is listed all the same, with what it gave.
bool addDeviceNode(const std::shared_ptr<AMDevice>& dev);

// Reads the device's values again (one session) and puts a fresh node in
// place of its current one, at the same index. Readers holding the old node
// keep it. False when the values could not be read (the device's last error
// says why) or the device is no longer listed.
bool refreshDeviceNode(const std::shared_ptr<AMDevice>& dev);

// Device nodes not yet freed: listed, held by a caller, or borrowed by a
// thread. For tests of the nodes' lifetime.
int liveDeviceNodes();

} // namespace fruitlink
