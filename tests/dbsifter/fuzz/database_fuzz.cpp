// libFuzzer target: any file handed to the four loads gives a list or a
// logged failure with an empty list, never a crash. The input is written to
// a private file and loaded as each kind.
#include "dbsifter.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

std::string scratchFile() {
    static std::string path = [] {
        char tmpl[] = "/tmp/dbsifter-fuzz-XXXXXX";
        const char* dir = mkdtemp(tmpl);
        return std::string(dir ? dir : "/tmp") + "/in.db";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = scratchFile();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    struct Kind {
        int (*load)(char*, int);
        int (*count)(void);
    };
    const Kind kinds[] = {{DbsifterTSF_FlushSMS, DbsifterTSF_GetSMSCount},
                          {DbsifterTSF_FlushContact, DbsifterTSF_GetContactCount},
                          {DbsifterTSF_FlushCallLog, DbsifterTSF_GetCallLogCount},
                          {DbsifterTSF_FlushCalendar, DbsifterTSF_GetRemindersCount}};
    for (const Kind& k : kinds)
        if (k.load(path.data(), 0) != 0 && k.count() != 0)
            std::abort(); // a failed load must leave an empty list
    return 0;
}
