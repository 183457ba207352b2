// libFuzzer target: the MBFile keyed archive of a Manifest.db row as the
// reader decodes it for an encrypted backup (size, protection class and the
// EncryptionKey, inline or by reference), and the key handed on to unwrap.
#include <cstddef>
#include <cstdint>

#include "keybag.h"
#include "manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<jukelink::FileBlobInfo> info = jukelink::decodeFileBlob(data, size);
    if (!info)
        return 0;
    if (info->size && *info->size < 0)
        __builtin_trap();
    jukelink::ClassKeys none; // no class is unlocked: every key is refused
    jukelink::SecretBytes key;
    jukelink::Error err;
    if (none.fileKey(info->encryptionKey, &key, &err) || !err.failed())
        __builtin_trap();
    return 0;
}
