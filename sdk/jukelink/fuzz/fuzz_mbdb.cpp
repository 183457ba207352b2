// libFuzzer target: the Manifest.mbdb parser on arbitrary bytes; records
// read before an error must lie inside the input.
#include <cstddef>
#include <cstdint>

#include "mbdb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    jukelink::MbdbResult r = jukelink::parseMbdb(data, size, 100000);
    size_t total = 0;
    for (const jukelink::MbdbRecord& rec : r.records)
        total += rec.domain.size() + rec.path.size() + rec.linkTarget.size();
    if (total > size || (!r.ok && r.errorOffset > size))
        __builtin_trap();
    return 0;
}
