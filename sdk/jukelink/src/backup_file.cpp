#include "backup_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fsutil.h"
#include "safe_file.h"

namespace jukelink {

bool extractEntry(const std::string& dir, const std::string& name, const ManifestEntry& e,
                  const ClassKeys* keys, const std::string& dst, Error* err) {
    if (keys == nullptr)
        return copyInside(dir, name, dst, err);
    SecretBytes key;
    if (!keys->fileKey(e.encryptionKey, &key, err)) {
        err->text = e.domain + " " + e.relativePath + ": " + err->text;
        return false;
    }
    Fd in(openInside(dir, name, nullptr, err));
    if (in.get() < 0)
        return false;
    if (unlink(dst.c_str()) != 0 && errno != ENOENT)
        return err->fail(Category::Io, "cannot replace " + dst + ": " + strerror(errno));
    Fd out(open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return err->fail(Category::Io, "cannot create " + dst + ": " + strerror(errno));
    bool ok = decryptFileFd(in.get(), out.get(), key, e.size, joinPath(dir, name), err);
    if (ok && close(out.release()) != 0)
        ok = err->fail(Category::Io, "cannot finish " + dst + ": " + strerror(errno));
    if (!ok)
        unlink(dst.c_str());
    return ok;
}

int openDecrypted(const std::string& dir, const std::string& name, const ManifestEntry& e,
                  const ClassKeys& keys, const std::string& tempDir, int64_t* size, Error* err) {
    static std::atomic<unsigned> serial{0};
    std::string dst = joinPath(tempDir, "file-" + std::to_string(getpid()) + "-" +
                                            std::to_string(serial.fetch_add(1)));
    if (!extractEntry(dir, name, e, &keys, dst, err))
        return -1;
    Fd fd(open(dst.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    int openErrno = errno;
    unlink(dst.c_str());
    if (fd.get() < 0)
        return err->fail(Category::Io, "cannot open " + dst + ": " + strerror(openErrno)), -1;
    struct stat st;
    if (fstat(fd.get(), &st) != 0)
        return err->fail(Category::Io, "cannot read the state of " + dst), -1;
    if (size != nullptr)
        *size = static_cast<int64_t>(st.st_size);
    return fd.release();
}

} // namespace jukelink
