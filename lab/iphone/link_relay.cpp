#include "link_relay.h"

#include "common/net.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace viphone {

constexpr size_t kChunk = 64 * 1024;

void LinkPacer::pass(size_t n) {
    std::chrono::steady_clock::time_point done;
    {
        std::lock_guard<std::mutex> lock(mu_);
        // A relay woken late may catch up by a millisecond: the link does
        // not lose the time its scheduler does, but an idle link saves none.
        const auto now = std::chrono::steady_clock::now();
        if (free_ < now - std::chrono::milliseconds(1))
            free_ = now - std::chrono::milliseconds(1);
        free_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(double(n) * secondsPerByte_));
        done = free_;
    }
    std::this_thread::sleep_until(done);
}

std::unique_ptr<LinkRelay> LinkRelay::start(int tunnel, std::shared_ptr<LinkPacer> pacer,
                                            int* serviceFd) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return nullptr;
    *serviceFd = pair[0];
    return std::unique_ptr<LinkRelay>(new LinkRelay(tunnel, pair[1], pair[0], std::move(pacer)));
}

LinkRelay::LinkRelay(int tunnel, int inner, int service, std::shared_ptr<LinkPacer> pacer)
    : tunnel_(tunnel), inner_(inner), service_(service), pacer_(std::move(pacer)) {
    // Upwards, the end of either side ends the phone's writes too, as on a
    // pulled cable; downwards, the phone reads the end of the stream.
    up_ = std::thread([this] { carry(inner_, tunnel_, SHUT_RDWR); });
    down_ = std::thread([this] { carry(tunnel_, inner_, SHUT_WR); });
}

LinkRelay::~LinkRelay() {
    // The service's end closes: the upward thread sends what is left and
    // sees the end; the downward one is woken from its read of the tunnel.
    ::shutdown(service_, SHUT_WR);
    up_.join();
    ::shutdown(tunnel_, SHUT_RD);
    down_.join();
    ::close(service_);
    ::close(inner_);
}

// Moves bytes from one end to the other at the link's pace until either
// end fails; then the phone's end is shut down as `how` says.
void LinkRelay::carry(int from, int to, int how) {
    char buf[kChunk];
    for (;;) {
        ssize_t n = ::recv(from, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pacer_->pass(static_cast<size_t>(n));
        if (!lab::writeAll(to, buf, static_cast<size_t>(n)))
            break;
    }
    ::shutdown(inner_, how);
}

} // namespace viphone
