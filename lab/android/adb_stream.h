#pragma once
// One logical stream of an ADB connection, seen from the phone. The host's
// writes queue up here (acknowledged at once while the queue is short, later
// when the service has caught up); the phone's writes go out in packets of at
// most the negotiated payload, with one packet in flight until the host's
// OKAY.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace lab {

class AdbConnection;

class AdbStream {
  public:
    AdbStream(AdbConnection& conn, uint32_t localId, uint32_t remoteId, std::string service);

    const std::string& service() const { return m_service; }
    uint32_t localId() const { return m_localId; }
    AdbConnection& connection() { return m_conn; }

    // Reading what the host wrote. readSome returns 0 at the end of input.
    size_t readSome(char* buf, size_t max);
    bool readExact(void* buf, size_t len);
    bool readExact(std::string& out, size_t len);

    // Writing to the host: buffered; full packets leave as soon as they fill.
    bool write(const void* data, size_t len);
    bool write(const std::string& s) { return write(s.data(), s.size()); }
    bool flush();
    bool closed() const;
    // Ends the stream from the phone's side: readers and writers return at
    // once and the host is told when the service finishes.
    void abort();

    // Called by the connection's reader.
    void onHostData(std::string data);
    void onHostOkay();
    void onHostClose();

  private:
    bool sendPacket(const char* data, size_t len);
    AdbConnection& m_conn;
    const uint32_t m_localId, m_remoteId;
    const std::string m_service;
    mutable std::mutex m_mu;
    std::condition_variable m_cv;
    std::deque<std::string> m_in;
    size_t m_inOffset = 0; // consumed part of m_in.front()
    size_t m_inQueued = 0;
    bool m_okayOwed = false;
    bool m_readyToSend = true;
    bool m_closed = false;  // the host closed it
    bool m_aborted = false; // the phone gave it up
    std::string m_out;
    friend class AdbConnection;
};

} // namespace lab
