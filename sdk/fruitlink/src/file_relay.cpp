#include "file_relay.h"

#include "trace.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace fruitlink {

namespace {
constexpr uint32_t kPiece = 10240;
}

const char* fileRelayErrorWord(int status) {
    switch (status) {
    case FILE_RELAY_E_PERMISSION_DENIED:
        return "PermissionDenied";
    case FILE_RELAY_E_STAGING_EMPTY:
        return "StagingEmpty";
    case FILE_RELAY_E_INVALID_SOURCE:
        return "InvalidSource";
    case FILE_RELAY_E_MUX_ERROR:
        return "connection failed";
    case FILE_RELAY_E_PLIST_ERROR:
        return "bad reply";
    default:
        return "unknown error";
    }
}

std::unique_ptr<AMFileRelay> AMFileRelay::create(const std::shared_ptr<AMDevice>& dev) {
    std::unique_ptr<AMFileRelay> r(new AMFileRelay());
    if (!r->initWithName("com.apple.mobile.file_relay", dev))
        return nullptr;
    if (file_relay_client_new(dev->handle(), r->service_.desc, &r->relay_) !=
        FILE_RELAY_E_SUCCESS) {
        r->relay_ = nullptr;
        dev->setLastError("file_relay_client_new failed", IPHONE_ERROR_CONNECTION);
        return nullptr;
    }
    return r;
}

AMFileRelay::~AMFileRelay() {
    if (relay_)
        file_relay_client_free(relay_);
}

bool AMFileRelay::slurpInto(idevice_connection_t conn, int outFd) {
    int fd = -1;
    if (idevice_connection_get_fd(conn, &fd) != IDEVICE_E_SUCCESS || fd < 0) {
        setLastError("no socket for the relay stream", IPHONE_ERROR_CONNECTION);
        return false;
    }
    char buf[kPiece];
    int idle = 0;
    for (;;) {
        if (abort_ && abort_->load()) {
            setLastError("aborted", IPHONE_ERROR_ABORTED);
            return false;
        }
        // Wait in one-second steps so an abort or a stall is noticed.
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, 1000);
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0) {
            if (++idle >= stallSeconds_) {
                setLastError("the relay stream stalled", IPHONE_ERROR_CONNECTION);
                return false;
            }
            continue;
        }
        idle = 0;
        uint32_t got = 0;
        idevice_error_t e = idevice_connection_receive(conn, buf, sizeof buf, &got);
        if (e != IDEVICE_E_SUCCESS || got == 0)
            return true; // the phone ended the stream; the archive check tells whole from cut
        ssize_t w = ::write(outFd, buf, got);
        if (w != static_cast<ssize_t>(got)) {
            setLastError("File truncated on write, nr=" + std::to_string(got) +
                             " nw=" + std::to_string(w),
                         IPHONE_ERROR_LOCAL);
            return false;
        }
        bytes_ += got;
    }
}

bool AMFileRelay::getFileSets(const std::vector<std::string>& sets, int outFd) {
    if (used_) {
        setLastError("AlreadyUsed", IPHONE_ERROR_PROTOCOL);
        return false;
    }
    used_ = true;
    std::vector<const char*> sources;
    for (const auto& s : sets)
        sources.push_back(s.c_str());
    sources.push_back(nullptr);
    idevice_connection_t conn = nullptr;
    file_relay_error_t e = file_relay_request_sources_timeout(relay_, sources.data(), &conn, 30000);
    if (e != FILE_RELAY_E_SUCCESS) {
        setLastError(fileRelayErrorWord(e), categoryOfFileRelay(e));
        return false;
    }
    return slurpInto(conn, outFd);
}

int AMFileRelay::getUserDatabases(const std::string& path) {
    WriteLog1(1, "filename %s\n", path.c_str());
    // A fresh file, so it is private whatever an earlier one was.
    ::unlink(path.c_str());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        setLastError("cannot create " + path, IPHONE_ERROR_LOCAL);
        return -1;
    }
    WriteLog1(1, "sending {Sources: [UserDatabases]}\n");
    bool ok = getFileSets({"UserDatabases"}, fd);
    ::close(fd);
    if (ok && bytes_ == 0)
        setLastError("no data came", IPHONE_ERROR_NOT_FOUND);
    return ok && bytes_ > 0 ? 1000000 : -1;
}

} // namespace fruitlink
