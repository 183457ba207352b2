// The file service behind adb push, pull and ls: requests of a 4-byte id and
// a 4-byte little-endian length, on the phone folder.
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "android/adb_connection.h"
#include "android/phone.h"
#include "android/services.h"
#include "android/sync_wire.h"
#include "common/files.h"
#include "common/net.h"

namespace lab {

namespace {

constexpr uint32_t kMaxPathLen = 1024;
constexpr uint32_t kMaxDataChunk = 1024 * 1024;

class SyncSession {
  public:
    SyncSession(Phone& phone, AdbStream& s) : m_phone(phone), m_s(s) {}

    void run() {
        while (true) {
            char req[8];
            if (!m_s.readExact(req, sizeof req))
                return;
            std::string id(req, 4);
            uint32_t arg = sync::le32(req + 4);
            if (id == "QUIT")
                return;
            if (arg > kMaxPathLen) {
                fail("path too long");
                return;
            }
            std::string path;
            if (!m_s.readExact(path, arg))
                return;
            bool more = true;
            if (id == "STAT")
                m_s.write(sync::statV1(lstatOf(path)));
            else if (id == "STA2" || id == "LST2")
                m_s.write(sync::statV2(id, id == "STA2" ? statOf(path) : lstatOf(path)));
            else if (id == "LIST" || id == "LIS2")
                list(path, id == "LIS2");
            else if (id == "SEND")
                more = send(path);
            else if (id == "RECV")
                more = recv(path);
            else {
                fail("unknown sync command");
                more = false;
            }
            if (!more || !m_s.flush())
                return;
        }
    }

  private:
    sync::FileStat statWith(const std::string& path, bool follow) {
        ResolvedPath h = m_phone.fs().resolve(path);
        if (!h)
            return sync::FileStat::failed(h.error);
        struct stat st;
        int rc = follow ? stat(h.host.c_str(), &st) : lstat(h.host.c_str(), &st);
        return rc == 0 ? sync::FileStat::of(st) : sync::FileStat::failed(errno);
    }
    sync::FileStat statOf(const std::string& p) { return statWith(p, true); }
    sync::FileStat lstatOf(const std::string& p) { return statWith(p, false); }

    void fail(const std::string& msg) {
        m_s.write(sync::failMessage(msg));
        m_s.flush();
    }

    void list(const std::string& path, bool v2) {
        ResolvedPath h = m_phone.fs().resolve(path);
        DIR* d = h ? opendir(h.host.c_str()) : nullptr;
        while (dirent* e = d ? readdir(d) : nullptr) {
            struct stat st;
            if (lstat((h.host + "/" + e->d_name).c_str(), &st) != 0)
                continue;
            m_s.write(v2 ? sync::dentV2(sync::FileStat::of(st), e->d_name)
                         : sync::dentV1(sync::FileStat::of(st), e->d_name));
        }
        if (d)
            closedir(d);
        m_s.write(v2 ? sync::doneV2() : sync::doneV1());
    }

    // Reads DATA chunks up to DONE into fd (or discards them when fd < 0).
    // Returns the error text, empty on success; `dropped` tells of a cut.
    std::string receiveData(int fd, bool& dropped) {
        std::string err, chunk;
        while (true) {
            char hdr[8];
            if (!m_s.readExact(hdr, sizeof hdr))
                return dropped = true, "connection closed";
            std::string id(hdr, 4);
            uint32_t len = sync::le32(hdr + 4);
            if (id == "DONE")
                return err;
            if (id != "DATA" || len > kMaxDataChunk)
                return dropped = true, "invalid data message";
            if (!m_s.readExact(chunk, len))
                return dropped = true, "connection closed";
            if (m_phone.countAndCheckDrop(len)) {
                m_s.connection().drop();
                return dropped = true, "connection dropped";
            }
            if (fd >= 0 && err.empty()) {
                if (!m_phone.reserveDisk(len))
                    err = "write failed: No space left on device";
                else if (!writeAll(fd, chunk.data(), chunk.size()))
                    err = std::string("write failed: ") + std::strerror(errno);
            }
        }
    }

    bool send(const std::string& target) {
        size_t comma = target.rfind(',');
        std::string path = target.substr(0, comma);
        mode_t mode = comma == std::string::npos
                          ? 0644
                          : std::strtoul(target.c_str() + comma + 1, nullptr, 10);
        ResolvedPath h = m_phone.fs().resolve(path);
        std::string err;
        int fd = -1;
        if (!h)
            err = std::string("couldn't create file: ") + std::strerror(h.error);
        else if (S_ISLNK(mode))
            err = "symbolic links are not supported";
        else {
            std::string parent = h.host.substr(0, h.host.rfind('/'));
            if (!makeDirs(parent, 0771))
                err = std::string("secure_mkdirs failed: ") + std::strerror(errno);
            else if ((fd = open(h.host.c_str(),
                                O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                                (mode & 0777) | 0600)) < 0)
                err = std::string("couldn't create file: ") + std::strerror(errno);
        }
        bool dropped = false;
        std::string dataErr = receiveData(fd, dropped);
        if (err.empty())
            err = dataErr;
        if (fd >= 0)
            close(fd);
        if (!err.empty() && fd >= 0)
            unlink(h.host.c_str()); // no half-written file stays behind
        if (dropped)
            return false;
        if (!err.empty()) {
            fail(err);
            return false;
        }
        m_s.write(sync::okay());
        return true;
    }

    bool recv(const std::string& path) {
        ResolvedPath h = m_phone.fs().resolve(path);
        int fd = h ? open(h.host.c_str(), O_RDONLY | O_CLOEXEC) : -1;
        if (fd < 0) {
            fail(std::strerror(h ? errno : h.error));
            return false;
        }
        std::string buf(64 * 1024 + 8, '\0');
        bool ok = true;
        while (true) {
            ssize_t n = read(fd, buf.data() + 8, 64 * 1024);
            if (n < 0) {
                fail(std::string("read failed: ") + std::strerror(errno));
                ok = false;
                break;
            }
            if (n == 0)
                break;
            if (m_phone.countAndCheckDrop(static_cast<size_t>(n))) {
                m_s.flush();
                m_s.connection().drop();
                ok = false;
                break;
            }
            sync::putHeader(buf.data(), "DATA", static_cast<uint32_t>(n));
            if (!m_s.write(buf.data(), static_cast<size_t>(n) + 8)) {
                ok = false;
                break;
            }
        }
        close(fd);
        if (ok)
            m_s.write(sync::done());
        return ok;
    }

    Phone& m_phone;
    AdbStream& m_s;
};

} // namespace

void runSyncService(Phone& phone, const std::shared_ptr<AdbStream>& s) {
    SyncSession(phone, *s).run();
}

} // namespace lab
