#include "page_buffer.h"

#include <cstdlib>
#include <mutex>

namespace greenlink {

int getTemp_StDataBuffer(char** out) {
    static char* st_tempdata_save_buffer = nullptr;
    static std::once_flag once;
    std::call_once(
        once, [] { st_tempdata_save_buffer = static_cast<char*>(std::malloc(kPageBufferSize)); });
    if (out)
        *out = st_tempdata_save_buffer;
    return st_tempdata_save_buffer ? kPageBufferSize : 0;
}

} // namespace greenlink
