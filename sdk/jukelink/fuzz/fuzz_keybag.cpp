// libFuzzer target: a backup's keybag (Manifest.plist's BackupKeyBag) as the
// reader takes it apart, then its class keys unwrapped with a fixed key
// (the password derivation itself is OpenSSL's and is left out: a keybag may
// ask for up to 100,000,000 rounds).
#include <cstddef>
#include <cstdint>

#include "keybag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    jukelink::Keybag bag;
    jukelink::Error err;
    if (!jukelink::parseKeybag(data, size, &bag, &err)) {
        if (!err.failed())
            __builtin_trap(); // a refusal always says why
        return 0;
    }
    if (bag.salt.empty() && bag.iterations == 0)
        __builtin_trap();
    uint8_t fixed[32] = {1, 2, 3};
    jukelink::SecretBytes key(fixed, sizeof fixed);
    jukelink::ClassKeys keys;
    keys.unlock(bag, key, &err);
    jukelink::SecretBytes fileKey;
    keys.fileKey(std::string(reinterpret_cast<const char*>(data), size < 44 ? size : 44), &fileKey,
                 &err);
    return 0;
}
