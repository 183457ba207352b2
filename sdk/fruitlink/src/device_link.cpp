#include "device_link.h"

#include "am_service.h"
#include "plist_text.h"
#include "trace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fruitlink {

const char kPendingFolder[] = ".pending-backup";

namespace {

// Markers of the raw file stream, one byte before each piece.
constexpr char kCodeSuccess = 0x00;
constexpr char kCodeErrorLocal = 0x06;
constexpr char kCodeErrorRemote = 0x0b;
constexpr char kCodeFileData = 0x0c;
constexpr uint32_t kSendPiece = 256 * 1024;

struct PlistOwner {
    plist_t p;
    explicit PlistOwner(plist_t n) : p(n) {}
    ~PlistOwner() {
        if (p)
            plist_free(p);
    }
};

std::string textOf(plist_t n) { return fruitlink::plistText(n); }

std::string stringAt(plist_t array, uint32_t i) { return textOf(plist_array_get_item(array, i)); }

std::vector<std::string> split(const std::string& path) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        out.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return out;
}

// Opens the folder base/comps[0]/.../comps[n-2] without following any link;
// creates missing folders when asked. -1 when it cannot.
int openParent(const std::string& base, const std::vector<std::string>& comps, bool create) {
    int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    for (size_t i = 0; fd >= 0 && i + 1 < comps.size(); ++i) {
        if (create)
            ::mkdirat(fd, comps[i].c_str(), 0700);
        int next = ::openat(fd, comps[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

bool removeBelow(int dirfd, const std::string& name) {
    struct stat st;
    if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlinkat(dirfd, name.c_str(), 0) == 0;
    int sub = ::openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0)
        return false;
    DIR* d = ::fdopendir(sub);
    if (!d) {
        ::close(sub);
        return false;
    }
    bool ok = true;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    for (const auto& n : names)
        ok = removeBelow(::dirfd(d), n) && ok;
    ::closedir(d);
    return ::unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) == 0 && ok;
}

} // namespace

bool LinkChannel::readInto(int fd, uint32_t n, int* writeError) {
    scratch_.resize(std::min<uint32_t>(n, 1u << 20));
    while (n > 0) {
        const uint32_t step = std::min<uint32_t>(n, static_cast<uint32_t>(scratch_.size()));
        if (!readExact(scratch_.data(), step))
            return false;
        n -= step;
        for (uint32_t at = 0; fd >= 0 && *writeError == 0 && at < step;) {
            ssize_t w = ::write(fd, scratch_.data() + at, step - at);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                *writeError = w < 0 ? errno : EIO;
                break;
            }
            at += static_cast<uint32_t>(w);
        }
    }
    return true;
}

bool safeBackupPath(const std::string& path, const std::string& udid) {
    if (path.empty() || udid.empty() || path.size() > BackupExchange::kMaxName ||
        path.find('\0') != std::string::npos || path.find('\\') != std::string::npos)
        return false;
    std::vector<std::string> comps = split(path);
    if (comps.front() != udid)
        return false;
    for (const auto& c : comps)
        if (c.empty() || c == "." || c == "..")
            return false;
    // The folder that holds the held-back files is the computer's own.
    return comps.size() < 2 || comps[1] != kPendingFolder;
}

bool isHeldBackName(const std::string& name) {
    return name == "Status.plist" || name == "Manifest.db" || name == "Manifest.plist" ||
           name == "Info.plist" || name == "Manifest.db-wal" || name == "Manifest.db-shm";
}

