#include "crypto.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <unistd.h>

namespace jukelink {

namespace {

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

const uint8_t kZeroIv[16] = {};

bool pbkdf2(const EVP_MD* md, const uint8_t* password, size_t passwordSize, const std::string& salt,
            uint64_t iterations, SecretBytes* out) {
    if (iterations == 0 || iterations > INT_MAX || passwordSize > INT_MAX ||
        salt.size() > INT_MAX || out->empty())
        return false;
    return PKCS5_PBKDF2_HMAC(
               reinterpret_cast<const char*>(password), static_cast<int>(passwordSize),
               reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
               static_cast<int>(iterations), md, static_cast<int>(out->size()), out->data()) == 1;
}

bool writeAllFd(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads until buf is full or the file ends; the count, or -1.
ssize_t readFull(int fd, uint8_t* buf, size_t cap) {
    size_t got = 0;
    while (got < cap) {
        ssize_t n = read(fd, buf + got, cap - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

} // namespace

SecretBytes& SecretBytes::operator=(const SecretBytes& o) {
    if (this != &o) {
        wipe();
        m_bytes = o.m_bytes;
    }
    return *this;
}

SecretBytes& SecretBytes::operator=(SecretBytes&& o) noexcept {
    if (this != &o) {
        wipe();
        m_bytes = std::move(o.m_bytes);
    }
    return *this;
}

void SecretBytes::wipe() {
    if (!m_bytes.empty())
        OPENSSL_cleanse(m_bytes.data(), m_bytes.size());
    m_bytes.clear();
}

void wipeText(std::string* text) {
    if (!text->empty())
        OPENSSL_cleanse(text->data(), text->size());
    text->clear();
}

bool pbkdf2Sha256(const uint8_t* password, size_t passwordSize, const std::string& salt,
                  uint64_t iterations, SecretBytes* out) {
    return pbkdf2(EVP_sha256(), password, passwordSize, salt, iterations, out);
}

bool pbkdf2Sha1(const uint8_t* password, size_t passwordSize, const std::string& salt,
                uint64_t iterations, SecretBytes* out) {
    return pbkdf2(EVP_sha1(), password, passwordSize, salt, iterations, out);
}

bool aesUnwrap(const SecretBytes& kek, const uint8_t* wrapped, size_t size, SecretBytes* out) {
    if (kek.size() != kAesKeyBytes || size < 24 || size % 8 != 0 || size > 1024)
        return false;
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return false;
    EVP_CIPHER_CTX_set_flags(ctx.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_wrap(), nullptr, kek.data(), nullptr) != 1)
        return false;
    SecretBytes plain(size); // room for the cipher's own checks
    int n = 0;
    if (EVP_DecryptUpdate(ctx.get(), plain.data(), &n, wrapped, static_cast<int>(size)) != 1 ||
        n != static_cast<int>(size - 8))
        return false;
    int tail = 0;
    if (EVP_DecryptFinal_ex(ctx.get(), plain.data() + n, &tail) != 1)
        return false;
    *out = SecretBytes(plain.data(), static_cast<size_t>(n));
    return true;
}

bool aesWrap(const SecretBytes& kek, const SecretBytes& key, std::string* out) {
    if (kek.size() != kAesKeyBytes || key.size() < 16 || key.size() % 8 != 0)
        return false;
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return false;
    EVP_CIPHER_CTX_set_flags(ctx.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_wrap(), nullptr, kek.data(), nullptr) != 1)
        return false;
    std::string buf(key.size() + 16, '\0');
    int n = 0;
    int tail = 0;
    if (EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(buf.data()), &n, key.data(),
                          static_cast<int>(key.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(buf.data()) + n, &tail) !=
            1)
        return false;
    buf.resize(static_cast<size_t>(n + tail));
    *out = std::move(buf);
    return true;
}

bool cbcDecrypt(const SecretBytes& key, const uint8_t* in, size_t size, std::string* out) {
    if (key.size() != kAesKeyBytes || size % 16 != 0 || size > INT_MAX)
        return false;
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), kZeroIv) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    out->assign(size, '\0');
    int n = 0;
    int tail = 0;
    if (size > 0 && EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out->data()), &n,
                                      in, static_cast<int>(size)) != 1)
        return false;
    if (EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out->data()) + n, &tail) !=
        1)
        return false;
    return true;
}

size_t withoutPadding(const uint8_t* plain, size_t size) {
    if (size == 0 || size % 16 != 0)
        return size;
    uint8_t pad = plain[size - 1];
    if (pad == 0 || pad > 16)
        return size;
    for (size_t i = size - pad; i < size; ++i)
        if (plain[i] != pad)
            return size;
    return size - pad;
}

bool decryptFileFd(int in, int out, const SecretBytes& key, int64_t plainSize,
                   const std::string& name, Error* err) {
    if (key.size() != kAesKeyBytes)
        return err->fail(Category::InvalidArgument, "no key for " + name);
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), kZeroIv) != 1)
        return err->fail(Category::Io, "cannot set up the cipher for " + name);
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    // Large blocks keep the cipher's pipelined decryption busy.
    constexpr size_t kBlock = 1u << 20;
    std::vector<uint8_t> cipher(kBlock);
    std::vector<uint8_t> plain(kBlock + 16);
    // Plain bytes of a person's file do not stay behind in freed memory.
    struct Wipe {
        std::vector<uint8_t>& bytes;
        ~Wipe() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
    } wipePlain{plain};
    // The last block is held back until the end is known: its padding goes.
    std::vector<uint8_t> held;
    int64_t written = 0;
    int64_t limit = plainSize >= 0 ? plainSize : INT64_MAX;
    auto emit = [&](const uint8_t* p, size_t n) {
        if (written >= limit)
            return true;
        size_t take =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), limit - written));
        written += static_cast<int64_t>(take);
        return writeAllFd(out, p, take);
    };
    uint64_t total = 0;
    for (;;) {
        ssize_t got = readFull(in, cipher.data(), kBlock);
        if (got < 0)
            return err->fail(Category::Io, "cannot read " + name + ": " + strerror(errno));
        if (got == 0)
            break;
        total += static_cast<uint64_t>(got);
        if (got % 16 != 0)
            return err->fail(Category::Corrupt,
                             name + " is no whole number of cipher blocks (damaged or cut)");
        int n = 0;
        if (EVP_DecryptUpdate(ctx.get(), plain.data(), &n, cipher.data(), static_cast<int>(got)) !=
            1)
            return err->fail(Category::Corrupt, "cannot decrypt " + name);
        if (!held.empty() && !emit(held.data(), held.size()))
            return err->fail(Category::Io, "cannot write the decrypted " + name);
        size_t keep = n >= 16 ? 16 : static_cast<size_t>(n);
        if (!emit(plain.data(), static_cast<size_t>(n) - keep))
            return err->fail(Category::Io, "cannot write the decrypted " + name);
        held.assign(plain.begin() + (n - static_cast<int>(keep)), plain.begin() + n);
        if (static_cast<size_t>(got) < kBlock)
            break;
    }
    size_t last = held.size();
    if (plainSize < 0)
        last = withoutPadding(held.data(), held.size());
    if (!emit(held.data(), last))
        return err->fail(Category::Io, "cannot write the decrypted " + name);
    if (plainSize >= 0 && written < plainSize)
        return err->fail(Category::Corrupt, name + " holds " + std::to_string(total) +
                                                " encrypted bytes, fewer than "
                                                "the " +
                                                std::to_string(plainSize) +
                                                " the manifest records");
    return true;
}

} // namespace jukelink
