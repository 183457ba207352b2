// Small path and file helpers used across the library.
#include "greenlink_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kBlock = 64 * 1024;
constexpr size_t kSuffixMax = 15;

bool writeAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

ssize_t readSome(int fd, unsigned char* data, size_t size) {
    for (;;) {
        const ssize_t n = read(fd, data, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// Copies from `in` to `out` until end of file, following the progress.
bool copyStream(int in, int out, off_t total, double* progress) {
    std::vector<unsigned char> block(kBlock);
    off_t done = 0;
    for (;;) {
        const ssize_t n = readSome(in, block.data(), block.size());
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!writeAll(out, block.data(), static_cast<size_t>(n)))
            return false;
        done += n;
        if (progress && total > 0)
            *progress =
                done >= total ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    }
}

} // namespace

int g_mkdir(const char* path) {
    if (path && *path)
        mkdir(path, 0777);
    return 1;
}

void g_ChangeLinuxFileName(char* path) {
    if (!path)
        return;
    for (char* p = path; *p; ++p)
        if (*p == '\\')
            *p = '/';
}

void g_GetFileSuffix(const char* path, char* suffix) {
    if (!path || !suffix)
        return;
    for (size_t i = std::strlen(path); i-- > 1;) {
        if (path[i] != '.')
            continue;
        const char* text = path + i + 1;
        const size_t n = std::min(std::strlen(text), kSuffixMax);
        std::memcpy(suffix, text, n);
        suffix[n] = '\0';
        return;
    }
}

int MyCopyFile(const char* source, const char* target, double* progress) {
    if (!source || !target)
        return -1;
    const int in = open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        WriteLog("MyCopyFile: cannot open %s: %s\n", source, std::strerror(errno));
        return -1;
    }
    struct stat from = {};
    fstat(in, &from);
    // Opened without truncating first: copying a file onto itself would
    // otherwise empty it before a byte is read.
    const int out = open(target, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (out < 0) {
        WriteLog("MyCopyFile: cannot create %s: %s\n", target, std::strerror(errno));
        close(in);
        return -1;
    }
    struct stat to = {};
    fstat(out, &to);
    if (from.st_dev == to.st_dev && from.st_ino == to.st_ino) {
        WriteLog("MyCopyFile: %s and %s are the same file\n", source, target);
        close(in);
        close(out);
        return -1;
    }
    if (progress)
        *progress = 0.0;
    bool ok = ftruncate(out, 0) == 0 && copyStream(in, out, from.st_size, progress);
    ok = close(out) == 0 && ok;
    close(in);
    if (!ok) {
        WriteLog("MyCopyFile: copying %s to %s failed: %s\n", source, target, std::strerror(errno));
        unlink(target);
        return -1;
    }
    if (progress)
        *progress = 1.0;
    return 0;
}

int CopyFileSeek(FILE* source, int64_t offset, int64_t count, FILE* target) {
    if (!source || !target || offset < 0 || count < 0)
        return -1;
    const off_t back = ftello(source);
    if (back < 0 || fseeko(source, static_cast<off_t>(offset), SEEK_SET) != 0)
        return -1;
    std::vector<unsigned char> block(kBlock);
    bool ok = true;
    while (ok && count > 0) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(count, kBlock));
        const size_t got = std::fread(block.data(), 1, want, source);
        // A source that ends early is a failure, not a reason to pad.
        ok = got == want && std::fwrite(block.data(), 1, got, target) == got;
        count -= static_cast<int64_t>(got);
    }
    if (fseeko(source, back, SEEK_SET) != 0)
        return -1;
    return ok ? 0 : -1;
}

int CopyFolderFuntion(const char* source, const char* target) {
    if (!source || !target)
        return -1;
    g_mkdir(target);
    DIR* dir = opendir(source);
    if (!dir) {
        WriteLog("CopyFolderFuntion: cannot open %s: %s\n", source, std::strerror(errno));
        return -1;
    }
    int result = 0;
    while (const struct dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string from = std::string(source) + "/" + entry->d_name;
        const std::string to = std::string(target) + "/" + entry->d_name;
        struct stat st = {};
        if (stat(from.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            g_mkdir(to.c_str());
        else if (S_ISREG(st.st_mode) && MyCopyFile(from.c_str(), to.c_str(), nullptr) != 0)
            result = -1;
    }
    closedir(dir);
    return result;
}