bool makeFoldersBelow(const std::string& base, const std::string& relative) {
    std::vector<std::string> comps = split(relative);
    comps.push_back("x");
    int fd = openParent(base, comps, true);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

BackupExchange::BackupExchange(LinkChannel& channel, std::string root, std::string udid)
    : ch_(channel), root_(std::move(root)), udid_(std::move(udid)) {}

BackupExchange::~BackupExchange() = default;

bool BackupExchange::fail(ErrorCategory c, const std::string& text) {
    if (error_.empty()) {
        error_ = text;
        category_ = c;
    }
    ended_ = true;
    return false;
}

bool BackupExchange::openFolder() {
    if (!makeFoldersBelow(root_, udid_ + "/" + kPendingFolder))
        return fail(IPHONE_ERROR_LOCAL, "cannot create the backup folder " + folder());
    return true;
}

bool BackupExchange::writeInfoPlist(plist_t info) {
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(info, &xml, &len);
    std::vector<std::string> comps = {udid_, kPendingFolder, "Info.plist"};
    int dir = openParent(root_, comps, true);
    bool ok = false;
    if (dir >= 0 && xml) {
        ::unlinkat(dir, "Info.plist", 0);
        int fd =
            ::openat(dir, "Info.plist", O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        ok = fd >= 0 && ::write(fd, xml, len) == static_cast<ssize_t>(len);
        if (fd >= 0)
            ::close(fd);
    }
    if (dir >= 0)
        ::close(dir);
    free(xml);
    return ok || fail(IPHONE_ERROR_LOCAL, "cannot write Info.plist in " + folder());
}

// ---------------------------------------------------------------- framing

plist_t BackupExchange::readMessage() {
    std::string why;
    auto recv = [this](char* buf, uint32_t n) -> int64_t {
        return ch_.readExact(buf, n) ? static_cast<int64_t>(n) : -1;
    };
    plist_t p = readFrame(recv, &why);
    if (!p) {
        if (why.rfind("Reply refused", 0) == 0 || why.rfind("Reply too large", 0) == 0)
            fail(IPHONE_ERROR_PROTOCOL, "the phone sent a message that is not readable: " + why);
        else
            fail(ch_.failure(), "the backup service stopped answering: " +
                                    (why.empty() ? std::string("empty message") : why));
        return nullptr;
    }
    if (plist_get_node_type(p) != PLIST_ARRAY || plist_array_get_size(p) < 1 ||
        stringAt(p, 0).rfind("DL", 0) != 0) {
        plist_free(p);
        fail(IPHONE_ERROR_PROTOCOL, "the phone sent something that is no device-link message");
        return nullptr;
    }
    return p;
}

bool BackupExchange::sendPlist(plist_t p) {
    std::string frame;
    if (!encodeFrame(p, true, &frame))
        return fail(IPHONE_ERROR_PROTOCOL, "cannot encode a message");
    if (!ch_.writeAll(frame.data(), static_cast<uint32_t>(frame.size())))
        return fail(ch_.failure(), "cannot send to the backup service");
    return true;
}

bool BackupExchange::sendStatus(int64_t code, const char* text, plist_t detail) {
    PlistOwner msg(plist_new_array());
    plist_array_append_item(msg.p, plist_new_string("DLMessageStatusResponse"));
    plist_array_append_item(msg.p, plist_new_uint(static_cast<uint64_t>(code)));
    plist_array_append_item(msg.p, plist_new_string(text ? text : "___EmptyParameterString___"));
    plist_array_append_item(msg.p,
                            detail ? detail : plist_new_string("___EmptyParameterString___"));
    return sendPlist(msg.p);
}

bool BackupExchange::readU32(uint32_t* v) {
    unsigned char b[4];
    if (!ch_.readExact(reinterpret_cast<char*>(b), 4))
        return fail(ch_.failure(), "the file stream broke off");
    *v = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    return true;
}

bool BackupExchange::writeU32(uint32_t v) {
    char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                 static_cast<char>(v)};
    return ch_.writeAll(b, 4) || fail(ch_.failure(), "cannot send to the backup service");
}

void BackupExchange::noteProgress(plist_t message, uint32_t index) {
    plist_t n = plist_array_get_item(message, index);
    if (!n || plist_get_node_type(n) != PLIST_REAL)
        return;
    double v = 0;
    plist_get_real_val(n, &v);
    if (!(v >= 0)) // NaN too
        return;
    if (v > 100)
        v = 100;
    if (v > progress_.load())
        progress_ = v;
}

std::string BackupExchange::localPath(const std::string& phonePath) const {
    std::vector<std::string> comps = split(phonePath);
    if (comps.size() == 2 && isHeldBackName(comps[1]))
        return udid_ + "/" + kPendingFolder + "/" + comps[1];
    return phonePath;
}

std::string BackupExchange::readablePath(const std::string& phonePath) const {
    std::string held = localPath(phonePath);
    if (held == phonePath)
        return phonePath;
    struct stat st;
    return ::lstat((root_ + "/" + held).c_str(), &st) == 0 ? held : phonePath;
}

// ---------------------------------------------------------------- handshake

bool BackupExchange::versionExchange() {
    PlistOwner first(readMessage());
    if (!first.p)
        return false;
    uint64_t major = 0;
    plist_t n = plist_array_get_item(first.p, 1);
    if (stringAt(first.p, 0) != "DLMessageVersionExchange" || !n ||
        plist_get_node_type(n) != PLIST_UINT)
        return fail(IPHONE_ERROR_PROTOCOL, "the phone did not begin with a version exchange");
    plist_get_uint_val(n, &major);
    if (major < 300)
        return fail(IPHONE_ERROR_PROTOCOL,
                    "the phone's device link is too old: " + std::to_string(major));
    PlistOwner ok(plist_new_array());
    plist_array_append_item(ok.p, plist_new_string("DLMessageVersionExchange"));
    plist_array_append_item(ok.p, plist_new_string("DLVersionsOk"));
    plist_array_append_item(ok.p, plist_new_uint(300));
    if (!sendPlist(ok.p))
        return false;
    PlistOwner ready(readMessage());
    if (!ready.p)
        return false;
    if (stringAt(ready.p, 0) != "DLMessageDeviceReady")
        return fail(IPHONE_ERROR_PROTOCOL, "the phone did not say it is ready");

    // The versions offered are chosen here: 2.0 and 2.1 are what phones of
    // every iOS version since 4 accept.
    PlistOwner hello(plist_new_array());
    plist_t dict = plist_new_dict();
    plist_t versions = plist_new_array();
    plist_array_append_item(versions, plist_new_real(2.0));
    plist_array_append_item(versions, plist_new_real(2.1));
    plist_dict_set_item(dict, "SupportedProtocolVersions", versions);
    plist_dict_set_item(dict, "MessageName", plist_new_string("Hello"));
    plist_array_append_item(hello.p, plist_new_string("DLMessageProcessMessage"));
    plist_array_append_item(hello.p, dict);
    if (!sendPlist(hello.p))
        return false;
    PlistOwner reply(readMessage());
    if (!reply.p)
        return false;
    plist_t body = plist_array_get_item(reply.p, 1);
    plist_t code = body && plist_get_node_type(body) == PLIST_DICT
                       ? plist_dict_get_item(body, "ErrorCode")
                       : nullptr;
    uint64_t value = 1;
    if (stringAt(reply.p, 0) != "DLMessageProcessMessage" || !code ||
        plist_get_node_type(code) != PLIST_UINT)
        return fail(IPHONE_ERROR_PROTOCOL, "the phone's answer to Hello is not readable");
    plist_get_uint_val(code, &value);
    if (value != 0)
        return fail(IPHONE_ERROR_PROTOCOL,
                    "the phone shares no protocol version (" + std::to_string(value) + ")");
    return true;
}

bool BackupExchange::requestBackup() {
    PlistOwner msg(plist_new_array());
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "MessageName", plist_new_string("Backup"));
    plist_dict_set_item(dict, "TargetIdentifier", plist_new_string(udid_.c_str()));
    plist_dict_set_item(dict, "Options", plist_new_dict());
    plist_array_append_item(msg.p, plist_new_string("DLMessageProcessMessage"));
    plist_array_append_item(msg.p, dict);
    return sendPlist(msg.p);
}

