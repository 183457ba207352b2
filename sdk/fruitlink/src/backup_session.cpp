// A backup of a live phone, as a host is expected to take one: the phone's
// encryption setting and the free space here first, then the sync
// notifications and the sync lock file held on the phone, the backup
// service's exchange onto the backup folder, and the lock and notifications
// released however it ends.
#include "afc_access.h"
#include "device_link.h"
#include "device_list.h"
#include "other_services.h"
#include "state.h"
#include "trace.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fruitlink.h>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace fruitlink {
namespace {

std::mutex g_backupMu; // guards the texts below
std::string g_backupRoot;
std::string g_lastFolder;
std::atomic<double> g_progress{0};
std::atomic<int64_t> g_bytes{0};

constexpr char kLockFile[] = "/com.apple.itunes.lock_sync";
// The phone may think for minutes before its first message (a snapshot, a
// passcode asked on its screen): only a stream silent this long is stalled.
constexpr int kStallSeconds = 300;

std::string standardRoot() {
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && *xdg)
        return std::string(xdg) + "/MobileSync/Backup";
    const char* home = getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/MobileSync/Backup";
}

std::string backupRoot() {
    std::lock_guard<std::mutex> lock(g_backupMu);
    return g_backupRoot.empty() ? standardRoot() : g_backupRoot;
}

int copyOut(const std::string& text, char* buf, int size) {
    if (buf && size > 0) {
        size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
        std::memcpy(buf, text.data(), n);
        buf[n] = '\0';
    }
    return static_cast<int>(text.size());
}

bool makeAll(const std::string& path) {
    std::string built;
    size_t start = 0;
    while (start < path.size()) {
        size_t slash = path.find('/', start + 1);
        if (slash == std::string::npos)
            slash = path.size();
        built = path.substr(0, slash);
        if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        start = slash;
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Bytes of the regular files below path, links not followed.
uint64_t bytesBelow(const std::string& path, int depth = 0) {
    DIR* d = depth < 8 ? ::opendir(path.c_str()) : nullptr;
    if (!d)
        return 0;
    uint64_t total = 0;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        struct stat st;
        std::string full = path + "/" + n;
        if (::lstat(full.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            total += bytesBelow(full, depth + 1);
        else if (S_ISREG(st.st_mode))
            total += static_cast<uint64_t>(st.st_size);
    }
    ::closedir(d);
    return total;
}

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + 999999) / 1000000) + " MB"; }

// The backup service's connection, read in one-second steps so a cancel or
// a stall is noticed while the phone thinks. On a connection without TLS the
// files' bytes go from the socket to their files through a pipe (splice),
// never through this process's memory.
class BackupChannel final : public AMService, public LinkChannel {
  public:
    static std::unique_ptr<BackupChannel> start(const std::shared_ptr<AMDevice>& dev) {
        std::unique_ptr<BackupChannel> c(new BackupChannel());
        c->udid_ = dev->udid();
        if (c->initWithName("com.apple.mobilebackup2", dev))
            c->connect();
        return c; // the caller reads lasterror when it is not ready
    }
    ~BackupChannel() override {
        if (conn_)
            idevice_disconnect(conn_);
        for (int fd : pipe_)
            if (fd >= 0)
                ::close(fd);
    }
    bool ready() const { return conn_ != nullptr; }

    bool readExact(char* buf, uint32_t n) override {
        int idle = 0;
        while (n > 0) {
            if (aborted())
                return false;
            uint32_t got = 0;
            idevice_error_t e = idevice_connection_receive_timeout(conn_, buf, n, &got, 1000);
            if (got > 0) {
                buf += got;
                n -= got;
                idle = 0;
                continue;
            }
            if (e != IDEVICE_E_SUCCESS && e != IDEVICE_E_TIMEOUT) {
                failure_ = IPHONE_ERROR_CONNECTION;
                return false;
            }
            if (stalled(++idle))
                return false;
        }
        return true;
    }

    bool writeAll(const char* buf, uint32_t n) override {
        while (n > 0) {
            if (aborted())
                return false;
            uint32_t sent = 0;
            if (idevice_connection_send(conn_, buf, n, &sent) != IDEVICE_E_SUCCESS || sent == 0) {
                failure_ = IPHONE_ERROR_CONNECTION;
                return false;
            }
            buf += sent;
            n -= sent;
        }
        return true;
    }

