// The AFC file service of an iPhone: one connection (AFCDirectoryAccess and
// its per-service subclasses) and one open file on it (AFCFileReference).
#pragma once

#include "am_service.h"

#include <libimobiledevice/afc.h>
#include <map>
#include <optional>
#include <vector>

namespace fruitlink {

using AfcDictionary = std::map<std::string, std::string>;

class AFCFileReference {
  public:
    AFCFileReference(const std::string& path, uint64_t ref, afc_client_t afc)
        : path_(path), ref_(ref), afc_(afc) {}
    ~AFCFileReference() { closeFile(); }
    AFCFileReference(const AFCFileReference&) = delete;
    AFCFileReference& operator=(const AFCFileReference&) = delete;

    bool closeFile();
    bool seek(int64_t offset, int whence);
    bool tell(uint64_t* pos);
    // Bytes read (0 at the end), or -1 on failure with lasterror set.
    int64_t readN(char* buf, uint32_t n);
    bool writeN(const char* buf, uint32_t n);
    bool setFileSize(uint64_t size);
    const std::string& lasterror() const { return lasterror_; }
    ErrorCategory lastCategory() const { return category_; }

  private:
    bool ensureFileIsOpen();
    bool checkStatus(int status, const char* from);

    std::string path_;
    uint64_t ref_;
    afc_client_t afc_;
    std::string lasterror_;
    ErrorCategory category_ = IPHONE_ERROR_NONE;
};

class AFCDirectoryAccess : public AMService {
  public:
    ~AFCDirectoryAccess() override;

    bool ensureConnectionIsOpen();
    void close();

    std::optional<AfcDictionary> deviceInfo();
    // The file's AFC information plus "path".
    std::optional<AfcDictionary> getFileInfo(const std::string& path);
    bool fileExistsAtPath(const std::string& path);
    std::optional<std::vector<std::string>> directoryContents(const std::string& path);
    // Every folder below path as "folder/" and every file as its path,
    // sorted by plain string comparison; a file path gives just itself.
    // Links are listed as entries, never walked into. nullopt when any part
    // of the walk fails.
    std::optional<std::vector<std::string>> recursiveDirectoryContents(const std::string& path);

    bool mkdir(const std::string& path);
    bool unlink(const std::string& path);
    bool rename(const std::string& from, const std::string& to);
    bool link(const std::string& target, const std::string& path);
    bool symlink(const std::string& target, const std::string& path);

    std::unique_ptr<AFCFileReference> openForRead(const std::string& path);
    std::unique_ptr<AFCFileReference> openForWrite(const std::string& path);
    std::unique_ptr<AFCFileReference> openForReadWrite(const std::string& path);

    bool copyLocalFile(const std::string& local, const std::string& remote);
    bool copyRemoteFile(const std::string& remote, const std::string& local);

    afc_client_t handle() const { return afc_; }

  protected:
    AFCDirectoryAccess() = default;
    bool initWithAMDevice(const std::shared_ptr<AMDevice>& dev, const char* serviceName);
    bool checkStatus(int status, const char* from);
    std::unique_ptr<AFCFileReference> open(const std::string& path, afc_file_mode_t mode);
    bool walk(const std::string& path, std::vector<std::string>* out, int depth);

    afc_client_t afc_ = nullptr;
};

class AFCMediaDirectory : public AFCDirectoryAccess {
  public:
    static std::unique_ptr<AFCMediaDirectory> create(const std::shared_ptr<AMDevice>& dev);
};
class AFCCrashLogDirectory : public AFCDirectoryAccess {
  public:
    static std::unique_ptr<AFCCrashLogDirectory> create(const std::shared_ptr<AMDevice>& dev);
};
class AFCRootDirectory : public AFCDirectoryAccess {
  public:
    static std::unique_ptr<AFCRootDirectory> create(const std::shared_ptr<AMDevice>& dev);
};
// An app's container through house_arrest.
class AFCApplicationDirectory : public AFCDirectoryAccess {
  public:
    static std::unique_ptr<AFCApplicationDirectory> create(const std::shared_ptr<AMDevice>& dev,
                                                           const std::string& bundleId);
};

} // namespace fruitlink
