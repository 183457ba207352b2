#include "safe_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace kestrova {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kFileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

std::vector<std::string> components(const std::string& relative, bool* valid) {
    std::vector<std::string> parts;
    *valid = !relative.empty() && relative.front() != '/';
    size_t begin = 0;
    while (*valid && begin <= relative.size()) {
        size_t end = relative.find('/', begin);
        if (end == std::string::npos)
            end = relative.size();
        const std::string part = relative.substr(begin, end - begin);
        if (part.empty() || part == "." || part == "..")
            *valid = false;
        parts.push_back(part);
        begin = end + 1;
    }
    return parts;
}

SafeOpen failureOf(int error) {
    // A link where a file or folder should be reads as ELOOP (or ENOTDIR
    // for a folder): that is no plain file of the backup.
    return error == ENOENT ? SafeOpen::Missing : SafeOpen::Unsafe;
}

} // namespace

SafeFile openInside(const std::string& root, const std::string& relative) {
    SafeFile result;
    bool valid = false;
    const std::vector<std::string> parts = components(relative, &valid);
    if (!valid) {
        result.state = SafeOpen::Unsafe;
        return result;
    }
    int dir = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        result.state = SafeOpen::Missing;
        return result;
    }
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const int next = ::openat(dir, parts[i].c_str(), kDirFlags);
        const int error = errno;
        ::close(dir);
        if (next < 0) {
            result.state = failureOf(error);
            return result;
        }
        dir = next;
    }
    const int fd = ::openat(dir, parts.back().c_str(), kFileFlags);
    const int error = errno;
    ::close(dir);
    if (fd < 0) {
        result.state = failureOf(error);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.state = SafeOpen::Unsafe;
        return result;
    }
    // Reads block as usual from here on.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.fd = fd;
    result.state = SafeOpen::Opened;
    result.size = st.st_size;
    return result;
}

bool copyToPrivateFile(int fd, const std::string& path) {
    ::unlink(path.c_str());
    const int out =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0)
        return false;
    bool ok = ::lseek(fd, 0, SEEK_SET) == 0;
    while (ok) {
        const ssize_t sent = ::sendfile(out, fd, nullptr, 1 << 20);
        if (sent == 0)
            break;
        if (sent < 0 && errno != EINTR)
            ok = false;
    }
    ok = ::close(out) == 0 && ok;
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

} // namespace kestrova
