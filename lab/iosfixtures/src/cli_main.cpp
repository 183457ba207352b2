// kestrova-iosfixture --ios V --seed S --count N --out DIR [--wal-tail]
// Writes sms.db, AddressBook.sqlitedb, the call history and
// Calendar.sqlitedb of that iOS version under DIR.
#include "ios_fixtures.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: kestrova-iosfixture --ios V --seed S --count N --out DIR "
                         "[--wal-tail]\n");
    return 2;
}

bool number(const char* text, long lo, long hi, long* out) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || !end || *end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    iosfix::Options opt;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        long v = 0;
        if (a == "--wal-tail") {
            opt.walTail = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        const char* val = argv[++i];
        if (a == "--ios" && number(val, 5, 18, &v))
            opt.iosVersion = int(v);
        else if (a == "--seed" && number(val, 0, 0xffffffffL, &v))
            opt.seed = uint32_t(v);
        else if (a == "--count" && number(val, 1, 1000000, &v))
            opt.count = int(v);
        else if (a == "--out")
            out = val;
        else
            return usage();
    }
    if (out.empty())
        return usage();
    if (!iosfix::writeAll(out, opt)) {
        std::fprintf(stderr, "kestrova-iosfixture: could not write the databases under %s: %s\n",
                     out.c_str(), iosfix::lastError().c_str());
        return 1;
    }
    return 0;
}
