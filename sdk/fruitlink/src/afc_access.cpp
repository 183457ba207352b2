#include "afc_access.h"

#include "plist_guard.h"
#include "plist_text.h"
#include "trace.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <libimobiledevice/house_arrest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fruitlink {

namespace {
constexpr uint32_t kCopyPiece = 10240;
// Real media trees are a few levels deep; a deeper walk is a loop.
constexpr int kMaxDepth = 64;

AfcDictionary toDictionary(char** kv) {
    AfcDictionary d;
    for (int i = 0; kv && kv[i] && kv[i + 1]; i += 2)
        d[kv[i]] = kv[i + 1];
    return d;
}
} // namespace

// ---------------------------------------------------------------- file

bool AFCFileReference::checkStatus(int status, const char* from) {
    if (status == AFC_E_SUCCESS) {
        lasterror_.clear();
        category_ = IPHONE_ERROR_NONE;
        return true;
    }
    lasterror_ = std::string(from) + " failed: " + std::to_string(status);
    category_ = categoryOfAfc(status);
    return false;
}

bool AFCFileReference::ensureFileIsOpen() {
    if (ref_ == 0) {
        lasterror_ = "File is not open";
        category_ = IPHONE_ERROR_PROTOCOL;
        return false;
    }
    return true;
}

bool AFCFileReference::closeFile() {
    if (ref_ == 0)
        return true;
    bool ok = checkStatus(afc_file_close(afc_, ref_), "afc_file_close");
    ref_ = 0;
    return ok;
}

bool AFCFileReference::seek(int64_t offset, int whence) {
    return ensureFileIsOpen() &&
           checkStatus(afc_file_seek(afc_, ref_, offset, whence), "afc_file_seek");
}

bool AFCFileReference::tell(uint64_t* pos) {
    return ensureFileIsOpen() && checkStatus(afc_file_tell(afc_, ref_, pos), "afc_file_tell");
}

int64_t AFCFileReference::readN(char* buf, uint32_t n) {
    if (!ensureFileIsOpen())
        return -1;
    uint32_t got = 0;
    if (!checkStatus(afc_file_read(afc_, ref_, buf, n, &got), "afc_file_read"))
        return -1;
    return got;
}

bool AFCFileReference::writeN(const char* buf, uint32_t n) {
    if (n == 0)
        return true;
    if (!ensureFileIsOpen())
        return false;
    uint32_t done = 0;
    if (!checkStatus(afc_file_write(afc_, ref_, buf, n, &done), "afc_file_write"))
        return false;
    if (done != n) {
        lasterror_ = "afc_file_write wrote " + std::to_string(done) + " of " + std::to_string(n);
        category_ = IPHONE_ERROR_CONNECTION;
        return false;
    }
    return true;
}

bool AFCFileReference::setFileSize(uint64_t size) {
    return ensureFileIsOpen() &&
           checkStatus(afc_file_truncate(afc_, ref_, size), "afc_file_truncate");
}

// ---------------------------------------------------------------- connection

AFCDirectoryAccess::~AFCDirectoryAccess() { close(); }

bool AFCDirectoryAccess::initWithAMDevice(const std::shared_ptr<AMDevice>& dev,
                                          const char* serviceName) {
    if (!initWithName(serviceName, dev))
        return false;
    afc_error_t e = afc_client_new(dev->handle(), service_.desc, &afc_);
    if (e != AFC_E_SUCCESS) {
        afc_ = nullptr;
        setLastError("afc_client_new failed: " + std::to_string(e), categoryOfAfc(e));
        WriteLog1(3, "AFCConnectionOpen failed: %d\n", e);
        return false;
    }
    return true;
}

bool AFCDirectoryAccess::checkStatus(int status, const char* from) {
    if (status == AFC_E_SUCCESS) {
        clearLastError();
        return true;
    }
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s failed: Return code = 0x%04X", from, status);
    setLastError(buf, categoryOfAfc(status));
    return false;
}

bool AFCDirectoryAccess::ensureConnectionIsOpen() {
    if (!afc_) {
        setLastError("Connection is not open", IPHONE_ERROR_CONNECTION);
        return false;
    }
    return true;
}

void AFCDirectoryAccess::close() {
    if (!afc_)
        return;
    afc_client_free(afc_);
    afc_ = nullptr;
}

std::optional<AfcDictionary> AFCDirectoryAccess::deviceInfo() {
    char** kv = nullptr;
    if (!ensureConnectionIsOpen() ||
        !checkStatus(afc_get_device_info(afc_, &kv), "afc_get_device_info"))
        return std::nullopt;
    AfcDictionary d = toDictionary(kv);
    afc_dictionary_free(kv);
    return d;
}

