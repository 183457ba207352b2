// Reading one media file at a time from an iPhone over AFC: the one open file
// of the whole library and the AFC connection it was opened on.
#pragma once

#include "afc_access.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace fruitlink {

class MediaReader {
  public:
    MediaReader();
    ~MediaReader();
    MediaReader(const MediaReader&) = delete;
    MediaReader& operator=(const MediaReader&) = delete;

    // 1000 (the handle) when the file is open, -1 otherwise (the library's
    // last error says why). A file still open is closed first.
    int64_t open(const std::shared_ptr<AMDevice>& dev, const char* path);
    // Bytes copied (1..count); 0 at the end of a file that arrived whole;
    // -1 when no file is open, the read failed or the file ended short.
    int read(char* buf, int count);
    // 0, or -1 when no file is open.
    int close();
    bool hasOpenFile();
    // Lets go of the kept connection (and its device), e.g. when the phone
    // has been detached.
    void reset();

  private:
    struct OpenFile;
    bool refill(OpenFile& f);
    void dropConnection();

    std::mutex mu_; // one operation at a time; Read may wait on the phone while holding it
    // The connection of the last Open, kept for the next file of the same
    // device: a transfer opens thousands of photos one after the other, and
    // each new connection costs a lockdownd session and a service start.
    std::shared_ptr<AMDevice> device_;
    std::unique_ptr<AFCMediaDirectory> st_afcAccess;
    std::unique_ptr<OpenFile> st_afc;
};

} // namespace fruitlink
