#include "fsutil.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jukelink {

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int64_t fileSize(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<int64_t>(st.st_size);
}

int64_t fileMtime(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return 0;
    return static_cast<int64_t>(st.st_mtime);
}

void Fd::reset(int fd) {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
}

namespace {

bool errnoFail(Error* err, const char* what, const std::string& path) {
    return err->fail(Category::Io, std::string(what) + " " + path + ": " + strerror(errno));
}

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

} // namespace

bool readFdCapped(int fd, size_t maxBytes, const std::string& name, std::string* out, Error* err) {
    struct stat st;
    if (fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > maxBytes)
        return err->fail(Category::TooLarge,
                         name + " is too large (" + std::to_string(st.st_size) + " bytes)");
    out->clear();
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errnoFail(err, "cannot read", name);
        if (n == 0)
            return true;
        if (out->size() + static_cast<size_t>(n) > maxBytes)
            return err->fail(Category::TooLarge, name + " grew beyond the limit while read");
        out->append(buf, static_cast<size_t>(n));
    }
}

bool copyFromFd(int in, const std::string& name, const std::string& dst, Error* err) {
    if (unlink(dst.c_str()) != 0 && errno != ENOENT)
        return errnoFail(err, "cannot replace", dst);
    Fd out(open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return errnoFail(err, "cannot create", dst);
    char buf[65536];
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || (n > 0 && !writeAll(out.get(), buf, static_cast<size_t>(n)))) {
            errnoFail(err, n < 0 ? "cannot read" : "cannot write", n < 0 ? name : dst);
            unlink(dst.c_str());
            return false;
        }
        if (n == 0)
            break;
    }
    if (close(out.release()) != 0) {
        errnoFail(err, "cannot finish", dst);
        unlink(dst.c_str());
        return false;
    }
    return true;
}

void copyText(char* dst, size_t cap, const std::string& text) {
    if (cap == 0)
        return;
    size_t n = text.size();
    if (n > cap - 1) {
        n = cap - 1;
        // Step back over continuation bytes so no character is cut in half.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    memcpy(dst, text.data(), n);
    memset(dst + n, 0, cap - n);
}

std::string sha1Hex(const std::string& text) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(text.data(), text.size(), md, &len, EVP_sha1(), nullptr) != 1)
        return {};
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < len; ++i) {
        hex += digits[md[i] >> 4];
        hex += digits[md[i] & 15];
    }
    return hex;
}

std::string sqliteFileUri(const std::string& path) {
    std::string uri = "file:";
    static const char digits[] = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#' || c < 0x20 || c == 0x7F) {
            uri += '%';
            uri += digits[c >> 4];
            uri += digits[c & 15];
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri;
}

} // namespace jukelink
