// The encryption of a backup as an iPhone writes it when "Encrypt local
// backup" is on: a keybag whose class keys are wrapped (RFC 3394) with a key
// derived from the password, one random key per file wrapped with its class
// key, and each file AES-256-CBC encrypted with a zero IV and PKCS#7 padding.
// Written apart from the reader on purpose: the two meet only in the format.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>

namespace backupfix {

class BackupCipher {
  public:
    // dpIterations 0: a keybag of before iOS 10.2 (SALT and ITER only).
    BackupCipher(const std::string& password, uint64_t iterations, uint64_t dpIterations,
                 std::mt19937& rng);

    // The BackupKeyBag bytes of Manifest.plist.
    const std::string& keybag() const { return m_keybag; }
    // A fresh file key of a class: "class (4 bytes, little-endian) + wrapped
    // key", as MBFile's EncryptionKey and Manifest.plist's ManifestKey hold
    // it; *key gets the plain key.
    std::string newFileKey(uint32_t protectionClass, std::string* key);
    // AES-256-CBC, zero IV, PKCS#7 padding.
    static std::string encrypt(const std::string& key, const std::string& plain);

  private:
    std::string random(size_t n);
    std::mt19937& m_rng;
    std::map<uint32_t, std::string> m_classKeys;
    std::string m_keybag;
};

} // namespace backupfix
