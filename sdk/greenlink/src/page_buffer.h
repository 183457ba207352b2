// The library's one large reply buffer (5 MiB), shared by the record pages
// and the thumbnails. What it holds is overwritten by the next command that
// uses it.
#pragma once

namespace greenlink {

constexpr int kPageBufferSize = 5 * 1024 * 1024;

// Sets *out to the buffer and returns its length; 0 (and *out null) when it
// cannot be allocated.
int getTemp_StDataBuffer(char** out);

} // namespace greenlink