// ---------------------------------------------------------------- the loop

bool BackupExchange::run() {
    while (!ended_) {
        PlistOwner msg(readMessage());
        if (!msg.p)
            break;
        if (!handle(msg.p))
            break;
    }
    if (!finished_) {
        abandon();
        if (error_.empty())
            fail(IPHONE_ERROR_PROTOCOL, "the phone ended the backup without finishing it");
        return false;
    }
    return commit();
}

bool BackupExchange::handle(plist_t msg) {
    if (ended_)
        return false;
    const std::string name = stringAt(msg, 0);
    if (name == "DLMessageDownloadFiles") {
        noteProgress(msg, 3);
        return downloadFiles(msg);
    }
    if (name == "DLMessageUploadFiles") {
        noteProgress(msg, 2);
        return uploadFiles(msg);
    }
    if (name == "DLMessageMoveItems" || name == "DLMessageMoveFiles") {
        noteProgress(msg, 3);
        return moveItems(msg);
    }
    if (name == "DLMessageRemoveItems" || name == "DLMessageRemoveFiles") {
        noteProgress(msg, 3);
        return removeItems(msg);
    }
    if (name == "DLMessageGetFreeDiskSpace")
        return freeDiskSpace();
    if (name == "DLMessageCreateDirectory")
        return createDirectory(msg);
    if (name == "DLMessageCopyItem")
        return copyItem(msg);
    if (name == "DLContentsOfDirectory")
        return contentsOfDirectory(msg);
    if (name == "DLMessagePurgeDiskSpace")
        // Nothing on this computer is the phone's to purge: say so, so it
        // goes on with the space there is.
        return sendStatus(-1, "Operation not supported", nullptr);
    if (name == "DLMessageProcessMessage")
        return processMessage(msg);
    if (name == "DLMessageDisconnect") {
        ended_ = true;
        return false;
    }
    // A request this side does not know: answer, so the phone is not left
    // waiting, and go on.
    WriteLog1(2, "backup: unknown request %s\n", name.c_str());
    return sendStatus(-1, "Unknown request", nullptr);
}

