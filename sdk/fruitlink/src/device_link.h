// The computer's side of a backup through the phone's backup service: the
// device-link exchange (version exchange, the backup request, and every
// request the phone makes of the computer while it backs up) onto a backup
// folder on this computer. Transport-free so it can be driven by a test or a
// fuzzer; backup_session.cpp puts it on a real phone.
#pragma once

#include "error_category.h"

#include <atomic>
#include <cstdint>
#include <plist/plist.h>
#include <set>
#include <string>
#include <vector>

namespace fruitlink {

// A byte stream to the phone's backup service.
class LinkChannel {
  public:
    virtual ~LinkChannel() = default;
    // Exactly n bytes, or false (the stream broke, stalled or was aborted;
    // failure() says which).
    virtual bool readExact(char* buf, uint32_t n) = 0;
    virtual bool writeAll(const char* buf, uint32_t n) = 0;
    virtual ErrorCategory failure() const { return IPHONE_ERROR_CONNECTION; }
    // Exactly n bytes of the stream onto the file fd at its offset (dropped
    // when fd < 0). False when the stream broke, as readExact. A file that
    // cannot take them sets *writeError to the errno once; the rest is still
    // read, so the stream stays in step.
    virtual bool readInto(int fd, uint32_t n, int* writeError);

  private:
    std::vector<char> scratch_;
};

// Whether the phone's path names a plain entry inside the backup of udid:
// relative, first component the udid, no empty, "." or ".." component, no
// NUL or backslash.
bool safeBackupPath(const std::string& path, const std::string& udid);

// Control files of a backup that are held back until the phone says the
// backup is finished, so the previous backup stays readable meanwhile.
bool isHeldBackName(const std::string& name);

// Name of the folder inside the backup that holds them.
extern const char kPendingFolder[];

class BackupExchange {
  public:
    // root: the folder that holds one folder per device (the phone names its
    // paths from there: "<udid>/Status.plist").
    BackupExchange(LinkChannel& channel, std::string root, std::string udid);
    ~BackupExchange();
    BackupExchange(const BackupExchange&) = delete;
    BackupExchange& operator=(const BackupExchange&) = delete;

    // Creates <root>/<udid> (0700) and its pending folder. False with error().
    bool openFolder();
    // Writes the computer's Info.plist (held back with the phone's files).
    bool writeInfoPlist(plist_t info);
    // The device-link version exchange, then the backup protocol's "Hello".
    bool versionExchange();
    bool requestBackup();
    // Answers the phone until its final status. True when the phone said
    // the backup is finished; the held-back files are then put in place.
    bool run();
    // One message; false when the exchange ends (the final status, a
    // disconnect, or an error: see finished() and error()).
    bool handle(plist_t message);
    // Puts the held-back files in place and carries out the phone's removals.
    bool commit();
    // Forgets what was held back: the previous backup stays as it was.
    void abandon();

    bool finished() const { return finished_; }
    // The phone's progress, 0..100 (never going back).
    double progress() const { return progress_.load(); }
    const std::atomic<double>& progressValue() const { return progress_; }
    uint64_t bytesReceived() const { return bytesIn_.load(); }
    uint64_t bytesSent() const { return bytesOut_.load(); }
    int phoneErrorCode() const { return phoneError_; }
    const std::string& error() const { return error_; }
    ErrorCategory category() const { return category_; }
    std::string folder() const { return root_ + "/" + udid_; }
    // The files the phone said it could not send (phone paths), in order.
    const std::vector<std::string>& unsentFiles() const { return unsent_; }

    // How large a piece of a file may be; larger is a broken peer.
    static constexpr uint32_t kMaxBlock = 16u << 20;
    static constexpr uint32_t kMaxName = 4096;

  private:
    bool fail(ErrorCategory c, const std::string& text);
    plist_t readMessage();
    bool sendPlist(plist_t p);
    bool sendStatus(int64_t code, const char* text, plist_t detail);
    bool readU32(uint32_t* v);
    bool writeU32(uint32_t v);
    void noteProgress(plist_t message, uint32_t index);
    // The local path of a phone path (after safeBackupPath): held-back files
    // go to the pending folder.
    std::string localPath(const std::string& phonePath) const;
    std::string readablePath(const std::string& phonePath) const;

    bool uploadFiles(plist_t message);
    bool receiveOneFile(const std::string& phonePath, bool* more);
    bool downloadFiles(plist_t message);
    bool sendOneFile(const std::string& phonePath, plist_t errors);
    bool createDirectory(plist_t message);
    bool moveItems(plist_t message);
    bool removeItems(plist_t message);
    bool copyItem(plist_t message);
    bool contentsOfDirectory(plist_t message);
    bool freeDiskSpace();
    bool processMessage(plist_t message);

    LinkChannel& ch_;
    std::string root_;
    std::string udid_;
    std::atomic<double> progress_{0};
    // Counted by the exchange's thread, read by whoever shows the figures.
    std::atomic<uint64_t> bytesIn_{0};
    std::atomic<uint64_t> bytesOut_{0};
    bool finished_ = false;
    bool ended_ = false;
    int phoneError_ = 0;
    std::string error_;
    ErrorCategory category_ = IPHONE_ERROR_NONE;
    std::set<std::string> removals_; // phone paths removed at commit
    std::vector<std::string> unsent_;
};

// Creates every folder of path below base (0700), refusing links; false when
// a component is a link or not a folder.
bool makeFoldersBelow(const std::string& base, const std::string& relative);

} // namespace fruitlink
