// The file relay service: asks the phone for sets of files and receives them
// as one compressed archive stream.
#pragma once

#include "am_service.h"

#include <atomic>
#include <libimobiledevice/file_relay.h>
#include <vector>

namespace fruitlink {

class AMFileRelay : public AMService {
  public:
    static std::unique_ptr<AMFileRelay> create(const std::shared_ptr<AMDevice>& dev);
    ~AMFileRelay() override;

    // Once per object ("AlreadyUsed" afterwards). Sends {"Sources": sets};
    // a reply with an error (e.g. "PermissionDenied") fails with that word as
    // lasterror. Otherwise streams the data to the file descriptor until the
    // phone ends the stream.
    bool getFileSets(const std::vector<std::string>& sets, int outFd);

    // The user databases into the archive file at path (created 0600, never
    // through a link). 1000000 when data arrived, -1 otherwise (lasterror
    // says why). The stream is given up after `stallSeconds` without a byte,
    // or when *abort becomes non-zero.
    int getUserDatabases(const std::string& path);

    void setAbortFlag(const std::atomic<int>* abort) { abort_ = abort; }
    void setStallSeconds(int s) { stallSeconds_ = s; }
    uint64_t bytesReceived() const { return bytes_; }

  private:
    AMFileRelay() = default;
    bool slurpInto(idevice_connection_t conn, int outFd);

    file_relay_client_t relay_ = nullptr;
    bool used_ = false;
    const std::atomic<int>* abort_ = nullptr;
    int stallSeconds_ = 60;
    uint64_t bytes_ = 0;
};

// The phone's own word for a file relay status.
const char* fileRelayErrorWord(int status);

} // namespace fruitlink
