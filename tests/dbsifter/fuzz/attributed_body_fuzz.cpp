// libFuzzer target: archived message bodies of any shape must decode to
// valid UTF-8 within the blob, or to nothing.
#include "attributed_body.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto text = dbsifter::decodeAttributedBody(data, size);
    if (text && (text->size() > size || !dbsifter::isValidUtf8(text->data(), text->size())))
        std::abort();
    return 0;
}
