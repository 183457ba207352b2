// libFuzzer target: the Manifest.mbdb parser on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "mbdb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    jukelink::MbdbResult r = jukelink::parseMbdb(data, size, 100000);
    size_t total = 0;
    for (const jukelink::MbdbRecord& rec : r.records)
        total += rec.domain.size() + rec.path.size() + rec.linkTarget.size();
    return total > 0 && !r.ok ? 0 : 0;
}
