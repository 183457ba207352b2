#include "fixtures.h"

#include "apps.h"
#include "fixture_text.h"
#include "media.h"
#include "store.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lab {

namespace {

using fixture::Rng;

constexpr int kMaxRecords = 100000;

std::string dateText(int64_t ms) {
    std::time_t t = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

std::vector<std::string> contactValues(Rng& rng) {
    std::vector<std::string> v(kindSpec(Kind::Contacts).columns.size());
    const KindSpec& s = kindSpec(Kind::Contacts);
    auto set = [&](const char* column, std::string value) {
        v[static_cast<std::size_t>(s.columnIndex(column))] = std::move(value);
    };
    std::string first = fixture::givenName(rng);
    set("name", rng.chance(85) ? first + " " + fixture::familyName(rng) : first);
    set("mobile", fixture::phoneNumber(rng));
    if (rng.chance(40))
        set("home_number", fixture::phoneNumber(rng));
    if (rng.chance(30))
        set("work_number", fixture::phoneNumber(rng));
    if (rng.chance(20))
        set("nickname", fixture::givenName(rng));
    if (rng.chance(50))
        set("home_email", fixture::emailFor(rng, first));
    if (rng.chance(20))
        set("work_email", fixture::emailFor(rng, "work"));
    if (rng.chance(30))
        set("birthday", dateText((static_cast<int64_t>(rng.below(70 * 365)) - 30 * 365) *
                                 86400000)); // 1940 to 2010
    if (rng.chance(25))
        set("organization", fixture::organization(rng));
    if (rng.chance(15))
        set("department", "R&D / Ops");
    if (rng.chance(20))
        set("home_address", fixture::streetAddress(rng));
    if (rng.chance(10))
        set("work_address", fixture::streetAddress(rng));
    if (rng.chance(10))
        set("homepage", "https://example.org/~" + std::to_string(rng.below(10000)));
    if (rng.chance(5))
        set("home_fax", fixture::phoneNumber(rng));
    if (rng.chance(5))
        set("work_fax", fixture::phoneNumber(rng));
    if (rng.chance(15))
        set("group_name", rng.chance(50) ? "Family" : "Coworkers");
    if (rng.chance(15))
        set("note", fixture::paragraph(rng, rng.chance(20) ? 3000 : 20));
    return v;
}

bool fillPersonal(Store& store, const FixtureOptions& o, Rng& rng) {
    Transaction tx(store.db());
    for (int i = 0; i < o.contacts; ++i)
        if (!store.insert(Kind::Contacts, contactValues(rng)))
            return false;
    // Conversations: a handful of correspondents, newest message first.
    std::vector<std::string> peers;
    for (int i = 0; i < std::max(3, o.messages / 8); ++i)
        peers.push_back(fixture::phoneNumber(rng));
    int64_t at = o.newestMs;
    for (int i = 0; i < o.messages; ++i) {
        const std::string& address = rng.pick(peers);
        at -= static_cast<int64_t>(rng.below(3600000)) + 1000;
        int type = rng.chance(85) ? 1 + static_cast<int>(rng.below(2))
                                  : 3 + static_cast<int>(rng.below(4));
        std::size_t size = rng.chance(5) ? 2048 + rng.below(6144) : 1;
        int64_t thread = store.threadFor(address);
        if (!store.insert(Kind::Messages,
                          {std::to_string(thread), address, "", fixture::paragraph(rng, size),
                           std::to_string(at), std::to_string(type), rng.chance(80) ? "1" : "0"}))
            return false;
    }
    at = o.newestMs;
    for (int i = 0; i < o.calls; ++i) {
        int type = i < 6 ? i + 1 : 1 + static_cast<int>(rng.below(6)); // every type appears
        at -= static_cast<int64_t>(rng.below(7200000)) + 1000;
        bool talked = type == 1 || type == 2 || type == 4;
        std::string duration = std::to_string(talked ? rng.below(3600) : 0);
        if (!store.insert(Kind::Calls, {"", rng.pick(peers), std::to_string(at),
                                        std::to_string(type), duration}))
            return false;
    }
    for (int i = 0; i < o.events; ++i) {
        bool allDay = rng.chance(15);
        int64_t start = o.newestMs - static_cast<int64_t>(rng.below(400)) * 86400000 +
                        (allDay ? 0 : static_cast<int64_t>(rng.below(96)) * 900000);
        int64_t end =
            start + (allDay ? 86400000 : (1 + static_cast<int64_t>(rng.below(8))) * 900000);
        bool alarm = rng.chance(60);
        static const char* const minutes[] = {"0", "5", "10", "15", "30", "60", "1440"};
        if (!store.insert(Kind::Events,
                          {"1", fixture::eventTitle(rng), std::to_string(start),
                           std::to_string(end), rng.chance(60) ? fixture::place(rng) : "",
                           allDay ? "UTC" : fixture::timeZone(rng),
                           rng.chance(40) ? fixture::paragraph(rng, 40) : "", alarm ? "1" : "0",
                           alarm ? minutes[rng.below(7)] : "",
                           rng.chance(35) ? fixture::recurrenceRule(rng) : ""}))
            return false;
    }
    return tx.commit();
}

// Writes size bytes: the format's magic first, then bytes from the seed.
bool writeFile(const std::string& path, const std::string& magic, int64_t size, uint64_t seed,
               int64_t mtimeMs) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    Rng rng(seed);
    std::string chunk;
    int64_t written = 0;
    bool ok = true;
    while (ok && written < size) {
        chunk.clear();
        if (written == 0)
            chunk = magic.substr(0, static_cast<std::size_t>(size));
        while (chunk.size() < 1 << 20 && written + static_cast<int64_t>(chunk.size()) < size) {
            uint64_t v = rng.next();
            for (int i = 0; i < 8 && written + static_cast<int64_t>(chunk.size()) < size; ++i)
                chunk.push_back(static_cast<char>(v >> (8 * i)));
        }
        ok = ::write(fd, chunk.data(), chunk.size()) == static_cast<ssize_t>(chunk.size());
        written += static_cast<int64_t>(chunk.size());
    }
    struct timespec times[2] = {{mtimeMs / 1000, 0}, {mtimeMs / 1000, 0}};
    ::futimens(fd, times);
    return ::close(fd) == 0 && ok;
}

std::string stamp(int64_t ms) {
    std::time_t t = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d_%H%M%S", &tm);
    return buf;
}

bool fillMedia(const std::string& dir, const FixtureOptions& o, Rng& rng) {
    std::string sd = sdcardDir(dir) + "/";
    uint64_t base = rng.next();
    int64_t at = o.newestMs;
    for (int i = 0; i < o.photos; ++i) {
        at -= static_cast<int64_t>(rng.below(86400000)) + 1000;
        // Every fifth photo has a name with blanks and non-ASCII letters.
        std::string path = i % 5 == 4
                               ? "Pictures/Ferien Ägypten " + std::to_string(i) + ".jpg"
                               : "DCIM/Camera/IMG_" + stamp(at) + "_" + std::to_string(i) + ".jpg";
        if (!writeFile(sd + path, "\xFF\xD8\xFF\xE0", o.photoSize, base + 1000003 * i, at))
            return false;
    }
    static const char* const artists[] = {"Die Ärzte", "Nina Simone", "坂本龍一", "Rammstein"};
    for (int i = 0; i < o.music; ++i) {
        std::string path = std::string("Music/") + artists[i % 4] + "/Album " +
                           std::to_string(i % 3 + 1) + "/" + std::to_string(i + 1) + " Track.mp3";
        if (!writeFile(sd + path, "ID3\x03", o.musicSize, base + 2000003 * i, at - i * 60000))
            return false;
    }
    for (int i = 0; i < o.videos; ++i) {
        at -= static_cast<int64_t>(rng.below(86400000)) + 1000;
        std::string path = i % 2
                               ? "Movies/Clip " + std::to_string(i) + ".mp4"
                               : "DCIM/Camera/VID_" + stamp(at) + "_" + std::to_string(i) + ".mp4";
        if (!writeFile(sd + path,
                       std::string("\0\0\0\x18"
                                   "ftypmp42",
                                   12),
                       o.videoSize, base + 3000017 * i, at))
            return false;
    }
    return true;
}

bool fillApps(const std::string& dir, const FixtureOptions& o, Rng& rng) {
    static const char* const names[] = {"notes", "weather", "chess", "podcasts", "maps"};
    static const char* const labels[] = {"Notizen", "Wetter ☀", "Chess", "Podcasts", "地図"};
    for (int i = 0; i < o.apps; ++i) {
        ApkInfo info;
        info.package =
            std::string("org.example.") + names[i % 5] + (i >= 5 ? std::to_string(i) : "");
        info.label = labels[i % 5];
        info.versionCode = 1 + static_cast<int64_t>(rng.below(500));
        info.versionName = "1." + std::to_string(info.versionCode % 10) + "." + std::to_string(i);
        info.className = info.package + ".MainActivity";
        info.permissions = "android.permission.INTERNET";
        std::string folder = appsDir(dir) + "/" + info.package + "-1";
        std::error_code ec;
        fs::create_directories(folder, ec);
        std::string bytes = makeApk(info, static_cast<std::size_t>(o.apkSize), rng.next());
        int fd =
            ::open((folder + "/base.apk").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        if (::close(fd) != 0 || !ok)
            return false;
    }
    return true;
}

} // namespace

bool fillPhone(const std::string& dir, const FixtureOptions& o, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    for (int n : {o.contacts, o.messages, o.calls, o.events, o.photos, o.videos, o.music, o.apps})
        if (n < 0 || n > kMaxRecords)
            return fail("a count is outside 0 to 100000");
    std::error_code ec;
    fs::create_directories(sdcardDir(dir), ec);
    if (ec)
        return fail("cannot create " + sdcardDir(dir) + ": " + ec.message());
    Store store(dir);
    if (!store.ok())
        return fail("cannot open the store in " + dir);
    Rng rng(o.seed);
    if (!fillPersonal(store, o, rng))
        return fail("cannot write the records");
    if (!fillMedia(dir, o, rng))
        return fail(std::string("cannot write the media files: ") + std::strerror(errno));
    if (!fillApps(dir, o, rng))
        return fail(std::string("cannot write the apps: ") + std::strerror(errno));
    MediaIndex index(store, dir);
    for (MediaKind k : {MediaKind::Photo, MediaKind::Music, MediaKind::Video})
        if (!index.rescan(k))
            return fail("cannot index the media");
    return true;
}

} // namespace lab
