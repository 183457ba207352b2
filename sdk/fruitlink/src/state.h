// Module state shared by the exported operations.
#pragma once

#include "archive_unpack.h"
#include "media_reader.h"

#include <atomic>
#include <mutex>

namespace fruitlink {

// 1 = the user asked to stop; cleared by each database fetch.
extern std::atomic<int> g_iphone_flush_abort;

// What the library keeps between exported calls. Made on first use and kept
// until the process ends (device events may still arrive while it exits).
class LibraryState {
  public:
    static LibraryState& instance();
    MediaReader& mediaReader() { return mediaReader_; }

    // What the last database fetch wrote below its folder, so that it can be
    // removed again.
    void setFetched(const std::string& archive, UnpackResult unpacked);
    // Removes it (the archive, the unpacked files, the folders they emptied)
    // and forgets it. False when something could not be removed.
    bool removeFetched(const std::string& folder, std::string* error);

  private:
    LibraryState() = default;
    MediaReader mediaReader_;
    std::mutex fetchMu_;
    std::string fetchedArchive_;
    UnpackResult fetched_;
};

} // namespace fruitlink
