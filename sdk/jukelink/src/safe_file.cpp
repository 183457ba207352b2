#include "safe_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fsutil.h"

namespace jukelink {

namespace {

std::vector<std::string> components(const std::string& relative) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t slash = relative.find('/', start);
        out.push_back(relative.substr(start, slash - start));
        if (slash == std::string::npos)
            return out;
        start = slash + 1;
    }
}

const char* kindText(mode_t mode) {
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

// Each refusal returns -1, the descriptor callers get.
int refuse(Error* err, Category c, std::string why) {
    err->fail(c, std::move(why));
    return -1;
}

// ELOOP: O_NOFOLLOW met a link; ENOTDIR: a link or file where a folder was.
int refuseErrno(Error* err, const char* what, const std::string& name) {
    int e = errno;
    Category c = e == ENOENT                  ? Category::NotFound
                 : e == ELOOP || e == ENOTDIR ? Category::UnsafeFile
                                              : Category::Io;
    return refuse(err, c, std::string(what) + " " + name + ": " + strerror(e));
}

// Steps from dir into the folder name, refusing links and anything else.
int enterFolder(int dir, const std::string& name, const std::string& shown, Error* err) {
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return refuseErrno(err, "cannot find", shown);
    if (!S_ISDIR(st.st_mode))
        return refuse(err, S_ISREG(st.st_mode) ? Category::NotFound : Category::UnsafeFile,
                      shown + " is " + kindText(st.st_mode) + ", not a folder");
    int fd = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd >= 0 ? fd : refuseErrno(err, "cannot open", shown);
}

} // namespace

bool isSafeRelativeName(const std::string& relative) {
    if (relative.empty() || relative.size() >= PATH_MAX || relative[0] == '/' ||
        relative.find('\0') != std::string::npos)
        return false;
    for (const std::string& c : components(relative)) {
        if (c.empty() || c == "." || c == "..")
            return false;
    }
    return true;
}

int openInside(const std::string& folder, const std::string& relative, int64_t* size, Error* err) {
    if (!isSafeRelativeName(relative))
        return refuse(err, Category::InvalidArgument, "not a name inside a backup: " + relative);
    Fd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return refuseErrno(err, "cannot open the backup folder", folder);
    std::vector<std::string> parts = components(relative);
    std::string shown = folder;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        shown = joinPath(shown, parts[i]);
        Fd next(enterFolder(dir.get(), parts[i], shown, err));
        if (next.get() < 0)
            return -1;
        dir.reset(next.release());
    }
    shown = joinPath(shown, parts.back());
    // Looked at before it is opened: opening a device may already act.
    struct stat st;
    if (fstatat(dir.get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return refuseErrno(err, "cannot find", shown);
    if (!S_ISREG(st.st_mode))
        return refuse(err, Category::UnsafeFile, shown + " is " + kindText(st.st_mode));
    // Non-blocking, so a FIFO put there meanwhile cannot hold the open.
    Fd fd(openat(dir.get(), parts.back().c_str(),
                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return refuseErrno(err, "cannot open", shown);
    if (fstat(fd.get(), &st) != 0)
        return refuseErrno(err, "cannot read the state of", shown);
    if (!S_ISREG(st.st_mode))
        return refuse(err, Category::UnsafeFile, shown + " is " + kindText(st.st_mode));
    int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return refuseErrno(err, "cannot prepare", shown);
    if (size != nullptr)
        *size = static_cast<int64_t>(st.st_size);
    return fd.release();
}

EntryKind entryInside(const std::string& folder, const std::string& relative, int64_t* size) {
    if (!isSafeRelativeName(relative))
        return EntryKind::Missing;
    Fd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return EntryKind::Missing;
    std::vector<std::string> parts = components(relative);
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        Error ignored;
        Fd next(enterFolder(dir.get(), parts[i], parts[i], &ignored));
        if (next.get() < 0)
            return ignored.category == Category::NotFound ? EntryKind::Missing : EntryKind::Other;
        dir.reset(next.release());
    }
    struct stat st;
    if (fstatat(dir.get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Missing;
    if (!S_ISREG(st.st_mode))
        return EntryKind::Other;
    if (size != nullptr)
        *size = static_cast<int64_t>(st.st_size);
    return EntryKind::Regular;
}

bool readInside(const std::string& folder, const std::string& relative, size_t maxBytes,
                std::string* out, Error* err) {
    int64_t size = 0;
    Fd fd(openInside(folder, relative, &size, err));
    if (fd.get() < 0)
        return false;
    return readFdCapped(fd.get(), maxBytes, joinPath(folder, relative), out, err);
}

bool copyInside(const std::string& folder, const std::string& relative, const std::string& dst,
                Error* err) {
    int64_t size = 0;
    Fd fd(openInside(folder, relative, &size, err));
    if (fd.get() < 0)
        return false;
    return copyFromFd(fd.get(), joinPath(folder, relative), dst, err);
}

} // namespace jukelink
