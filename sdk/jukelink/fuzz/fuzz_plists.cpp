// libFuzzer target: property lists as the backup reader takes them, both as
// the three lists of a backup folder and as a Manifest.db file blob.
#include <cstddef>
#include <cstdint>

#include "backup_info.h"
#include "manifest.h"
#include "plist_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    jukelink::PlistPtr root = jukelink::parsePlist(bytes, size);
    jukelink::BackupInfo info =
        jukelink::describeBackup("/x/y", root.get(), root.get(), root.get());
    BackupDeviceNode node;
    jukelink::fillBackupNode(info, &node);
    (void)jukelink::sizeFromFileBlob(data, size);
    return 0;
}
