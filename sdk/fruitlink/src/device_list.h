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

} // namespace fruitlink