std::optional<AfcDictionary> AFCDirectoryAccess::getFileInfo(const std::string& path) {
    char** kv = nullptr;
    if (!ensureConnectionIsOpen() ||
        !checkStatus(afc_get_file_info(afc_, path.c_str(), &kv), "afc_get_file_info"))
        return std::nullopt;
    AfcDictionary d = toDictionary(kv);
    afc_dictionary_free(kv);
    d["path"] = path;
    return d;
}

bool AFCDirectoryAccess::fileExistsAtPath(const std::string& path) {
    return getFileInfo(path).has_value();
}

std::optional<std::vector<std::string>>
AFCDirectoryAccess::directoryContents(const std::string& path) {
    char** list = nullptr;
    if (!ensureConnectionIsOpen() ||
        !checkStatus(afc_read_directory(afc_, path.c_str(), &list), "afc_read_directory"))
        return std::nullopt;
    std::vector<std::string> names;
    for (int i = 0; list && list[i]; ++i)
        if (std::strcmp(list[i], ".") != 0 && std::strcmp(list[i], "..") != 0)
            names.push_back(list[i]);
    afc_dictionary_free(list);
    return names;
}

bool AFCDirectoryAccess::walk(const std::string& path, std::vector<std::string>* out, int depth) {
    if (depth > kMaxDepth) {
        setLastError("folder tree too deep at " + path, IPHONE_ERROR_PROTOCOL);
        return false;
    }
    char** list = nullptr;
    int st = afc_read_directory(afc_, path.c_str(), &list);
    if (st == AFC_E_READ_ERROR) {
        // The phone answers a listing of a file (or a link) so.
        out->push_back(path);
        return true;
    }
    if (!checkStatus(st, "afc_read_directory"))
        return false;
    out->push_back(path + "/");
    std::vector<std::string> children;
    for (int i = 0; list && list[i]; ++i)
        if (std::strcmp(list[i], ".") != 0 && std::strcmp(list[i], "..") != 0)
            children.push_back(path + "/" + list[i]);
    afc_dictionary_free(list);
    for (const auto& child : children)
        if (!walk(child, out, depth + 1))
            return false;
    return true;
}

std::optional<std::vector<std::string>>
AFCDirectoryAccess::recursiveDirectoryContents(const std::string& path) {
    std::vector<std::string> out;
    if (!ensureConnectionIsOpen() || !walk(path, &out, 0))
        return std::nullopt;
    std::sort(out.begin(), out.end());
    return out;
}

bool AFCDirectoryAccess::mkdir(const std::string& path) {
    return ensureConnectionIsOpen() &&
           checkStatus(afc_make_directory(afc_, path.c_str()), "afc_make_directory");
}
bool AFCDirectoryAccess::unlink(const std::string& path) {
    return ensureConnectionIsOpen() &&
           checkStatus(afc_remove_path(afc_, path.c_str()), "afc_remove_path");
}
bool AFCDirectoryAccess::rename(const std::string& from, const std::string& to) {
    return ensureConnectionIsOpen() &&
           checkStatus(afc_rename_path(afc_, from.c_str(), to.c_str()), "afc_rename_path");
}
bool AFCDirectoryAccess::link(const std::string& target, const std::string& path) {
    return ensureConnectionIsOpen() &&
           checkStatus(afc_make_link(afc_, AFC_HARDLINK, target.c_str(), path.c_str()),
                       "afc_make_link");
}
bool AFCDirectoryAccess::symlink(const std::string& target, const std::string& path) {
    return ensureConnectionIsOpen() &&
           checkStatus(afc_make_link(afc_, AFC_SYMLINK, target.c_str(), path.c_str()),
                       "afc_make_link");
}

std::unique_ptr<AFCFileReference> AFCDirectoryAccess::open(const std::string& path,
                                                           afc_file_mode_t mode) {
    uint64_t ref = 0;
    if (!ensureConnectionIsOpen() ||
        !checkStatus(afc_file_open(afc_, path.c_str(), mode, &ref), "afc_file_open"))
        return nullptr;
    return std::make_unique<AFCFileReference>(path, ref, afc_);
}

std::unique_ptr<AFCFileReference> AFCDirectoryAccess::openForRead(const std::string& path) {
    return open(path, AFC_FOPEN_RDONLY);
}
std::unique_ptr<AFCFileReference> AFCDirectoryAccess::openForWrite(const std::string& path) {
    return open(path, AFC_FOPEN_WRONLY);
}
std::unique_ptr<AFCFileReference> AFCDirectoryAccess::openForReadWrite(const std::string& path) {
    return open(path, AFC_FOPEN_RW);
}

