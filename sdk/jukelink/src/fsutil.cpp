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

namespace {

class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

  private:
    int m_fd;
};

std::string errnoText(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + strerror(errno);
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

bool readFileCapped(const std::string& path, size_t maxBytes, std::string* out, std::string* err) {
    Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        *err = errnoText("cannot open", path);
        return false;
    }
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *err = "not a regular file: " + path;
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        *err = "file too large (" + std::to_string(st.st_size) + " bytes): " + path;
        return false;
    }
    out->clear();
    out->reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *err = errnoText("cannot read", path);
            return false;
        }
        if (n == 0)
            break;
        if (out->size() + static_cast<size_t>(n) > maxBytes) {
            *err = "file grew beyond the limit while read: " + path;
            return false;
        }
        out->append(buf, static_cast<size_t>(n));
    }
    return true;
}

bool copyFile(const std::string& src, const std::string& dst, std::string* err) {
    Fd in(open(src.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        *err = errnoText("cannot open", src);
        return false;
    }
    if (unlink(dst.c_str()) != 0 && errno != ENOENT) {
        *err = errnoText("cannot replace", dst);
        return false;
    }
    Fd out(open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        *err = errnoText("cannot create", dst);
        return false;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = read(in.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *err = errnoText("cannot read", src);
            unlink(dst.c_str());
            return false;
        }
        if (n == 0)
            break;
        if (!writeAll(out.get(), buf, static_cast<size_t>(n))) {
            *err = errnoText("cannot write", dst);
            unlink(dst.c_str());
            return false;
        }
    }
    if (close(out.release()) != 0) {
        *err = errnoText("cannot finish", dst);
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