bool BackupExchange::processMessage(plist_t msg) {
    plist_t body = plist_array_get_item(msg, 1);
    if (!body || plist_get_node_type(body) != PLIST_DICT)
        return fail(IPHONE_ERROR_PROTOCOL, "the phone's status is not readable");
    uint64_t code = 0;
    plist_t c = plist_dict_get_item(body, "ErrorCode");
    if (c && plist_get_node_type(c) == PLIST_UINT)
        plist_get_uint_val(c, &code);
    ended_ = true;
    if (code == 0) {
        finished_ = true;
        progress_ = 100;
        return false;
    }
    const std::string text = textOf(plist_dict_get_item(body, "ErrorDescription"));
    phoneError_ = static_cast<int>(code);
    ErrorCategory cat = IPHONE_ERROR_SERVICE_REFUSED;
    if (code == 208) // the phone waited for its passcode and gave up
        cat = IPHONE_ERROR_PASSCODE_LOCKED;
    else if (code == 105) // the phone found too little space on this computer
        cat = IPHONE_ERROR_LOCAL;
    return fail(cat, "the phone ended the backup with error " + std::to_string(code) +
                         (text.empty() ? std::string() : ": " + text));
}

// ---------------------------------------------------------------- files to the computer

bool BackupExchange::uploadFiles(plist_t) {
    for (;;) {
        uint32_t len = 0;
        if (!readU32(&len))
            return false;
        if (len == 0)
            break;
        if (len > kMaxName)
            return fail(IPHONE_ERROR_PROTOCOL, "a file name from the phone is too long");
        std::string deviceName(len, '\0');
        if (!ch_.readExact(deviceName.data(), len) || !readU32(&len))
            return fail(ch_.failure(), "the file stream broke off");
        if (len == 0 || len > kMaxName)
            return fail(IPHONE_ERROR_PROTOCOL, "a file name from the phone is not acceptable");
        std::string path(len, '\0');
        if (!ch_.readExact(path.data(), len))
            return fail(ch_.failure(), "the file stream broke off");
        bool more = true;
        if (!receiveOneFile(path, &more))
            return false;
    }
    return sendStatus(0, nullptr, plist_new_dict());
}

