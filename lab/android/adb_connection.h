#pragma once
// One `adb connect` session with the phone: the handshake in the phone's
// current state (device, unauthorized, offline) and the streams the host
// opens on it. Each stream's service runs on its own thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "android/adb_stream.h"

namespace lab {

class Phone;

// Runs one service on a stream; returns when the service is done.
using ServiceRunner = std::function<void(std::shared_ptr<AdbStream>)>;
// Gives the runner for a service name, or an empty function to refuse it.
using ServiceLookup = std::function<ServiceRunner(const std::string& service)>;

class AdbConnection : public std::enable_shared_from_this<AdbConnection> {
  public:
    AdbConnection(Phone& phone, int fd, ServiceLookup lookup);
    ~AdbConnection();

    // Reads packets until the host goes away or drop() is called.
    void run();
    // Cuts the connection as a pulled cable would.
    void drop();
    // Answers a handshake that was waiting for the user's "Allow".
    void authorise();

    bool send(uint32_t cmd, uint32_t arg0, uint32_t arg1, const char* data = nullptr,
              size_t len = 0);
    uint32_t maxPayload() const { return m_maxPayload.load(); }
    Phone& phone() { return m_phone; }
    // The service has finished: flush, tell the host, forget the stream.
    void finishStream(const std::shared_ptr<AdbStream>& s);

  private:
    void handle(uint32_t cmd, uint32_t a0, uint32_t a1, std::string& payload);
    void onConnect(uint32_t hostMaxPayload);
    void onAuth(uint32_t type);
    void onOpen(uint32_t remoteId, const std::string& payload);
    void sendBanner();
    void sendAuthToken();
    std::shared_ptr<AdbStream> stream(uint32_t localId);
    void closeAllStreams();

    Phone& m_phone;
    int m_fd;
    ServiceLookup m_lookup;
    std::mutex m_writeMu;
    std::mutex m_streamsMu;
    std::map<uint32_t, std::shared_ptr<AdbStream>> m_streams;
    uint32_t m_nextId = 1;
    std::atomic<uint32_t> m_maxPayload{4096};
    std::atomic<bool> m_online{false};
    std::atomic<bool> m_awaitingAuth{false};
    std::atomic<bool> m_checksums{true};
};

} // namespace lab
