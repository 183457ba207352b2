// kestrova-backupfixture: writes one iTunes backup for tests, demos and
// benchmarks.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "backup_fixtures.h"

namespace {

int usage() {
    fprintf(stderr, "usage: kestrova-backupfixture --format db|mbdb --ios V --seed S --count N "
                    "--out DIR [--media M] [--encrypted] [--incomplete] [--missing-files] "
                    "[--wal] [--unsafe-files] [--deep-plist] [--huge-video BYTES] [--password P] "
                    "[--iterations N] [--dp-iterations N]\n"
                    "--encrypted writes an encrypted backup (password \"kestrova\" unless "
                    "--password; ITER 1000 and, from iOS 11 with --format db, DPIC 1000 unless "
                    "given; --dp-iterations 0 leaves DPSL/DPIC out)\n");
    return 2;
}

bool number(const char* text, long long lo, long long hi, long long* out) {
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    backupfix::Options opt;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long long n = 0;
        if (a == "--encrypted") {
            opt.encrypted = true;
        } else if (a == "--incomplete") {
            opt.incomplete = true;
        } else if (a == "--missing-files") {
            opt.missingFiles = true;
        } else if (a == "--wal") {
            opt.walTail = true;
        } else if (a == "--unsafe-files") {
            opt.unsafeFiles = true;
        } else if (a == "--deep-plist") {
            opt.deepPlist = true;
        } else if (v == nullptr) {
            return usage();
        } else if (a == "--format" && (!strcmp(v, "db") || !strcmp(v, "mbdb"))) {
            opt.format = !strcmp(v, "db") ? backupfix::Format::Db : backupfix::Format::Mbdb;
            ++i;
        } else if (a == "--ios" && number(v, 5, 18, &n)) {
            opt.iosVersion = static_cast<int>(n), ++i;
        } else if (a == "--seed" && number(v, 0, UINT32_MAX, &n)) {
            opt.seed = static_cast<uint32_t>(n), ++i;
        } else if (a == "--count" && number(v, 0, 1000000, &n)) {
            opt.count = static_cast<int>(n), ++i;
        } else if (a == "--media" && number(v, 0, 1000000, &n)) {
            opt.mediaCount = static_cast<int>(n), ++i;
        } else if (a == "--huge-video" && number(v, 1, INT64_MAX, &n)) {
            opt.hugeVideoBytes = n, ++i;
        } else if (a == "--password") {
            opt.password = v, ++i;
        } else if (a == "--iterations" && number(v, 1, INT32_MAX, &n)) {
            opt.iterations = static_cast<uint64_t>(n), ++i;
        } else if (a == "--dp-iterations" && number(v, 0, INT32_MAX, &n)) {
            opt.dpIterations = n, ++i;
        } else if (a == "--out") {
            out = v, ++i;
        } else {
            return usage();
        }
    }
    if (out.empty())
        return usage();
    backupfix::Result r;
    std::string err;
    if (!backupfix::writeBackup(out, opt, &r, &err)) {
        fprintf(stderr, "kestrova-backupfixture: %s\n", err.c_str());
        return 1;
    }
    printf("%s\n", r.folder.c_str());
    return 0;
}