    bool readInto(int fd, uint32_t n, int* writeError) override {
        if (socket_ < 0 || fd < 0 || !openPipe())
            return LinkChannel::readInto(fd, n, writeError);
        int idle = 0;
        while (n > 0) {
            if (aborted())
                return false;
            ssize_t got = ::splice(socket_, nullptr, pipe_[1], nullptr, std::min(n, pipeBytes_),
                                   SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
            if (got > 0) {
                n -= static_cast<uint32_t>(got);
                idle = 0;
                if (!drainPipe(fd, static_cast<size_t>(got), writeError))
                    return false;
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got == 0 || errno != EAGAIN) {
                failure_ = IPHONE_ERROR_CONNECTION;
                return false;
            }
            pollfd p{socket_, POLLIN, 0};
            const int r = ::poll(&p, 1, 1000);
            if (r < 0 && errno != EINTR) {
                failure_ = IPHONE_ERROR_CONNECTION;
                return false;
            }
            if (r == 0 && stalled(++idle))
                return false;
        }
        return true;
    }

    ErrorCategory failure() const override { return failure_; }

  private:
    BackupChannel() = default;

    void connect() {
        if (idevice_connect(device_->handle(), service_.desc->port, &conn_) != IDEVICE_E_SUCCESS) {
            conn_ = nullptr;
            setLastError("the backup service's connection failed", IPHONE_ERROR_CONNECTION);
            return;
        }
        if (service_.desc->ssl_enabled) {
            if (idevice_connection_enable_ssl(conn_) != IDEVICE_E_SUCCESS) {
                idevice_disconnect(conn_);
                conn_ = nullptr;
                setLastError("TLS with the backup service failed", IPHONE_ERROR_CONNECTION);
            }
            return; // bytes under TLS go through the library
        }
        if (idevice_connection_get_fd(conn_, &socket_) != IDEVICE_E_SUCCESS)
            socket_ = -1;
    }

    bool aborted() {
        if (!g_iphone_flush_abort.load())
            return false;
        failure_ = IPHONE_ERROR_ABORTED;
        return true;
    }

    // After idle silent seconds: whether to give up. A pulled cable does not
    // always end the stream at once, so usbmuxd is asked whether the phone is
    // still there.
    bool stalled(int idle) {
        if (idle < kStallSeconds && (idle % 2 != 0 || stillAttached(udid_)))
            return false;
        failure_ = IPHONE_ERROR_CONNECTION;
        return true;
    }

    bool openPipe() {
        if (pipe_[0] >= 0)
            return true;
        if (pipeFailed_ || ::pipe2(pipe_, O_CLOEXEC) != 0) {
            pipeFailed_ = true;
            pipe_[0] = pipe_[1] = -1;
            return false;
        }
        const int size = ::fcntl(pipe_[1], F_SETPIPE_SZ, 1 << 20);
        const int have = size > 0 ? size : ::fcntl(pipe_[1], F_GETPIPE_SZ);
        pipeBytes_ = have > 0 ? static_cast<uint32_t>(have) : 65536;
        return true;
    }

    // Moves count bytes from the pipe to the file; after a write error, or
    // on a file system that takes no splice, they are read and written (or
    // dropped) instead. False only when the pipe itself fails.
    bool drainPipe(int fd, size_t count, int* writeError) {
        while (count > 0) {
            if (*writeError == 0 && spliceWrites_) {
                ssize_t w = ::splice(pipe_[0], nullptr, fd, nullptr, count, SPLICE_F_MOVE);
                if (w > 0) {
                    count -= static_cast<size_t>(w);
                    continue;
                }
                if (w < 0 && errno == EINTR)
                    continue;
                if (w < 0 && errno == EINVAL) {
                    spliceWrites_ = false;
                    continue;
                }
                *writeError = w < 0 ? errno : EIO;
            }
            char buf[65536];
            ssize_t r = ::read(pipe_[0], buf, std::min(count, sizeof buf));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                failure_ = IPHONE_ERROR_CONNECTION;
                return false;
            }
            count -= static_cast<size_t>(r);
            for (ssize_t at = 0; *writeError == 0 && at < r;) {
                ssize_t w = ::write(fd, buf + at, static_cast<size_t>(r - at));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    *writeError = w < 0 ? errno : EIO;
                else
                    at += w;
            }
        }
        return true;
    }

