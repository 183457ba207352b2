// libFuzzer target: the relay archive unpacker must refuse or unpack any
// input without crashing and without writing outside its folder.
#include "archive_unpack.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string root = [] {
        char tmpl[] = "/tmp/fruitlink-fuzz-XXXXXX";
        return std::string(mkdtemp(tmpl));
    }();
    std::string folder = root + "/out";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    fruitlink::UnpackLimits limits;
    limits.maxTotalBytes = 1u << 20;
    limits.maxEntries = 256;
    fruitlink::unpackArchiveMemory(data, size, folder, limits);
    // Anything outside `out` means an entry escaped.
    for (auto& e : std::filesystem::directory_iterator(root))
        if (e.path().filename() != "out")
            std::abort();
    return 0;
}
