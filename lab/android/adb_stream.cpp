#include "android/adb_stream.h"

#include <algorithm>
#include <cstring>

#include "android/adb_connection.h"
#include "android/adb_wire.h"

namespace lab {

namespace {
// Host data is acknowledged at once while less than this waits for the
// service, which keeps pushes streaming without letting memory grow.
constexpr size_t kInputWindow = 4 * 1024 * 1024;
} // namespace

AdbStream::AdbStream(AdbConnection& conn, uint32_t localId, uint32_t remoteId, std::string service)
    : m_conn(conn), m_localId(localId), m_remoteId(remoteId), m_service(std::move(service)) {}

void AdbStream::onHostData(std::string data) {
    bool ackNow;
    {
        std::lock_guard lk(m_mu);
        if (m_closed)
            return;
        m_inQueued += data.size();
        m_in.push_back(std::move(data));
        ackNow = m_inQueued < kInputWindow;
        m_okayOwed = !ackNow;
    }
    m_cv.notify_all();
    if (ackNow)
        m_conn.send(adb::A_OKAY, m_localId, m_remoteId);
}

void AdbStream::onHostOkay() {
    {
        std::lock_guard lk(m_mu);
        m_readyToSend = true;
    }
    m_cv.notify_all();
}

void AdbStream::onHostClose() {
    {
        std::lock_guard lk(m_mu);
        m_closed = true;
    }
    m_cv.notify_all();
}

bool AdbStream::closed() const {
    std::lock_guard lk(m_mu);
    return m_closed || m_aborted;
}

void AdbStream::abort() {
    {
        std::lock_guard lk(m_mu);
        m_aborted = true;
    }
    m_cv.notify_all();
}

size_t AdbStream::readSome(char* buf, size_t max) {
    size_t n = 0;
    bool ack = false;
    {
        std::unique_lock lk(m_mu);
        m_cv.wait(lk, [&] { return !m_in.empty() || m_closed || m_aborted; });
        if (m_in.empty() || m_aborted)
            return 0;
        std::string& front = m_in.front();
        n = std::min(max, front.size() - m_inOffset);
        std::memcpy(buf, front.data() + m_inOffset, n);
        m_inOffset += n;
        m_inQueued -= n;
        if (m_inOffset == front.size()) {
            m_in.pop_front();
            m_inOffset = 0;
        }
        if (m_okayOwed && m_inQueued < kInputWindow && !m_closed) {
            m_okayOwed = false;
            ack = true;
        }
    }
    if (ack)
        m_conn.send(adb::A_OKAY, m_localId, m_remoteId);
    return n;
}

bool AdbStream::readExact(void* buf, size_t len) {
    auto* p = static_cast<char*>(buf);
    while (len > 0) {
        size_t n = readSome(p, len);
        if (n == 0)
            return false;
        p += n;
        len -= n;
    }
    return true;
}

bool AdbStream::readExact(std::string& out, size_t len) {
    out.resize(len);
    return readExact(out.data(), len);
}

bool AdbStream::sendPacket(const char* data, size_t len) {
    {
        std::unique_lock lk(m_mu);
        m_cv.wait(lk, [&] { return m_readyToSend || m_closed || m_aborted; });
        if (m_closed || m_aborted)
            return false;
        m_readyToSend = false;
    }
    return m_conn.send(adb::A_WRTE, m_localId, m_remoteId, data, len);
}

bool AdbStream::write(const void* data, size_t len) {
    const size_t max = m_conn.maxPayload();
    const auto* p = static_cast<const char*>(data);
    // Whole packets straight from the caller's buffer; the rest waits.
    if (m_out.empty()) {
        while (len >= max) {
            if (!sendPacket(p, max))
                return false;
            p += max;
            len -= max;
        }
        m_out.assign(p, len);
        return !closed();
    }
    m_out.append(p, len);
    size_t off = 0;
    while (m_out.size() - off >= max) {
        if (!sendPacket(m_out.data() + off, max))
            return false;
        off += max;
    }
    m_out.erase(0, off);
    return !closed();
}

bool AdbStream::flush() {
    const size_t max = m_conn.maxPayload();
    size_t off = 0;
    while (off < m_out.size()) {
        size_t n = std::min(max, m_out.size() - off);
        if (!sendPacket(m_out.data() + off, n))
            return false;
        off += n;
    }
    m_out.clear();
    return true;
}

} // namespace lab
