#include "phone_content.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace viphone {
namespace fs = std::filesystem;

void fillPattern(uint32_t seed, uint64_t offset, char* out, size_t n) {
    // Each 8-byte word is a hash of (seed, word index): random access, no state.
    for (size_t i = 0; i < n; ++i) {
        uint64_t pos = offset + i;
        uint64_t x = (pos >> 3) * 0x9E3779B97F4A7C15ull ^ (uint64_t(seed) << 32 | seed);
        x ^= x >> 31;
        x *= 0xBF58476D1CE4E5B9ull;
        x ^= x >> 29;
        out[i] = static_cast<char>(x >> (8 * (pos & 7)));
    }
}

namespace {

bool writeFile(const fs::path& p, uint32_t seed, uint64_t size, std::string* error) {
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    std::vector<char> buf(1u << 20);
    for (uint64_t off = 0; off < size && out; off += buf.size()) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), size - off));
        fillPattern(seed, off, buf.data(), n);
        out.write(buf.data(), static_cast<std::streamsize>(n));
    }
    if (!out) {
        *error = "cannot write " + p.string();
        return false;
    }
    return true;
}

} // namespace

bool writeMediaTree(const std::string& root, const ContentOptions& opt,
                    std::vector<ContentFile>* files, std::string* error) {
    struct Planned {
        const char* path;
        uint64_t size;
        ContentFile::Kind kind;
    };
    const Planned planned[] = {
        {"/DCIM/100APPLE/IMG_0001.JPG", 48213, ContentFile::Photo},
        {"/DCIM/100APPLE/IMG_0002.jpg", 1, ContentFile::Photo},
        {"/DCIM/100APPLE/IMG_0003.PNG", 70001, ContentFile::Photo},
        {"/DCIM/100APPLE/IMG_0004.MOV", 300017, ContentFile::Video},
        {"/DCIM/100APPLE/IMG_0005.m4v", 1200, ContentFile::Video},
        {"/DCIM/100APPLE/IMG_0006.HEIC", 91234, ContentFile::Photo},
        {"/DCIM/100APPLE/IMG_0007.heif", 5120, ContentFile::Photo},
        {"/DCIM/100APPLE/IMG_0008.DNG", 123457, ContentFile::Photo},
        {"/DCIM/100APPLE/IMG_0009.JPEG", 4096, ContentFile::Photo},
        {"/DCIM/100APPLE/IMG_0010.GIF", 777, ContentFile::Photo},
        {"/DCIM/100APPLE/IMG_0011.AAE", 420, ContentFile::Other},
        {"/DCIM/101APPLE/IMG_0101.JPG", 20480, ContentFile::Photo},
        {"/DCIM/101APPLE/IMG_0102.mp4", 150000, ContentFile::Video},
        {"/DCIM/101APPLE/.MISC/Info.plist", 310, ContentFile::Other},
        {"/Recordings/20200101 123456.m4a", 64000, ContentFile::Music},
        {"/Recordings/Recordings.db", 8192, ContentFile::Other},
        {"/iTunes_Control/Music/F00/ABCD.mp3", 250000, ContentFile::Music},
        {"/iTunes_Control/Music/F01/Song.M4A", 180000, ContentFile::Music},
        {"/iTunes_Control/Music/F01/empty.mp3", 0, ContentFile::Music},
        {"/iTunes_Control/iTunes/README", 12, ContentFile::Other},
    };
    uint32_t n = 0;
    for (const Planned& s : planned) {
        uint32_t seed = opt.seed * 1000 + ++n;
        if (!writeFile(fs::path(root + s.path), seed, s.size, error))
            return false;
        files->push_back({s.path, s.size, s.kind});
    }
    if (opt.largeFileBytes > 0) {
        const char* big = "/DCIM/102APPLE/IMG_0200.MOV";
        if (!writeFile(fs::path(root + big), opt.seed * 1000 + 999, opt.largeFileBytes, error))
            return false;
        files->push_back({big, opt.largeFileBytes, ContentFile::Video});
    }
    // A link is reported by the phone as a link, never walked into.
    std::error_code ec;
    fs::create_symlink("100APPLE", root + "/DCIM/link_to_100APPLE", ec);
    return true;
}

bool writeUserDatabases(const std::string& root, const ContentOptions& opt, std::string* error) {
    if (opt.fixtureTool.empty() || ::access(opt.fixtureTool.c_str(), X_OK) != 0) {
        *error = "fixture tool not found: " + opt.fixtureTool;
        return false;
    }
    fs::path staging = fs::path(root) / ".fixture-staging";
    std::error_code ec;
    fs::create_directories(staging, ec);
    std::string ios = std::to_string(opt.iosVersion), seed = std::to_string(opt.seed),
                count = std::to_string(opt.recordCount), out = staging.string();
    std::vector<char*> argv = {const_cast<char*>(opt.fixtureTool.c_str()),
                               const_cast<char*>("--ios"),
                               ios.data(),
                               const_cast<char*>("--seed"),
                               seed.data(),
                               const_cast<char*>("--count"),
                               count.data(),
                               const_cast<char*>("--out"),
                               out.data(),
                               nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        *error = "cannot start " + opt.fixtureTool;
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = opt.fixtureTool + " failed";
        return false;
    }
    const std::pair<const char*, const char*> places[] = {
        {"sms.db", "var/mobile/Library/SMS/sms.db"},
        {"AddressBook.sqlitedb", "var/mobile/Library/AddressBook/AddressBook.sqlitedb"},
        {"call_history.db", "var/wireless/Library/CallHistory/call_history.db"},
        {"CallHistory.storedata", "var/mobile/Library/CallHistoryDB/CallHistory.storedata"},
        {"Calendar.sqlitedb", "var/mobile/Library/Calendar/Calendar.sqlitedb"},
    };
    fs::path lib = fs::path(root);
    for (auto& [name, place] : places) {
        for (const char* suffix : {"", "-wal"}) {
            fs::path from = staging / (std::string(name) + suffix);
            if (!fs::exists(from, ec))
                continue;
            fs::path to = lib / (std::string(place) + suffix);
            fs::create_directories(to.parent_path(), ec);
            fs::rename(from, to, ec);
        }
    }
    fs::remove_all(staging, ec);
    return true;
}

} // namespace viphone
