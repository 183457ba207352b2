// The virtual phone's AFC service: read-only access to its folder.
#include "afc_paths.h"
#include "common/net.h"
#include "lab_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace viphone {
namespace {

constexpr char kMagic[8] = {'C', 'F', 'A', '6', 'L', 'P', 'A', 'A'};
constexpr size_t kHeader = 40;
// Requests of a read-only service are small; a larger packet is refused.
constexpr uint64_t kMaxRequestPart = 64 * 1024;
// A read request may ask for more; one reply carries at most this much.
constexpr uint64_t kMaxReadReply = 8u << 20;

enum Op : uint64_t {
    kStatus = 1,
    kData = 2,
    kReadDir = 3,
    kGetFileInfo = 0x0A,
    kGetDevInfo = 0x0B,
    kFileOpen = 0x0D,
    kFileOpenRes = 0x0E,
    kRead = 0x0F,
    kWrite = 0x10,
    kSeek = 0x11,
    kTell = 0x12,
    kTellRes = 0x13,
    kClose = 0x14,
    kFileLock = 0x1B,
};

enum Err : uint64_t {
    kOk = 0,
    kReadError = 4,
    kInvalidArg = 7,
    kNotFound = 8,
    kIsDir = 9,
    kPermDenied = 10,
    kNotSupported = 15,
    kWouldBlock = 19,
};

// The one file a host may open for writing: the sync lock, kept by the
// phone itself rather than in the folder it serves.
constexpr char kSyncLockPath[] = "com.apple.itunes.lock_sync";
constexpr uint64_t kLockShared = 1 | 4, kLockExclusive = 2 | 4, kUnlock = 8 | 4;

uint64_t le64(const unsigned char* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

void putLe64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>(v >> (8 * i)));
}

bool sendAll(int fd, const char* data, size_t size) {
    size_t off = 0;
    while (off < size) {
        ssize_t w = ::send(fd, data + off, size - off, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        off += static_cast<size_t>(w);
    }
    return true;
}

bool sendPacket(int fd, uint64_t num, uint64_t op, const std::string& header,
                const std::string& data) {
    std::string out(kMagic, sizeof kMagic);
    uint64_t thisLen = kHeader + header.size();
    putLe64(out, thisLen + data.size());
    putLe64(out, thisLen);
    putLe64(out, num);
    putLe64(out, op);
    out += header;
    out += data;
    return sendAll(fd, out.data(), out.size());
}

bool sendStatus(int fd, uint64_t num, uint64_t code) {
    std::string h;
    putLe64(h, code);
    return sendPacket(fd, num, kStatus, h, {});
}

std::string kvList(const std::vector<std::string>& items) {
    std::string out;
    for (auto& s : items) {
        out += s;
        out.push_back('\0');
    }
    return out;
}

std::string pathArg(const std::string& payload, size_t offset) {
    if (offset >= payload.size())
        return {};
    size_t end = payload.find('\0', offset);
    return payload.substr(offset, end == std::string::npos ? std::string::npos : end - offset);
}

// File information the way a phone reports it; links are described, not followed.
bool fileInfo(const std::string& full, std::vector<std::string>* kv) {
    struct stat st;
    if (::lstat(full.c_str(), &st) != 0)
        return false;
    const char* fmt = S_ISLNK(st.st_mode) ? "S_IFLNK" : S_ISDIR(st.st_mode) ? "S_IFDIR" : "S_IFREG";
    uint64_t mtime = uint64_t(st.st_mtim.tv_sec) * 1000000000ull + uint64_t(st.st_mtim.tv_nsec);
    *kv = {"st_size",  std::to_string(st.st_size),  "st_blocks",    std::to_string(st.st_blocks),
           "st_nlink", std::to_string(st.st_nlink), "st_ifmt",      fmt,
           "st_mtime", std::to_string(mtime),       "st_birthtime", std::to_string(mtime)};
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        ssize_t n = ::readlink(full.c_str(), target, sizeof target - 1);
        kv->push_back("LinkTarget");
        kv->push_back(std::string(target, n > 0 ? static_cast<size_t>(n) : 0));
    }
    return true;
}

