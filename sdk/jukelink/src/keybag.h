// The backup keybag (Manifest.plist's BackupKeyBag) and the keys it yields.
//
// The keybag is a run of tag/length/value items: a 4-byte tag, a 4-byte
// big-endian length, the value. The header holds VERS, TYPE, UUID, WRAP,
// SALT, ITER and, since iOS 10.2, DPWT, DPIC, DPSL; then each class key
// begins with its UUID and holds CLAS, WRAP, KTYP, WPKY.
//
// The password becomes a key in two PBKDF2 steps: HMAC-SHA256 with DPSL and
// DPIC (only when the keybag has them), then HMAC-SHA1 with SALT and ITER.
// Class keys whose WRAP has the passcode bit (2) are unwrapped with it
// (RFC 3394); a failed unwrap means the password is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "crypto.h"
#include "log.h"

namespace jukelink {

struct KeybagClass {
    uint32_t protectionClass = 0;
    uint32_t wrap = 0;
    uint32_t keyType = 0;
    std::string wrappedKey; // WPKY
};

struct Keybag {
    uint32_t version = 0;
    uint32_t type = 0;
    std::string uuid;
    uint32_t wrap = 0;
    std::string salt;
    uint64_t iterations = 0;
    bool hasDoubleProtection = false; // DPSL and DPIC present
    uint32_t dpwt = 0;
    std::string dpSalt;
    uint64_t dpIterations = 0;
    std::vector<KeybagClass> classes;
};

constexpr uint32_t kWrapPasscode = 2;
// Far above what phones use (10,000,000 and 10,000); a keybag asking for
// more would hold the job for hours.
constexpr uint64_t kMaxIterations = 100'000'000;
constexpr size_t kMaxKeybagBytes = 64 * 1024;
constexpr size_t kMaxKeybagClasses = 64;

// Parses a keybag. False with the reason (Corrupt, TooLarge) when it is cut
// short, lacks SALT or ITER, or is over the limits.
bool parseKeybag(const uint8_t* data, size_t size, Keybag* out, Error* err);

// The key the password gives for this keybag (32 bytes).
bool derivePasswordKey(const std::string& password, const Keybag& bag, SecretBytes* out,
                       Error* err);

// The unwrapped class keys of one backup.
class ClassKeys {
  public:
    // Unwraps every passcode-wrapped class key with the password key. False
    // with Category::WrongPassword when an unwrap fails.
    bool unlock(const Keybag& bag, const SecretBytes& passwordKey, Error* err);
    bool empty() const { return m_keys.empty(); }
    void wipe() { m_keys.clear(); }
    // Unwraps a file's (or the manifest's) key: a 4-byte little-endian
    // protection class followed by the wrapped key.
    bool fileKey(const std::string& classAndKey, SecretBytes* out, Error* err) const;
    // The same with the class given apart (older manifests).
    bool fileKey(uint32_t protectionClass, const std::string& wrapped, SecretBytes* out,
                 Error* err) const;

  private:
    std::map<uint32_t, SecretBytes> m_keys;
};

} // namespace jukelink