bool BackupExchange::receiveOneFile(const std::string& phonePath, bool*) {
    const bool safe = safeBackupPath(phonePath, udid_) && split(phonePath).size() >= 2;
    int dir = -1, fd = -1;
    std::string target, temp;
    if (safe) {
        std::vector<std::string> comps = split(localPath(phonePath));
        comps.erase(comps.begin()); // the udid: opened as the base
        target = comps.back();
        temp = target + ".part";
        dir = openParent(root_ + "/" + udid_, comps, true);
        if (dir >= 0) {
            ::unlinkat(dir, temp.c_str(), 0);
            fd = ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0600);
        }
    }
    if (!safe)
        WriteLog1(2, "backup: refused a file outside the backup: %s\n", phonePath.c_str());
    const int openError = fd < 0 ? errno : 0;
    bool ok = true, sent = true, hadData = false;
    int writeError = 0;
    std::string rest;
    for (;;) {
        uint32_t n = 0;
        char code = 0;
        if (!readU32(&n)) {
            ok = false;
            break;
        }
        if (n == 0 || n > kMaxBlock + 1) {
            ok = fail(IPHONE_ERROR_PROTOCOL, "a piece of a file from the phone is not acceptable");
            break;
        }
        if (!ch_.readExact(&code, 1)) {
            ok = fail(ch_.failure(), "the file stream broke off");
            break;
        }
        // The file's bytes go from the stream straight to the file. Any other
        // code ends the file: success, or the phone's reason it could not
        // send it (read, and only logged).
        const bool data = code == kCodeFileData;
        hadData = hadData || data;
        bool read = false;
        if (data) {
            read = ch_.readInto(fd, n - 1, &writeError);
        } else {
            rest.resize(n - 1);
            read = ch_.readExact(rest.data(), n - 1);
        }
        if (!read) {
            ok = fail(ch_.failure(), "the file stream broke off");
            break;
        }
        bytesIn_ += n - 1;
        if (data)
            continue;
        // Some phones end a file they sent with the remote-error code
        // instead of success: after data it is the end, not a failure.
        if (code != kCodeSuccess && !(code == kCodeErrorRemote && hadData))
            sent = false;
        break;
    }
    if (fd >= 0)
        ::close(fd);
    if (dir >= 0) {
        int why = fd < 0 ? openError : writeError;
        bool placed = false;
        if (ok && sent && fd >= 0 && writeError == 0) {
            placed = ::renameat(dir, temp.c_str(), dir, target.c_str()) == 0;
            if (!placed)
                why = errno;
        }
        if (placed) {
            removals_.erase(phonePath);
        } else if (ok && !sent) {
            // The phone's own failure (a file that changed or vanished while
            // it read it) does not end the backup, as it does not for other
            // hosts. An earlier copy would be read as if it were this
            // backup's, so it goes when the backup is committed; an
            // abandoned backup keeps it.
            ::unlinkat(dir, temp.c_str(), 0);
            removals_.insert(phonePath);
            unsent_.push_back(phonePath);
        } else {
            ::unlinkat(dir, temp.c_str(), 0);
            if (ok && safe)
                ok = fail(IPHONE_ERROR_LOCAL,
                          "cannot write " + phonePath + ": " + std::strerror(why ? why : EIO));
        }
        ::close(dir);
    } else if (ok && safe) {
        ok = fail(IPHONE_ERROR_LOCAL, "cannot write " + phonePath);
    }
    return ok;
}

// ---------------------------------------------------------------- files to the phone

bool BackupExchange::downloadFiles(plist_t msg) {
    plist_t files = plist_array_get_item(msg, 1);
    if (!files || plist_get_node_type(files) != PLIST_ARRAY)
        return fail(IPHONE_ERROR_PROTOCOL, "the phone asked for files without naming them");
    PlistOwner errors(plist_new_dict());
    for (uint32_t i = 0; i < plist_array_get_size(files); ++i) {
        std::string path = stringAt(files, i);
        if (!sendOneFile(path, errors.p))
            return false;
    }
    if (!writeU32(0))
        return false;
    if (plist_dict_get_size(errors.p) > 0) {
        plist_t detail = errors.p;
        errors.p = nullptr;
        return sendStatus(-13, "Multi status", detail);
    }
    return sendStatus(0, nullptr, plist_new_dict());
}

bool BackupExchange::sendOneFile(const std::string& phonePath, plist_t errors) {
    const uint32_t len = static_cast<uint32_t>(std::min<size_t>(phonePath.size(), kMaxName));
    if (!writeU32(len) || !ch_.writeAll(phonePath.data(), len))
        return fail(ch_.failure(), "cannot send to the backup service");
    int fd = -1;
    if (safeBackupPath(phonePath, udid_) && split(phonePath).size() >= 2) {
        std::vector<std::string> comps = split(readablePath(phonePath));
        comps.erase(comps.begin());
        int dir = openParent(root_ + "/" + udid_, comps, false);
        if (dir >= 0) {
            fd = ::openat(dir, comps.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            struct stat st;
            if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
                ::close(fd);
                fd = -1;
            }
            ::close(dir);
        }
    }
    if (fd < 0) {
        // As a missing file: the phone takes it as "nothing there yet".
        const char text[] = "No such file or directory";
        std::string piece(1, kCodeErrorLocal);
        piece += text;
        plist_t entry = plist_new_dict();
        plist_dict_set_item(entry, "DLFileErrorString", plist_new_string(text));
        plist_dict_set_item(entry, "DLFileErrorCode", plist_new_uint(static_cast<uint64_t>(-6)));
        plist_dict_set_item(errors, phonePath.c_str(), entry);
        return writeU32(static_cast<uint32_t>(piece.size())) &&
               (ch_.writeAll(piece.data(), static_cast<uint32_t>(piece.size())) ||
                fail(ch_.failure(), "cannot send to the backup service"));
    }
    std::string buf(kSendPiece + 1, '\0');
    buf[0] = kCodeFileData;
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buf.data() + 1, kSendPiece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (!writeU32(static_cast<uint32_t>(n + 1)) ||
            !ch_.writeAll(buf.data(), static_cast<uint32_t>(n + 1))) {
            ok = fail(ch_.failure(), "cannot send to the backup service");
            break;
        }
        bytesOut_ += static_cast<uint64_t>(n);
    }
    ::close(fd);
    const char done = kCodeSuccess;
    return ok && writeU32(1) &&
           (ch_.writeAll(&done, 1) || fail(ch_.failure(), "cannot send to the backup service"));
}

