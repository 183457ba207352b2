// libFuzzer target: a whole Manifest.db file as the backup reader opens it
// (immutable, rows filtered, file blobs decoded).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string dir = [] {
        char templ[] = "/tmp/jukelink-fuzz-XXXXXX";
        const char* made = mkdtemp(templ);
        if (made == nullptr)
            abort();
        return std::string(made);
    }();
    std::string path = dir + "/Manifest.db";
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        abort();
    fwrite(data, 1, size, f);
    fclose(f);
    jukelink::Manifest m;
    jukelink::Error err;
    jukelink::readManifest(
        dir, "", [](const std::string&, const std::string&) { return true; }, &m, &err);
    return 0;
}