    ErrorCategory failure_ = IPHONE_ERROR_CONNECTION;
    std::string udid_;
    idevice_connection_t conn_ = nullptr;
    int socket_ = -1;
    int pipe_[2] = {-1, -1};
    uint32_t pipeBytes_ = 65536;
    bool pipeFailed_ = false;
    bool spliceWrites_ = true;
};

// The phone's sync lock, held through AFC for as long as this object lives,
// with the notifications a host posts around a sync.
class SyncLock {
  public:
    explicit SyncLock(const std::shared_ptr<AMDevice>& dev) : dev_(dev) {}
    ~SyncLock() { release(); }

    // A phone's notification proxy ends its connection after one post, so
    // each notification goes on a connection of its own.
    void post(const char* name) {
        if (auto np = AMNotificationProxy::create(dev_))
            np->postNotification(name);
    }

    // False with the category and text set when the lock is not had.
    bool acquire(ErrorCategory* category, std::string* why) {
        post(NP_SYNC_WILL_START);
        posted_ = true;
        afc_ = AFCMediaDirectory::create(dev_);
        if (!afc_ || !afc_->ensureConnectionIsOpen()) {
            *category = settle(dev_, afc_ ? afc_->lastCategory() : dev_->lastCategory());
            *why = "the phone's file service cannot be started for the sync lock";
            return false;
        }
        if (afc_file_open(afc_->handle(), kLockFile, AFC_FOPEN_RW, &handle_) != AFC_E_SUCCESS) {
            handle_ = 0;
            *category = settle(dev_, IPHONE_ERROR_SERVICE_REFUSED);
            *why = "the phone's sync lock file cannot be opened";
            return false;
        }
        post(NP_SYNC_LOCK_REQUEST);
        // Another host may be finishing: try for ten seconds.
        for (int attempt = 0; attempt < 50; ++attempt) {
            afc_error_t e = afc_file_lock(afc_->handle(), handle_, AFC_LOCK_EX);
            if (e == AFC_E_SUCCESS) {
                locked_ = true;
                post(NP_SYNC_DID_START);
                return true;
            }
            if (e != AFC_E_OP_WOULD_BLOCK || g_iphone_flush_abort.load())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        *category =
            g_iphone_flush_abort.load() ? IPHONE_ERROR_ABORTED : settle(dev_, IPHONE_ERROR_BUSY);
        *why = "another program is backing up or syncing the phone";
        return false;
    }

    void release() {
        if (afc_ && handle_) {
            if (locked_)
                afc_file_lock(afc_->handle(), handle_, AFC_LOCK_UN);
            afc_file_close(afc_->handle(), handle_);
        }
        handle_ = 0;
        locked_ = false;
        afc_.reset();
        if (posted_)
            post(NP_SYNC_DID_FINISH);
        posted_ = false;
    }

  private:
    std::shared_ptr<AMDevice> dev_;
    bool posted_ = false;
    std::unique_ptr<AFCMediaDirectory> afc_;
    uint64_t handle_ = 0;
    bool locked_ = false;
};

// The computer's own Info.plist, from the phone's values.
plist_t infoPlist(const std::shared_ptr<AMDevice>& dev) {
    const char* keys[] = {"DeviceName",     "ProductType",  "ProductVersion", "SerialNumber",
                          "UniqueDeviceID", "BuildVersion", "PhoneNumber"};
    std::optional<std::string> v[7];
    dev->readValues(keys, 7, v);
    plist_t info = plist_new_dict();
    auto put = [&](const char* key, const std::optional<std::string>& value) {
        if (value)
            plist_dict_set_item(info, key, plist_new_string(value->c_str()));
    };
    put("Device Name", v[0]);
    put("Display Name", v[0]);
    put("Product Type", v[1]);
    put("Product Version", v[2]);
    put("Serial Number", v[3]);
    put("Target Identifier", dev->udid());
    put("Unique Identifier", dev->udid());
    put("Build Version", v[5]);
    put("Phone Number", v[6]);
    plist_dict_set_item(info, "Target Type", plist_new_string("Device"));
    plist_dict_set_item(info, "Last Backup Date",
                        plist_new_date(static_cast<int32_t>(time(nullptr) - 978307200), 0));
    return info;
}

// -1 unknown, else 0/1.
int willEncrypt(const std::shared_ptr<AMDevice>& dev) {
    auto v = dev->deviceValueForKey("WillEncrypt", "com.apple.mobile.backup");
    if (!v) {
        // A phone that never had a backup has no such value: not encrypting.
        return dev->lastCategory() == IPHONE_ERROR_NONE ||
                       dev->lastCategory() == IPHONE_ERROR_NOT_FOUND ||
                       dev->lastCategory() == IPHONE_ERROR_PROTOCOL
                   ? 0
                   : -1;
    }
    return *v == "true" || *v == "1" ? 1 : 0;
}

// What the phone holds, so a disk that clearly cannot take it is refused
// before anything is asked of the phone. 0 when the phone does not say.
uint64_t phoneDataBytes(const std::shared_ptr<AMDevice>& dev) {
    const char* keys[] = {"TotalDataCapacity", "TotalDataAvailable"};
    std::optional<std::string> v[2];
    if (!dev->readValues(keys, 2, v, "com.apple.disk_usage") || !v[0] || !v[1])
        return 0;
    uint64_t capacity = std::strtoull(v[0]->c_str(), nullptr, 10);
    uint64_t available = std::strtoull(v[1]->c_str(), nullptr, 10);
    return capacity > available ? capacity - available : 0;
}

int takeBackup(int index, int flags) {
    g_progress = 0;
    g_bytes = 0;
    auto dev = deviceAtIndex(index);
    if (!dev) {
        fail(IPHONE_ERROR_NO_DEVICE, "IphoneTSF_TakeBackup: no device at index %d", index);
        return -1;
    }
    const std::string root = backupRoot();
    const std::string folder = root + "/" + dev->udid();
    {
        std::lock_guard<std::mutex> lock(g_backupMu);
        g_lastFolder = folder;
    }
    // One session for everything asked of the phone around the backup (a
    // handshake each would cost more than a small backup), held, as hosts
    // do, until the sync lock is released.
    SessionHold session(dev);
    const int encrypt = willEncrypt(dev);
    if (encrypt < 0) {
        fail(settle(dev, dev->lastCategory()), "the backup settings of %s cannot be read: %s",
             dev->udid().c_str(), dev->lasterror().c_str());
        return -1;
    }
    if (encrypt == 1 && !(flags & IPHONE_BACKUP_ACCEPT_ENCRYPTED)) {
        fail(IPHONE_ERROR_BACKUP_ENCRYPTED,
             "%s encrypts its backups: a password is needed to read one", dev->udid().c_str());
        return -1;
    }
    if (!makeAll(root)) {
        fail(IPHONE_ERROR_LOCAL, "cannot create the backup folder %s", root.c_str());
        return -1;
    }
    // Clearly too small: less than half of what the phone holds beyond what
    // an earlier backup here already has (apps themselves are never backed
    // up, so the whole is an overestimate). The earlier backup is measured
    // only when the disk is short of half the whole: walking one of a
    // hundred thousand files takes a while.
    const uint64_t held = phoneDataBytes(dev);
    struct statvfs vfs;
    if (held > 0 && ::statvfs(root.c_str(), &vfs) == 0) {
        const uint64_t freeBytes = uint64_t(vfs.f_bavail) * vfs.f_frsize;
        const uint64_t have = freeBytes < held / 2 ? bytesBelow(folder) : 0;
        const uint64_t needed = held > have ? held - have : 0;
        if (freeBytes < needed / 2) {
            fail(IPHONE_ERROR_NO_SPACE, "the backup of %s needs about %s in %s; only %s are free",
                 dev->udid().c_str(), megabytes(needed).c_str(), root.c_str(),
                 megabytes(freeBytes).c_str());
            return -1;
        }
    }

    SyncLock lock(dev);
    ErrorCategory category = IPHONE_ERROR_NONE;
    std::string why;
    if (!lock.acquire(&category, &why)) {
        fail(category, "%s: %s", dev->udid().c_str(), why.c_str());
        return -1;
    }
    plist_t info = infoPlist(dev);
    auto channel = BackupChannel::start(dev);
    if (!channel->ready()) {
        plist_free(info);
        fail(settle(dev, channel->lastCategory()), "the backup service of %s cannot be started: %s",
             dev->udid().c_str(), channel->lasterror().c_str());
        return -1;
    }
    BackupExchange exchange(*channel, root, dev->udid());
    // The exchange reports the phone's figures; mirror them for the caller
    // every 100 ms, and stop at once when the exchange ends.
    std::mutex mirrorMu;
    std::condition_variable mirrorWake;
    bool running = true;
    std::thread mirror([&] {
        std::unique_lock<std::mutex> hold(mirrorMu);
        while (running) {
            g_progress = exchange.progress();
            g_bytes = static_cast<int64_t>(exchange.bytesReceived());
            mirrorWake.wait_for(hold, std::chrono::milliseconds(100));
        }
    });
    bool ok = exchange.openFolder() && exchange.writeInfoPlist(info) &&
              exchange.versionExchange() && exchange.requestBackup() && exchange.run();
    plist_free(info);
    if (!ok)
        exchange.abandon();
    {
        std::lock_guard<std::mutex> hold(mirrorMu);
        running = false;
    }
    mirrorWake.notify_one();
    mirror.join();
    g_progress = exchange.progress();
    g_bytes = static_cast<int64_t>(exchange.bytesReceived());
    channel.reset();
    lock.release();
    session.release();
    if (!ok) {
        ErrorCategory c = exchange.category();
        if (c == IPHONE_ERROR_CONNECTION || c == IPHONE_ERROR_PROTOCOL)
            c = settle(dev, c);
        fail(c, "the backup of %s did not finish: %s", dev->udid().c_str(),
             exchange.error().c_str());
        return -1;
    }
    WriteLog1(1, "backup of %s finished in %s (%llu bytes received)\n", dev->udid().c_str(),
              folder.c_str(), static_cast<unsigned long long>(exchange.bytesReceived()));
    for (const auto& path : exchange.unsentFiles())
        WriteLog1(2, "backup of %s: the phone could not send %s; it is not in the backup\n",
                  dev->udid().c_str(), path.c_str());
    return 0;
}

} // namespace
} // namespace fruitlink

