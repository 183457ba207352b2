// The virtual iPhone: a fake usbmuxd that lists, attaches and detaches
// virtual phones and tunnels Connect requests to each phone's lockdownd, AFC
// (read-only, from a folder) and file relay. libimobiledevice reaches it
// through USBMUXD_SOCKET_ADDRESS. Test equipment only.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace viphone {

struct TlsIdentity;
class Channel;

enum class PairMode {
    Paired,         // the pair record is there: no pairing needed
    Accept,         // no record yet; a Pair request succeeds and the record is saved
    Pending,        // no record; the user has not answered the trust dialog
    Denied,         // no record; the user refused
    PasscodeLocked, // no record; the phone is locked with a passcode
};

// Modern phones (iOS 8 and later) refuse the file relay; iOS 7 sends the
// user databases as a gzip-compressed cpio archive.
enum class RelayMode { Modern, Ios7 };

struct PhoneConfig {
    std::map<std::string, std::string> values; // lockdownd values of the default domain
    std::string root; // AFC media folder; the relay serves var/mobile/Library
    bool sessionTls = false;
    PairMode pair = PairMode::Paired;
    RelayMode relay = RelayMode::Modern;
    std::optional<std::string> relayPayload; // served as is instead of the generated archive
    // The name a phone gives outside a session before it trusts the computer
    // (none: its real name).
    std::optional<std::string> untrustedName;
    // StartService answers this error word for every service, as a locked
    // phone answers "PasswordProtected".
    std::optional<std::string> serviceRefusal;
    // AFC folders whose listing the phone refuses (permission denied).
    std::set<std::string> afcDeniedFolders;
    // The phone's /var/mobile/Library (the databases a backup carries);
    // empty: root/var/mobile/Library, as the generated content lays it out.
    std::string libraryRoot;
    // The backup service: the WillEncrypt setting, the phone's used data
    // space as it reports it (0: the size of what a backup would carry), and
    // an error code with which it ends every backup (208 "Device locked" is
    // what a phone that waited for its passcode answers).
    bool willEncrypt = false;
    // The backup password set on the phone: an encrypting phone encrypts
    // every file of its backups with keys this password unlocks.
    std::string backupPassword = "kestrova";
    uint64_t diskUsedBytes = 0;
    std::optional<int> backupError;
    // The cable's speed in bytes per second, both directions together (0: as
    // fast as the computer's memory). USB 2 carries about 40 MB/s.
    uint64_t linkBytesPerSecond = 0;
    // Files (as a backup names them: "Library/SMS/sms.db") the phone fails
    // to read when it backs up, as when one changes under it.
    std::set<std::string> backupUnreadable;

    // A phone with the usual values (DeviceName, UniqueDeviceID, ProductType,
    // ProductVersion, SerialNumber, model, FirmwareVersion, ...).
    static PhoneConfig standard(const std::string& udid, const std::string& root,
                                const std::string& productVersion = "13.5");
};

struct PhoneStats {
    bool attached = false;
    uint64_t afcFileBytes = 0; // file bytes served by AFC reads
    int tlsSessions = 0;
    int plainSessions = 0;
    int pairRecordsSaved = 0;
    int stalledNow = 0; // streams waiting on the stall switch
    int afcConnections = 0;
    uint64_t backupFileBytes = 0; // file bytes the backup service sent
    int backupsStarted = 0;
    int backupsFinished = 0;
    int backupsRefused = 0; // a second backup while one ran
    bool syncLockHeld = false;
    std::vector<std::string> notifications; // posted by hosts, in order
};

class Lab {
  public:
    // "UNIX:/path/to/socket" or "TCP:127.0.0.1:PORT" (port 0 picks a free one).
    explicit Lab(std::string listenAddress);
    ~Lab();
    Lab(const Lab&) = delete;
    Lab& operator=(const Lab&) = delete;

    bool start(std::string* error);
    void stop();
    // The value for USBMUXD_SOCKET_ADDRESS ("UNIX:/path" or "127.0.0.1:port").
    std::string muxAddress() const;

    // Returns the phone's index. The usbmuxd device id is index + 1.
    int addPhone(PhoneConfig config, bool attached = true);
    bool attach(int index);
    // Like pulling the cable: every tunnel to the phone dies at once.
    bool detach(int index);
    // Pulls the cable once AFC has served `bytes` more file bytes.
    void unplugAfterBytes(int index, uint64_t bytes);
    // Pulls the cable once the backup service has sent `bytes` more file bytes.
    void unplugAfterBackupBytes(int index, uint64_t bytes);
    // How the phone ends every backup from now on (nullopt: it finishes).
    void setBackupError(int index, std::optional<int> code);
    // While on, AFC reads and the relay stream stop sending.
    void setStall(int index, bool on);
    // How the phone answers pairing from now on, e.g. Pending turning to
    // Accept when the user taps Trust.
    void setPairMode(int index, PairMode mode);
    // nullopt: services start again.
    void setServiceRefusal(int index, std::optional<std::string> word);
    PhoneStats stats(int index) const;
    int phoneCount() const;

  private:
    enum class Service { Afc, FileRelay, Backup, NotificationProxy };
    struct Phone;
    struct Worker;

    void acceptLoop();
    void serveMuxClient(int fd);
    bool muxConnect(int fd, uint32_t tag, uint32_t deviceId, uint16_t port);
    void serveLockdown(int index, int fd);
    void serveAfc(int index, int fd);
    void serveFileRelay(int index, int fd);
    void serveBackup(int index, int fd);
    void serveNotificationProxy(int index, int fd);
    bool runBackup(int index, Channel& ch, const std::string& target);
    void countBackupBytes(int index, uint64_t n);
    // The sync lock file: one holder (an AFC connection) at a time.
    bool takeSyncLock(int index, int owner);
    void dropSyncLock(int index, int owner);
    bool waitWhileStalled(int index);
    void countAfcBytes(int index, uint64_t n);
    void detachLocked(int index);
    void broadcastLocked(const std::string& xml);
    std::string pairRecordXml(const Phone& p) const;
    std::string lockdownReply(int index, Channel& ch, const std::string& request, bool* inSession,
                              bool* startTls, bool* stopTls, bool* close);
    Phone* phone(int index) const;

    std::string listenAddress_;
    std::string muxAddress_;
    std::string unixPath_;
    int listenFd_ = -1;
    std::unique_ptr<TlsIdentity> tls_;
    std::string systemBuid_;

    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::vector<std::unique_ptr<Phone>> phones_;
    std::set<int> listeners_;
    std::set<int> openFds_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::thread acceptThread_;
    std::atomic<bool> stopping_{false};
    bool started_ = false;
};

} // namespace viphone
