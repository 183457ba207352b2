// A cable of limited speed between the computer and a virtual phone: the
// phone's service talks on one end of a socket pair, and two threads carry
// the bytes to and from the computer's tunnel no faster than the link
// allows. Without it, the lab's "cable" is as fast as memory, which no phone
// is (USB 2 carries about 40 MB/s).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace viphone {

// The link's time, shared by every tunnel to one phone and both directions
// (USB 2 is half duplex). Idle time is not saved up as a burst beyond a
// millisecond.
class LinkPacer {
  public:
    explicit LinkPacer(uint64_t bytesPerSecond) : secondsPerByte_(1.0 / double(bytesPerSecond)) {}
    // Returns once n more bytes have had their time on the link.
    void pass(size_t n);

  private:
    std::mutex mu_;
    std::chrono::steady_clock::time_point free_{};
    double secondsPerByte_;
};

class LinkRelay {
  public:
    // Relays tunnel through a new socket pair; *serviceFd is the phone's end.
    // Null, with *serviceFd untouched, when no pair can be made.
    static std::unique_ptr<LinkRelay> start(int tunnel, std::shared_ptr<LinkPacer> pacer,
                                            int* serviceFd);
    // The service has ended: what it wrote still reaches the computer, then
    // both threads end.
    ~LinkRelay();
    LinkRelay(const LinkRelay&) = delete;
    LinkRelay& operator=(const LinkRelay&) = delete;

  private:
    LinkRelay(int tunnel, int inner, int service, std::shared_ptr<LinkPacer> pacer);
    void carry(int from, int to, int how);

    int tunnel_, inner_, service_;
    std::shared_ptr<LinkPacer> pacer_;
    std::thread up_, down_;
};

} // namespace viphone