int IphoneTSF_SetBackupRoot(const char* folder) {
    std::string f = folder ? folder : "";
    if (f.size() > 1023)
        return -1;
    std::lock_guard<std::mutex> lock(fruitlink::g_backupMu);
    fruitlink::g_backupRoot = f;
    return 0;
}

int IphoneTSF_GetBackupRoot(char* buf, int size) {
    return fruitlink::copyOut(fruitlink::backupRoot(), buf, size);
}

int IphoneTSF_GetBackupWillEncrypt(int index) {
    auto dev = fruitlink::deviceAtIndex(index);
    if (!dev) {
        fruitlink::fail(IPHONE_ERROR_NO_DEVICE, "no device at index %d", index);
        return -1;
    }
    return fruitlink::willEncrypt(dev);
}

int IphoneTSF_TakeBackup(int index) {
    fruitlink::WriteLog1(1, "Call Function: %s\n", __func__);
    fruitlink::g_iphone_flush_abort = 0;
    return fruitlink::takeBackup(index, 0);
}

int IphoneTSF_TakeBackupWith(int index, int flags) {
    fruitlink::WriteLog1(1, "Call Function: %s\n", __func__);
    fruitlink::g_iphone_flush_abort = 0;
    return fruitlink::takeBackup(index, flags);
}

int IphoneTSF_GetBackupProgress(void) {
    return static_cast<int>(fruitlink::g_progress.load() * 10 + 0.5);
}

int IphoneTSF_GetBackupFolder(char* buf, int size) {
    std::lock_guard<std::mutex> lock(fruitlink::g_backupMu);
    return fruitlink::copyOut(fruitlink::g_lastFolder, buf, size);
}

int64_t IphoneTSF_GetBackupBytesReceived(void) { return fruitlink::g_bytes.load(); }

int IphoneTSF_CheckTrusted(int index) {
    auto dev = fruitlink::deviceAtIndex(index);
    if (!dev) {
        fruitlink::fail(IPHONE_ERROR_NO_DEVICE, "no device at index %d", index);
        return -1;
    }
    const fruitlink::ErrorCategory why = dev->trust();
    if (why == IPHONE_ERROR_NONE)
        return 0;
    fruitlink::fail(why, "%s does not trust this computer yet (%s)", dev->udid().c_str(),
                    fruitlink::categoryName(why));
    return -1;
}