// ---------------------------------------------------------------- folder requests

bool BackupExchange::freeDiskSpace() {
    struct statvfs vfs;
    uint64_t free = 0;
    if (::statvfs(root_.c_str(), &vfs) == 0)
        free = uint64_t(vfs.f_bavail) * vfs.f_frsize;
    return sendStatus(0, nullptr, plist_new_uint(free));
}

bool BackupExchange::createDirectory(plist_t msg) {
    std::string path = stringAt(msg, 1);
    if (!safeBackupPath(path, udid_))
        return sendStatus(-1, "Refused path", nullptr);
    std::vector<std::string> comps = split(path);
    comps.erase(comps.begin());
    bool ok = comps.empty() || makeFoldersBelow(root_ + "/" + udid_, path.substr(udid_.size() + 1));
    return ok ? sendStatus(0, nullptr, nullptr) : sendStatus(-1, "Cannot create", nullptr);
}

bool BackupExchange::moveItems(plist_t msg) {
    plist_t moves = plist_array_get_item(msg, 1);
    if (!moves || plist_get_node_type(moves) != PLIST_DICT)
        return fail(IPHONE_ERROR_PROTOCOL, "the phone's move request is not readable");
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(moves, &it);
    bool all = true;
    for (;;) {
        char* key = nullptr;
        plist_t val = nullptr;
        plist_dict_next_item(moves, it, &key, &val);
        if (!key)
            break;
        std::string from = key, to = textOf(val);
        free(key);
        if (!safeBackupPath(from, udid_) || !safeBackupPath(to, udid_) || split(from).size() < 2 ||
            split(to).size() < 2) {
            all = false;
            continue;
        }
        std::vector<std::string> a = split(localPath(from)), b = split(localPath(to));
        a.erase(a.begin());
        b.erase(b.begin());
        int da = openParent(root_ + "/" + udid_, a, false);
        int db = openParent(root_ + "/" + udid_, b, true);
        if (da < 0 || db < 0 || ::renameat(da, a.back().c_str(), db, b.back().c_str()) != 0)
            all = false;
        else
            removals_.erase(to);
        if (da >= 0)
            ::close(da);
        if (db >= 0)
            ::close(db);
    }
    free(it);
    return all ? sendStatus(0, nullptr, plist_new_dict())
               : sendStatus(-1, "Some items were not moved", plist_new_dict());
}

bool BackupExchange::removeItems(plist_t msg) {
    plist_t items = plist_array_get_item(msg, 1);
    if (!items || plist_get_node_type(items) != PLIST_ARRAY)
        return fail(IPHONE_ERROR_PROTOCOL, "the phone's remove request is not readable");
    // Carried out when the backup is finished: until then the previous
    // backup still needs them.
    for (uint32_t i = 0; i < plist_array_get_size(items); ++i) {
        std::string path = stringAt(items, i);
        if (safeBackupPath(path, udid_) && split(path).size() >= 2)
            removals_.insert(path);
    }
    return sendStatus(0, nullptr, plist_new_dict());
}