bool listDir(const std::string& full, std::vector<std::string>* names) {
    DIR* d = ::opendir(full.c_str());
    if (!d)
        return false;
    std::vector<std::string> found;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..")
            found.push_back(n);
    }
    ::closedir(d);
    std::sort(found.begin(), found.end());
    *names = {".", ".."};
    names->insert(names->end(), found.begin(), found.end());
    return true;
}

} // namespace

void Lab::serveAfc(int index, int fd) {
    std::string root;
    std::set<std::string> denied;
    {
        std::lock_guard<std::mutex> lock(mu_);
        root = phone(index)->cfg.root;
        denied = phone(index)->cfg.afcDeniedFolders;
        phone(index)->stats.afcConnections++;
    }
    std::map<uint64_t, int> files;
    std::set<uint64_t> lockHandles; // open handles of the sync lock file
    uint64_t nextHandle = 1;
    std::string reply;
    for (;;) {
        unsigned char hdr[kHeader];
        if (!lab::readExact(fd, hdr, kHeader) || std::memcmp(hdr, kMagic, sizeof kMagic) != 0)
            break;
        uint64_t entire = le64(hdr + 8), thisLen = le64(hdr + 16), num = le64(hdr + 24),
                 op = le64(hdr + 32);
        if (thisLen < kHeader || entire < thisLen || thisLen - kHeader > kMaxRequestPart ||
            entire - thisLen > kMaxRequestPart)
            break;
        std::string payload(thisLen - kHeader, '\0');
        std::string data(entire - thisLen, '\0');
        if ((!payload.empty() && !lab::readExact(fd, payload.data(), payload.size())) ||
            (!data.empty() && !lab::readExact(fd, data.data(), data.size())))
            break;
        bool ok = true;
        if (op == kGetDevInfo) {
            ok = sendPacket(fd, num, kData, {},
                            kvList({"Model", "iPhone12,1", "FSTotalBytes", "64000000000",
                                    "FSFreeBytes", "12000000000", "FSBlockSize", "4096"}));
        } else if (op == kReadDir || op == kGetFileInfo) {
            auto full = resolveBelowRoot(root, pathArg(payload, 0));
            struct stat st;
            std::vector<std::string> items;
            if (!full || ::lstat(full->c_str(), &st) != 0)
                ok = sendStatus(fd, num, kNotFound);
            else if (op == kGetFileInfo)
                ok = fileInfo(*full, &items) ? sendPacket(fd, num, kData, {}, kvList(items))
                                             : sendStatus(fd, num, kNotFound);
            else if (!S_ISDIR(st.st_mode))
                ok = sendStatus(fd, num, kReadError); // a phone answers so for a file or link
            else if (denied.count(pathArg(payload, 0)))
                ok = sendStatus(fd, num, kPermDenied);
            else
                ok = listDir(*full, &items) ? sendPacket(fd, num, kData, {}, kvList(items))
                                            : sendStatus(fd, num, kReadError);
        } else if (op == kFileOpen) {
            if (payload.size() < 8) {
                ok = sendStatus(fd, num, kInvalidArg);
                continue;
            }
            uint64_t mode = le64(reinterpret_cast<const unsigned char*>(payload.data()));
            auto full = resolveBelowRoot(root, pathArg(payload, 8));
            struct stat st;
            if (mode != 1 && normaliseAfcPath(pathArg(payload, 8)) == std::string(kSyncLockPath)) {
                uint64_t h = nextHandle++;
                lockHandles.insert(h);
                std::string r;
                putLe64(r, h);
                ok = sendPacket(fd, num, kFileOpenRes, r, {});
            } else if (mode != 1) {
                ok = sendStatus(fd, num, kPermDenied); // read-only phone
            } else if (!full || ::lstat(full->c_str(), &st) != 0) {
                ok = sendStatus(fd, num, kNotFound);
            } else if (S_ISDIR(st.st_mode)) {
                ok = sendStatus(fd, num, kIsDir);
            } else {
                int f = ::open(full->c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
                if (f < 0) {
                    ok = sendStatus(fd, num, kPermDenied);
                } else {
                    uint64_t h = nextHandle++;
                    files[h] = f;
                    std::string r;
                    putLe64(r, h);
                    ok = sendPacket(fd, num, kFileOpenRes, r, {});
                }
            }
        } else if (op == kRead) {
            if (payload.size() < 16 ||
                !files.count(le64(reinterpret_cast<const unsigned char*>(payload.data())))) {
                ok = sendStatus(fd, num, kInvalidArg);
                continue;
            }
            int f = files[le64(reinterpret_cast<const unsigned char*>(payload.data()))];
            uint64_t want = le64(reinterpret_cast<const unsigned char*>(payload.data()) + 8);
            want = std::min(want, kMaxReadReply);
            // The reply is built in one buffer kept for the connection: the
            // header, then the file bytes read straight behind it.
            if (reply.size() < kHeader + want)
                reply.resize(kHeader + want);
            ssize_t n = want ? ::read(f, reply.data() + kHeader, want) : 0;
            if (n < 0) {
                ok = sendStatus(fd, num, kReadError);
                continue;
            }
            if (!waitWhileStalled(index))
                break;
            countAfcBytes(index, static_cast<uint64_t>(n));
            std::string head(kMagic, sizeof kMagic);
            putLe64(head, kHeader + static_cast<uint64_t>(n));
            putLe64(head, kHeader);
            putLe64(head, num);
            putLe64(head, kData);
            std::memcpy(reply.data(), head.data(), kHeader);
            ok = sendAll(fd, reply.data(), kHeader + static_cast<size_t>(n));
        } else if (op == kFileLock ||
                   (op == kClose && payload.size() >= 8 &&
                    lockHandles.count(
                        le64(reinterpret_cast<const unsigned char*>(payload.data()))))) {
            uint64_t h = payload.size() >= 8
                             ? le64(reinterpret_cast<const unsigned char*>(payload.data()))
                             : 0;
            uint64_t how = payload.size() >= 16
                               ? le64(reinterpret_cast<const unsigned char*>(payload.data()) + 8)
                               : 0;
            if (!lockHandles.count(h)) {
                ok = sendStatus(fd, num, kInvalidArg);
            } else if (op == kClose) {
                dropSyncLock(index, fd);
                lockHandles.erase(h);
                ok = sendStatus(fd, num, kOk);
            } else if (how == kLockExclusive || how == kLockShared) {
                ok = sendStatus(fd, num, takeSyncLock(index, fd) ? kOk : kWouldBlock);
            } else if (how == kUnlock) {
                dropSyncLock(index, fd);
                ok = sendStatus(fd, num, kOk);
            } else {
                ok = sendStatus(fd, num, kInvalidArg);
            }
        } else if (op == kSeek || op == kTell || op == kClose) {
            uint64_t h = payload.size() >= 8
                             ? le64(reinterpret_cast<const unsigned char*>(payload.data()))
                             : 0;
            auto it = files.find(h);
            if (it == files.end()) {
                ok = sendStatus(fd, num, kInvalidArg);
            } else if (op == kClose) {
                ::close(it->second);
                files.erase(it);
                ok = sendStatus(fd, num, kOk);
            } else if (op == kTell) {
                std::string r;
                putLe64(r, static_cast<uint64_t>(::lseek(it->second, 0, SEEK_CUR)));
                ok = sendPacket(fd, num, kTellRes, r, {});
            } else if (payload.size() < 24) {
                ok = sendStatus(fd, num, kInvalidArg);
            } else {
                uint64_t whence = le64(reinterpret_cast<const unsigned char*>(payload.data()) + 8);
                auto off = static_cast<int64_t>(
                    le64(reinterpret_cast<const unsigned char*>(payload.data()) + 16));
                bool good = whence <= 2 && ::lseek(it->second, off, static_cast<int>(whence)) >= 0;
                ok = sendStatus(fd, num, good ? kOk : kInvalidArg);
            }
        } else if (op == kWrite) {
            ok = sendStatus(fd, num, kPermDenied);
        } else {
            ok = sendStatus(fd, num, kNotSupported);
        }
        if (!ok)
            break;
    }
    for (auto& [h, f] : files)
        ::close(f);
    // A host that went away lets go of the lock with its connection.
    dropSyncLock(index, fd);
}

} // namespace viphone
