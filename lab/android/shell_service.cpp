// shell:, shell,v2: and exec:/abb_exec: services.
#include <cstring>

#include "android/phone.h"
#include "android/services.h"
#include "android/shell_commands.h"

namespace lab {

namespace {

// Shell protocol v2 packet ids.
enum : uint8_t { kStdin = 0, kStdout = 1, kStderr = 2, kExit = 3, kCloseStdin = 4 };
// The host's shell packet buffer is small: keep each packet well inside it.
constexpr size_t kShellChunk = 4000;
constexpr uint32_t kMaxHostPacket = 1024 * 1024;

bool sendV2(AdbStream& s, uint8_t id, const std::string& data) {
    size_t off = 0;
    do {
        size_t n = std::min(kShellChunk, data.size() - off);
        char hdr[5] = {static_cast<char>(id), static_cast<char>(n), static_cast<char>(n >> 8),
                       static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
        if (!s.write(hdr, sizeof hdr) || !s.write(data.data() + off, n))
            return false;
        off += n;
    } while (off < data.size());
    return true;
}

// Standard input of a v2 shell: the payloads of stdin packets until the
// host closes it.
class V2Stdin {
  public:
    explicit V2Stdin(AdbStream& s) : m_s(s) {}
    size_t read(char* buf, size_t max) {
        while (m_left == 0) {
            if (m_eof)
                return 0;
            unsigned char hdr[5];
            if (!m_s.readExact(hdr, sizeof hdr)) {
                m_eof = true;
                return 0;
            }
            uint32_t len =
                hdr[1] | hdr[2] << 8 | hdr[3] << 16 | static_cast<uint32_t>(hdr[4]) << 24;
            if (len > kMaxHostPacket) {
                m_eof = true;
                return 0;
            }
            if (hdr[0] == kStdin) {
                m_left = len;
            } else {
                std::string skip;
                if (!m_s.readExact(skip, len) || hdr[0] == kCloseStdin)
                    m_eof = true;
            }
        }
        size_t n = m_s.readSome(buf, std::min<size_t>(max, m_left));
        if (n == 0)
            m_eof = true;
        m_left -= n;
        return n;
    }

  private:
    AdbStream& m_s;
    size_t m_left = 0;
    bool m_eof = false;
};

} // namespace

void runShellService(Phone& phone, const std::shared_ptr<AdbStream>& s) {
    const std::string& svc = s->service();
    size_t colon = svc.find(':');
    std::string head = svc.substr(0, colon);
    std::string line = svc.substr(colon + 1);
    bool v2 = (head + ",").find(",v2,") != std::string::npos;
    if (!v2) {
        CommandResult r =
            runPhoneCommandLine(phone, line, [&](char* b, size_t n) { return s->readSome(b, n); });
        s->write(r.out + r.err); // the old protocol merges both and has no exit code
        return;
    }
    V2Stdin in(*s);
    CommandResult r =
        runPhoneCommandLine(phone, line, [&](char* b, size_t n) { return in.read(b, n); });
    if (!r.out.empty())
        sendV2(*s, kStdout, r.out);
    if (!r.err.empty())
        sendV2(*s, kStderr, r.err);
    sendV2(*s, kExit, std::string(1, static_cast<char>(r.code & 0xFF)));
}

void runExecService(Phone& phone, const std::shared_ptr<AdbStream>& s, bool abb) {
    const std::string& svc = s->service();
    std::string rest = svc.substr(svc.find(':') + 1);
    auto in = [&](char* b, size_t n) { return s->readSome(b, n); };
    CommandResult r;
    if (abb) {
        // abb_exec: arguments separated by NUL, addressed to a system service.
        std::vector<std::string> argv = {"cmd"};
        size_t pos = 0;
        while (pos <= rest.size()) {
            size_t end = rest.find('\0', pos);
            if (end == std::string::npos)
                end = rest.size();
            argv.push_back(rest.substr(pos, end - pos));
            pos = end + 1;
        }
        r = runPhoneCommand(phone, argv, in);
    } else {
        r = runPhoneCommandLine(phone, rest, in);
    }
    s->write(r.out); // exec: carries standard output only
}

} // namespace lab
