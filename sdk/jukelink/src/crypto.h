// The ciphers of encrypted backups, all through OpenSSL: PBKDF2, AES key
// unwrap (RFC 3394) and AES-256-CBC with a zero IV. Keys live in SecretBytes,
// which wipes them when they go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "log.h"

namespace jukelink {

// Key material: wiped (OPENSSL_cleanse) when replaced or destroyed.
class SecretBytes {
  public:
    SecretBytes() = default;
    explicit SecretBytes(size_t n) : m_bytes(n) {}
    SecretBytes(const uint8_t* data, size_t n) : m_bytes(data, data + n) {}
    ~SecretBytes() { wipe(); }
    SecretBytes(const SecretBytes& o) : m_bytes(o.m_bytes) {}
    SecretBytes& operator=(const SecretBytes& o);
    SecretBytes(SecretBytes&& o) noexcept : m_bytes(std::move(o.m_bytes)) {}
    SecretBytes& operator=(SecretBytes&& o) noexcept;

    void wipe();
    uint8_t* data() { return m_bytes.data(); }
    const uint8_t* data() const { return m_bytes.data(); }
    size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }

  private:
    std::vector<uint8_t> m_bytes;
};

// Wipes a text that held a password.
void wipeText(std::string* text);

constexpr size_t kAesKeyBytes = 32;
constexpr size_t kWrappedKeyBytes = 40; // a 32-byte key wrapped by RFC 3394

// PBKDF2 with HMAC-SHA256 or HMAC-SHA1 into out (its size is the length wanted).
bool pbkdf2Sha256(const uint8_t* password, size_t passwordSize, const std::string& salt,
                  uint64_t iterations, SecretBytes* out);
bool pbkdf2Sha1(const uint8_t* password, size_t passwordSize, const std::string& salt,
                uint64_t iterations, SecretBytes* out);

// RFC 3394 unwrap with a 32-byte key encryption key. False when the integrity
// check fails (a wrong key) or the sizes are wrong.
bool aesUnwrap(const SecretBytes& kek, const uint8_t* wrapped, size_t size, SecretBytes* out);
// RFC 3394 wrap (for writers of test backups).
bool aesWrap(const SecretBytes& kek, const SecretBytes& key, std::string* out);

// AES-256-CBC with a zero IV over a whole buffer, no padding handled: size
// must be a multiple of 16.
bool cbcDecrypt(const SecretBytes& key, const uint8_t* in, size_t size, std::string* out);

// The length of plain once its PKCS#7 padding is cut, or size when the tail
// is no valid padding.
size_t withoutPadding(const uint8_t* plain, size_t size);

// Decrypts what is left of the open file in (AES-256-CBC, zero IV) into the
// open file out. plainSize >= 0 cuts the output there (the size the manifest
// records); -1 cuts PKCS#7 padding when the tail holds one. name is for the
// reason only. Corrupt when the length is no multiple of 16 or shorter than
// plainSize.
bool decryptFileFd(int in, int out, const SecretBytes& key, int64_t plainSize,
                   const std::string& name, Error* err);

} // namespace jukelink
