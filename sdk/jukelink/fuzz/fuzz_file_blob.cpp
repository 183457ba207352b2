// libFuzzer target: the `file` blob of a Manifest.db row (a keyed archive,
// binary property list) as the reader decodes a file's size from it.
#include <cstddef>
#include <cstdint>

#include "manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<int64_t> v = jukelink::sizeFromFileBlob(data, size);
    if (v && *v < 0)
        __builtin_trap();
    return 0;
}