bool BackupExchange::copyItem(plist_t msg) {
    std::string from = stringAt(msg, 1), to = stringAt(msg, 2);
    if (!safeBackupPath(from, udid_) || !safeBackupPath(to, udid_) || split(from).size() < 2 ||
        split(to).size() < 2)
        return sendStatus(-1, "Refused path", nullptr);
    std::vector<std::string> a = split(readablePath(from)), b = split(localPath(to));
    a.erase(a.begin());
    b.erase(b.begin());
    int da = openParent(root_ + "/" + udid_, a, false);
    int db = openParent(root_ + "/" + udid_, b, true);
    bool ok = false;
    if (da >= 0 && db >= 0) {
        int in = ::openat(da, a.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        ::unlinkat(db, b.back().c_str(), 0);
        int out = ::openat(db, b.back().c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        struct stat st;
        ok = in >= 0 && out >= 0 && ::fstat(in, &st) == 0 && S_ISREG(st.st_mode);
        char buf[65536];
        for (ssize_t n; ok && (n = ::read(in, buf, sizeof buf)) > 0;)
            ok = ::write(out, buf, static_cast<size_t>(n)) == n;
        if (in >= 0)
            ::close(in);
        if (out >= 0)
            ::close(out);
    }
    if (da >= 0)
        ::close(da);
    if (db >= 0)
        ::close(db);
    return ok ? sendStatus(0, nullptr, nullptr) : sendStatus(-1, "Cannot copy", nullptr);
}

bool BackupExchange::contentsOfDirectory(plist_t msg) {
    std::string path = stringAt(msg, 1);
    plist_t listing = plist_new_dict();
    if (safeBackupPath(path, udid_)) {
        std::vector<std::string> comps = split(path);
        comps.erase(comps.begin());
        comps.push_back(".");
        int dir = openParent(root_ + "/" + udid_, comps, false);
        DIR* d = dir >= 0 ? ::fdopendir(dir) : nullptr;
        if (!d && dir >= 0)
            ::close(dir);
        while (dirent* e = d ? ::readdir(d) : nullptr) {
            std::string n = e->d_name;
            if (n == "." || n == ".." || n == kPendingFolder)
                continue;
            struct stat st;
            if (::fstatat(::dirfd(d), n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            plist_t entry = plist_new_dict();
            const char* type = S_ISDIR(st.st_mode)   ? "DLFileTypeDirectory"
                               : S_ISREG(st.st_mode) ? "DLFileTypeRegular"
                                                     : "DLFileTypeUnknown";
            plist_dict_set_item(entry, "DLFileType", plist_new_string(type));
            plist_dict_set_item(entry, "DLFileSize", plist_new_uint(uint64_t(st.st_size)));
            plist_dict_set_item(entry, "DLFileModificationDate",
                                plist_new_date(static_cast<int32_t>(st.st_mtime - 978307200), 0));
            plist_dict_set_item(listing, n.c_str(), entry);
        }
        if (d)
            ::closedir(d);
    }
    return sendStatus(0, nullptr, listing);
}

// ---------------------------------------------------------------- the end

bool BackupExchange::commit() {
    const std::string base = root_ + "/" + udid_;
    int dir = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return fail(IPHONE_ERROR_LOCAL, "the backup folder is gone: " + base);
    bool ok = true;
    for (const auto& p : removals_) {
        std::vector<std::string> comps = split(p);
        comps.erase(comps.begin());
        int parent = openParent(base, comps, false);
        if (parent >= 0) {
            removeBelow(parent, comps.back());
            ::close(parent);
        }
    }
    removals_.clear();
    int pending = ::openat(dir, kPendingFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    // The status goes last: until it is in place the folder reads as the
    // previous backup, or as unfinished.
    for (const char* name : {"Manifest.db-wal", "Manifest.db-shm", "Manifest.db", "Manifest.plist",
                             "Info.plist", "Status.plist"}) {
        struct stat st;
        if (pending < 0 || ::fstatat(pending, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (::renameat(pending, name, dir, name) != 0)
            ok = false;
    }
    if (pending >= 0)
        ::close(pending);
    removeBelow(dir, kPendingFolder);
    ::close(dir);
    return ok || fail(IPHONE_ERROR_LOCAL, "cannot put the finished backup in place in " + base);
}

void BackupExchange::abandon() {
    removals_.clear();
    int dir = ::open(folder().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0) {
        removeBelow(dir, kPendingFolder);
        ::close(dir);
    }
}

} // namespace fruitlink
