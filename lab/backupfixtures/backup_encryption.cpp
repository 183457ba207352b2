#include "backup_encryption.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <stdexcept>

namespace backupfix {

namespace {

void putTag(std::string* out, const char* tag, const std::string& value) {
    out->append(tag, 4);
    uint32_t n = static_cast<uint32_t>(value.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<char>((n >> shift) & 0xFF));
    out->append(value);
}

std::string be32(uint64_t v) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>((v >> shift) & 0xFF));
    return s;
}

std::string pbkdf2(const EVP_MD* md, const std::string& password, const std::string& salt,
                   uint64_t iterations) {
    std::string out(32, '\0');
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()),
                          static_cast<int>(salt.size()), static_cast<int>(iterations), md, 32,
                          reinterpret_cast<unsigned char*>(out.data())) != 1)
        throw std::runtime_error("PBKDF2 failed");
    return out;
}

std::string run(const EVP_CIPHER* cipher, const std::string& key, const std::string& in,
                bool wrap) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (wrap)
        EVP_CIPHER_CTX_set_flags(ctx, EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    static const unsigned char zeroIv[16] = {};
    std::string out(in.size() + 32, '\0');
    int n = 0, tail = 0;
    bool ok =
        EVP_EncryptInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                           wrap ? nullptr : zeroIv) == 1 &&
        EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                          reinterpret_cast<const unsigned char*>(in.data()),
                          static_cast<int>(in.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok)
        throw std::runtime_error("encryption failed");
    out.resize(static_cast<size_t>(n + tail));
    return out;
}

std::string le32(uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
            static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

} // namespace

std::string BackupCipher::random(size_t n) {
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(m_rng() & 0xFF);
    return s;
}

BackupCipher::BackupCipher(const std::string& password, uint64_t iterations, uint64_t dpIterations,
                           std::mt19937& rng)
    : m_rng(rng) {
    std::string salt = random(20);
    std::string dpSalt = random(20);
    std::string passwordKey =
        dpIterations > 0 ? pbkdf2(EVP_sha1(), pbkdf2(EVP_sha256(), password, dpSalt, dpIterations),
                                  salt, iterations)
                         : pbkdf2(EVP_sha1(), password, salt, iterations);
    std::string& kb = m_keybag;
    putTag(&kb, "VERS", be32(dpIterations > 0 ? 4 : 3));
    putTag(&kb, "TYPE", be32(1)); // a backup keybag
    putTag(&kb, "UUID", random(16));
    putTag(&kb, "HMCK", random(40));
    putTag(&kb, "WRAP", be32(0));
    putTag(&kb, "SALT", salt);
    putTag(&kb, "ITER", be32(iterations));
    if (dpIterations > 0) {
        putTag(&kb, "DPWT", be32(1));
        putTag(&kb, "DPIC", be32(dpIterations));
        putTag(&kb, "DPSL", dpSalt);
    }
    // Classes 1 to 11 as phones list them; 5 (unused) has none. Class 6 is
    // wrapped with the device key alone (WRAP 1): a backup cannot unwrap it
    // and a reader must pass it by.
    for (uint32_t cls = 1; cls <= 11; ++cls) {
        if (cls == 5)
            continue;
        std::string key = random(32);
        uint32_t wrapFlags = cls == 6 ? 1 : 2;
        putTag(&kb, "UUID", random(16));
        putTag(&kb, "CLAS", be32(cls));
        putTag(&kb, "WRAP", be32(wrapFlags));
        putTag(&kb, "KTYP", be32(cls == 2 || cls == 3 ? 1 : 0));
        putTag(&kb, "WPKY",
               wrapFlags == 2 ? run(EVP_aes_256_wrap(), passwordKey, key, true) : random(40));
        if (wrapFlags == 2)
            m_classKeys[cls] = key;
        else
            OPENSSL_cleanse(key.data(), key.size());
    }
    OPENSSL_cleanse(passwordKey.data(), passwordKey.size());
}

std::string BackupCipher::newFileKey(uint32_t protectionClass, std::string* key) {
    *key = random(32);
    return le32(protectionClass) +
           run(EVP_aes_256_wrap(), m_classKeys.at(protectionClass), *key, true);
}

std::string BackupCipher::encrypt(const std::string& key, const std::string& plain) {
    return run(EVP_aes_256_cbc(), key, plain, false);
}

} // namespace backupfix
