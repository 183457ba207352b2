#include "safe_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {

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
