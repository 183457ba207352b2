#include "keybag.h"

#include <cstring>

namespace jukelink {

namespace {

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// A number item: 4 or 8 bytes, big-endian.
bool number(const uint8_t* p, size_t n, uint64_t* out) {
    if (n != 4 && n != 8)
        return false;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    *out = v;
    return true;
}

bool number32(const uint8_t* p, size_t n, uint32_t* out) {
    uint64_t v = 0;
    if (!number(p, n, &v) || v > UINT32_MAX)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

} // namespace

bool parseKeybag(const uint8_t* data, size_t size, Keybag* out, Error* err) {
    *out = Keybag();
    if (data == nullptr || size == 0)
        return err->fail(Category::Corrupt, "the backup's keybag is empty");
    if (size > kMaxKeybagBytes)
        return err->fail(Category::TooLarge, "the backup's keybag is larger than " +
                                                 std::to_string(kMaxKeybagBytes) + " bytes");
    bool haveSalt = false, haveIter = false, haveDpsl = false, haveDpic = false;
    KeybagClass* current = nullptr;
    size_t pos = 0;
    while (pos < size) {
        if (size - pos < 8)
            return err->fail(Category::Corrupt, "the backup's keybag is cut short");
        char tag[5] = {};
        memcpy(tag, data + pos, 4);
        uint32_t len = be32(data + pos + 4);
        pos += 8;
        if (len > size - pos)
            return err->fail(Category::Corrupt,
                             std::string("the keybag item ") + tag + " runs past the end");
        const uint8_t* v = data + pos;
        pos += len;
        std::string bytes(reinterpret_cast<const char*>(v), len);
        bool ok = true;
        if (!strcmp(tag, "UUID")) {
            if (out->uuid.empty() && out->classes.empty() && current == nullptr) {
                out->uuid = bytes;
            } else {
                if (out->classes.size() >= kMaxKeybagClasses)
                    return err->fail(Category::TooLarge, "the keybag holds too many class keys");
                out->classes.emplace_back();
                current = &out->classes.back();
            }
        } else if (current != nullptr) {
            // Inside a class key; header tags after it are not expected.
            if (!strcmp(tag, "CLAS"))
                ok = number32(v, len, &current->protectionClass);
            else if (!strcmp(tag, "WRAP"))
                ok = number32(v, len, &current->wrap);
            else if (!strcmp(tag, "KTYP"))
                ok = number32(v, len, &current->keyType);
            else if (!strcmp(tag, "WPKY"))
                current->wrappedKey = bytes;
        } else if (!strcmp(tag, "VERS")) {
            ok = number32(v, len, &out->version);
        } else if (!strcmp(tag, "TYPE")) {
            ok = number32(v, len, &out->type);
        } else if (!strcmp(tag, "WRAP")) {
            ok = number32(v, len, &out->wrap);
        } else if (!strcmp(tag, "SALT")) {
            out->salt = bytes;
            haveSalt = true;
        } else if (!strcmp(tag, "ITER")) {
            ok = haveIter = number(v, len, &out->iterations);
        } else if (!strcmp(tag, "DPWT")) {
            ok = number32(v, len, &out->dpwt);
        } else if (!strcmp(tag, "DPSL")) {
            out->dpSalt = bytes;
            haveDpsl = true;
        } else if (!strcmp(tag, "DPIC")) {
            ok = haveDpic = number(v, len, &out->dpIterations);
        }
        if (!ok)
            return err->fail(Category::Corrupt,
                             std::string("the keybag item ") + tag + " is not a number");
    }
    if (!haveSalt || !haveIter || out->iterations == 0)
        return err->fail(Category::Corrupt, "the backup's keybag has no SALT or ITER");
    if (haveDpsl != haveDpic || (haveDpic && out->dpIterations == 0))
        return err->fail(Category::Corrupt, "the backup's keybag has only half of DPSL and DPIC");
    if (out->iterations > kMaxIterations || out->dpIterations > kMaxIterations)
        return err->fail(Category::TooLarge, "the backup's keybag asks for more than " +
                                                 std::to_string(kMaxIterations) + " iterations");
    out->hasDoubleProtection = haveDpsl;
    return true;
}

bool derivePasswordKey(const std::string& password, const Keybag& bag, SecretBytes* out,
                       Error* err) {
    const auto* pw = reinterpret_cast<const uint8_t*>(password.data());
    SecretBytes first;
    const uint8_t* input = pw;
    size_t inputSize = password.size();
    if (bag.hasDoubleProtection) {
        first = SecretBytes(kAesKeyBytes);
        if (!pbkdf2Sha256(pw, password.size(), bag.dpSalt, bag.dpIterations, &first))
            return err->fail(Category::Corrupt, "the keybag's DPSL/DPIC cannot be used");
        input = first.data();
        inputSize = first.size();
    }
    *out = SecretBytes(kAesKeyBytes);
    if (!pbkdf2Sha1(input, inputSize, bag.salt, bag.iterations, out))
        return err->fail(Category::Corrupt, "the keybag's SALT/ITER cannot be used");
    return true;
}

bool ClassKeys::unlock(const Keybag& bag, const SecretBytes& passwordKey, Error* err) {
    m_keys.clear();
    size_t unwrapped = 0;
    for (const KeybagClass& c : bag.classes) {
        if ((c.wrap & kWrapPasscode) == 0 || c.wrappedKey.empty())
            continue;
        SecretBytes key;
        if (!aesUnwrap(passwordKey, reinterpret_cast<const uint8_t*>(c.wrappedKey.data()),
                       c.wrappedKey.size(), &key)) {
            m_keys.clear();
            return err->fail(Category::WrongPassword, "wrong backup password");
        }
        m_keys[c.protectionClass] = std::move(key);
        ++unwrapped;
    }
    if (unwrapped == 0)
        return err->fail(Category::Corrupt, "the backup's keybag holds no class key to unlock");
    return true;
}

bool ClassKeys::fileKey(const std::string& classAndKey, SecretBytes* out, Error* err) const {
    if (classAndKey.size() < 4 + 24)
        return err->fail(Category::Corrupt, "a file's key is too short");
    const auto* p = reinterpret_cast<const uint8_t*>(classAndKey.data());
    uint32_t cls =
        uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    return fileKey(cls, classAndKey.substr(4), out, err);
}

bool ClassKeys::fileKey(uint32_t protectionClass, const std::string& wrapped, SecretBytes* out,
                        Error* err) const {
    auto it = m_keys.find(protectionClass);
    if (it == m_keys.end())
        return err->fail(Category::Corrupt, "no key of protection class " +
                                                std::to_string(protectionClass) +
                                                " in the backup's keybag");
    if (!aesUnwrap(it->second, reinterpret_cast<const uint8_t*>(wrapped.data()), wrapped.size(),
                   out) ||
        out->size() != kAesKeyBytes)
        return err->fail(Category::Corrupt, "a file's key does not unwrap (damaged manifest)");
    return true;
}

} // namespace jukelink