bool AFCDirectoryAccess::copyLocalFile(const std::string& local, const std::string& remote) {
    if (fileExistsAtPath(remote)) {
        setLastError("Won't overwrite existing file", IPHONE_ERROR_LOCAL);
        return false;
    }
    int in = ::open(local.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        setLastError("Can't open input file", IPHONE_ERROR_LOCAL);
        return false;
    }
    auto out = openForWrite(remote);
    bool ok = out != nullptr;
    char buf[kCopyPiece];
    ssize_t n;
    while (ok && (n = ::read(in, buf, sizeof buf)) > 0)
        ok = out->writeN(buf, static_cast<uint32_t>(n));
    if (out && !ok && lasterror_.empty())
        setLastError(out->lasterror(), out->lastCategory());
    ::close(in);
    return ok && out->closeFile();
}

bool AFCDirectoryAccess::copyRemoteFile(const std::string& remote, const std::string& local) {
    struct stat st;
    if (::lstat(local.c_str(), &st) == 0) {
        setLastError("Won't overwrite existing file", IPHONE_ERROR_LOCAL);
        return false;
    }
    auto in = openForRead(remote);
    if (!in) {
        WriteLog1(3, "openForRead failed: %s\n", lasterror_.c_str());
        return false;
    }
    int out = ::open(local.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0) {
        setLastError("Can't open output file", IPHONE_ERROR_LOCAL);
        return false;
    }
    char buf[kCopyPiece];
    int64_t n;
    bool ok = true;
    while (ok && (n = in->readN(buf, sizeof buf)) > 0)
        ok = ::write(out, buf, static_cast<size_t>(n)) == n;
    ok = ok && n == 0;
    ::close(out);
    if (!ok) {
        // Half a file is not the file.
        ::unlink(local.c_str());
        if (in->lasterror().empty())
            setLastError("write failed", IPHONE_ERROR_LOCAL);
        else
            setLastError(in->lasterror(), in->lastCategory());
    }
    return ok;
}

// ---------------------------------------------------------------- subclasses

std::unique_ptr<AFCMediaDirectory> AFCMediaDirectory::create(const std::shared_ptr<AMDevice>& dev) {
    std::unique_ptr<AFCMediaDirectory> d(new AFCMediaDirectory());
    if (!d->initWithAMDevice(dev, "com.apple.afc")) {
        dev->setLastError(d->lasterror(), d->lastCategory());
        return nullptr;
    }
    return d;
}

std::unique_ptr<AFCCrashLogDirectory>
AFCCrashLogDirectory::create(const std::shared_ptr<AMDevice>& dev) {
    std::unique_ptr<AFCCrashLogDirectory> d(new AFCCrashLogDirectory());
    if (!d->initWithAMDevice(dev, "com.apple.crashreportcopymobile"))
        return nullptr;
    return d;
}

std::unique_ptr<AFCRootDirectory> AFCRootDirectory::create(const std::shared_ptr<AMDevice>& dev) {
    std::unique_ptr<AFCRootDirectory> d(new AFCRootDirectory());
    if (!d->initWithAMDevice(dev, "com.apple.afc2"))
        return nullptr;
    return d;
}

std::unique_ptr<AFCApplicationDirectory>
AFCApplicationDirectory::create(const std::shared_ptr<AMDevice>& dev, const std::string& bundleId) {
    std::unique_ptr<AFCApplicationDirectory> d(new AFCApplicationDirectory());
    if (!d->initWithName("com.apple.mobile.house_arrest", dev))
        return nullptr;
    house_arrest_client_t ha = nullptr;
    if (house_arrest_client_new(dev->handle(), d->service_.desc, &ha) != HOUSE_ARREST_E_SUCCESS)
        return nullptr;
    plist_t reply = nullptr;
    bool ok = house_arrest_send_command(ha, "VendContainer", bundleId.c_str()) ==
                  HOUSE_ARREST_E_SUCCESS &&
              house_arrest_get_result(ha, &reply) == HOUSE_ARREST_E_SUCCESS;
    if (ok && reply && plist_dict_get_item(reply, "Error")) {
        const std::string err = plistText(plist_dict_get_item(reply, "Error"));
        WriteLog1(3, "House Arrest failed, %s\n", err.empty() ? "?" : err.c_str());
        ok = false;
    }
    kestrova::freePlistFlat(reply);
    if (!ok || afc_client_new_from_house_arrest_client(ha, &d->afc_) != AFC_E_SUCCESS) {
        house_arrest_client_free(ha);
        return nullptr;
    }
    // The AFC client now owns the connection; the house_arrest client only
    // frees its own record.
    house_arrest_client_free(ha);
    return d;
}

} // namespace fruitlink
