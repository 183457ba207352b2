// Whole generated backups through the reader: listing, scanning, media lists
// and database copies, in both manifest formats and with the usual damage.
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "backup_fixtures.h"
#include "backup_reader.h"
#include "fsutil.h"
#include "log.h"
#include "test_folder.h"

using backupfix::Format;
using jukelink::BackupReader;
using jukelink::DbKind;
using jukelink::MediaKind;
using namespace jukelink_test;

namespace {

backupfix::Result makeBackup(const std::string& parent, backupfix::Options o) {
    backupfix::Result r;
    std::string err;
    EXPECT_TRUE(backupfix::writeBackup(parent, o, &r, &err)) << err;
    return r;
}

backupfix::Options opts(Format f, int ios, uint32_t seed) {
    backupfix::Options o;
    o.format = f;
    o.iosVersion = ios;
    o.seed = seed;
    o.count = 10;
    o.mediaCount = 5;
    return o;
}

// A reader that searches only root (no standard folders of the machine).
BackupReader readerOver(const std::string& root) {
    return BackupReader([root] { return std::vector<std::string>{root}; });
}

struct LoadCall {
    std::string path;
    bool existed;
    std::string bytes;
    std::string wal;
};

// A parser stand-in that records what it was handed.
jukelink::DbLoader recorder(std::vector<LoadCall>* calls) {
    return [calls](char* path, int version) {
        EXPECT_EQ(version, 0);
        LoadCall c{path, jukelink::isRegularFile(path), "", ""};
        if (c.existed) {
            c.bytes = readFile(path);
            c.wal = jukelink::isRegularFile(c.path + "-wal") ? readFile(c.path + "-wal") : "";
        }
        calls->push_back(c);
        return c.existed ? 0 : -1;
    };
}

// The media entries of kind k the manifest lists (also those the generator
// left out of the folder), as (device path, backup name, size), in the order
// written.
std::vector<std::tuple<std::string, std::string, int64_t>> expectedMedia(const backupfix::Result& r,
                                                                         int k) {
    std::vector<std::tuple<std::string, std::string, int64_t>> out;
    for (const backupfix::MediaFile& m : r.media) {
        if (m.kind == k)
            out.emplace_back(m.devicePath, m.backupName, m.size);
    }
    return out;
}

// The reader's private folder inside temp, where it put the copy at path.
std::string privateFolderOf(const std::string& temp, const std::string& path) {
    std::string dir = path.substr(0, path.rfind('/'));
    EXPECT_EQ(dir.substr(0, dir.rfind('/')), temp) << path;
    EXPECT_EQ(dir.substr(dir.rfind('/') + 1, 9), "jukelink-") << path;
    return dir;
}

std::vector<std::tuple<std::string, std::string, int64_t>> listed(jukelink::MediaList& l) {
    std::vector<std::tuple<std::string, std::string, int64_t>> out;
    for (DicmImageList* n = l.head(); n != nullptr && n->entry != nullptr; n = n->next) {
        int64_t size;
        memcpy(&size, reinterpret_cast<const char*>(n->entry) + 362, sizeof size);
        out.emplace_back(n->entry->path, n->entry->name, size);
    }
    return out;
}

void expectMediaMatch(BackupReader& reader, const backupfix::Result& r) {
    const std::pair<MediaKind, int> kinds[] = {
        {MediaKind::Photo, 4}, {MediaKind::Video, 5}, {MediaKind::Music, 6}};
    for (auto [kind, k] : kinds) {
        auto want = expectedMedia(r, k);
        EXPECT_EQ(listed(reader.media(kind)), want) << "kind " << k;
        EXPECT_EQ(reader.media(kind).count(), static_cast<int>(want.size()));
        int64_t total = 0;
        for (auto& w : want)
            total += std::get<2>(w);
        EXPECT_EQ(reader.media(kind).totalSize(), total);
    }
}

} // namespace

class WholeBackup : public ::testing::TestWithParam<std::pair<Format, int>> {};

TEST_P(WholeBackup, ListsScansAndHandsEachDatabaseOverUnderItsOwnName) {
    auto [format, ios] = GetParam();
    TempFolder t;
    std::string root = t.sub("Backup");
    std::string temp = t.sub("temp");
    backupfix::Options o = opts(format, ios, 7);
    o.walTail = true;
    backupfix::Result r = makeBackup(root, o);

    BackupReader reader = readerOver(root);
    ASSERT_EQ(reader.list(), 1);
    BackupDeviceNode* n = reader.node(0);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(std::string(n->deviceName), r.deviceName);
    EXPECT_EQ(std::string(n->date), r.date);
    EXPECT_EQ(std::string(n->path), r.folder);
    EXPECT_STRCASEEQ(n->identifier, r.udid.c_str());
    EXPECT_EQ(n->isEncrypted, 0);
    EXPECT_EQ(n->isComplete, 1);
    EXPECT_EQ(n->manifestFormat, format == Format::Db ? 1 : 2);
    EXPECT_EQ(std::string(n->productVersion), std::to_string(ios) + ".1");
    EXPECT_EQ(reader.node(1), nullptr);
    EXPECT_EQ(reader.node(-1), nullptr);

    ASSERT_EQ(reader.setTempPath(temp.c_str()), 0);
    ASSERT_EQ(reader.scan(0), 0);
    expectMediaMatch(reader, r);

    std::vector<LoadCall> calls;
    for (DbKind k : {DbKind::Contacts, DbKind::Sms, DbKind::CallLog, DbKind::Calendar})
        EXPECT_EQ(reader.flush(k, recorder(&calls)), 0);
    ASSERT_EQ(calls.size(), 4u);
    const iosfix::DbKind fixKinds[] = {iosfix::DbKind::AddressBook, iosfix::DbKind::Sms,
                                       iosfix::DbKind::CallHistory, iosfix::DbKind::Calendar};
    for (size_t i = 0; i < 4; ++i) {
        iosfix::DbLocation loc = iosfix::dbLocation(fixKinds[i], ios);
        std::string dir = privateFolderOf(temp, calls[i].path);
        EXPECT_EQ(calls[i].path, dir + "/" + loc.fileName);
        std::string id = backupfix::fileID(loc.domain, loc.relativePath);
        std::string name = format == Format::Db ? id.substr(0, 2) + "/" + id : id;
        EXPECT_EQ(calls[i].bytes, readFile(r.folder + "/" + name)) << loc.fileName;
        std::string walId = backupfix::fileID(loc.domain, loc.relativePath + "-wal");
        std::string walName = format == Format::Db ? walId.substr(0, 2) + "/" + walId : walId;
        if (jukelink::isRegularFile(r.folder + "/" + walName)) {
            EXPECT_EQ(calls[i].wal, readFile(r.folder + "/" + walName)) << loc.fileName;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WholeBackup,
                         ::testing::Values(std::make_pair(Format::Db, 14),
                                           std::make_pair(Format::Mbdb, 9),
                                           std::make_pair(Format::Db, 17),
                                           std::make_pair(Format::Mbdb, 6)));

TEST(BackupListing, SeveralBackupsNewestFirstWithIsoDates) {
    TempFolder t;
    std::string root = t.sub("Backup");
    backupfix::Options a = opts(Format::Db, 14, 1);
    a.dateUnix = 1714557600; // 2024-05-01T10:00:00Z
    backupfix::Options b = opts(Format::Mbdb, 9, 2);
    b.dateUnix = 1420070399; // 2014-12-31T23:59:59Z
    backupfix::Options c = opts(Format::Db, 17, 3);
    c.dateUnix = 1735689600; // 2025-01-01T00:00:00Z
    c.deviceName = "Anna\xE2\x80\x99s iPhone \xF0\x9F\x8D\x8E";
    for (auto& o : {a, b, c})
        makeBackup(root, o);
    t.sub("Backup/not-a-backup");
    writeFile(root + "/stray-file", "x");

    BackupReader reader = readerOver(root);
    ASSERT_EQ(reader.list(), 3);
    EXPECT_STREQ(reader.node(0)->date, "2025-01-01T00:00:00Z");
    EXPECT_STREQ(reader.node(0)->deviceName, c.deviceName.c_str());
    EXPECT_STREQ(reader.node(1)->date, "2024-05-01T10:00:00Z");
    EXPECT_STREQ(reader.node(2)->date, "2014-12-31T23:59:59Z");
    EXPECT_EQ(reader.node(2)->manifestFormat, 2);

    // A node handed out before a new listing stays readable.
    BackupDeviceNode* old = reader.node(0);
    ASSERT_EQ(reader.list(), 3);
    EXPECT_STREQ(old->date, "2025-01-01T00:00:00Z");
}

TEST(BackupListing, UserFolderMayBeABackupHoldBackupsOrBeTheMobileSyncFolder) {
    TempFolder t;
    backupfix::Result one = makeBackup(t.sub("picked/one"), opts(Format::Db, 14, 11));
    makeBackup(t.sub("picked/many"), opts(Format::Db, 14, 12));
    makeBackup(t.sub("picked/many"), opts(Format::Mbdb, 9, 13));
    makeBackup(t.sub("picked/MobileSync/Backup"), opts(Format::Db, 15, 14));
    std::string standard = t.sub("standard");
    makeBackup(standard, opts(Format::Db, 16, 15));

    BackupReader reader = readerOver(standard);
    EXPECT_EQ(reader.list(), 1);
    ASSERT_EQ(reader.setUserFolder(one.folder.c_str()), 0);
    EXPECT_EQ(reader.list(), 2);
    ASSERT_EQ(reader.setUserFolder((t.path() + "/picked/many/").c_str()), 0);
    EXPECT_EQ(reader.list(), 3);
    ASSERT_EQ(reader.setUserFolder((t.path() + "/picked/MobileSync").c_str()), 0);
    EXPECT_EQ(reader.list(), 2);
    // The standard folder chosen again is not listed twice.
    ASSERT_EQ(reader.setUserFolder(standard.c_str()), 0);
    EXPECT_EQ(reader.list(), 1);
    ASSERT_EQ(reader.setUserFolder(nullptr), 0);
    EXPECT_EQ(reader.list(), 1);
    EXPECT_EQ(reader.setUserFolder(std::string(1024, 'x').c_str()), -1);
}

TEST(BackupListing, DamagedPropertyListsStillListTheBackup) {
    TempFolder t;
    std::string root = t.sub("Backup");
    backupfix::Result r = makeBackup(root, opts(Format::Db, 14, 21));
    writeFile(r.folder + "/Info.plist", "<?xml version=\"1.0\"?><plist><dict><key>");
    writeFile(r.folder + "/Status.plist", std::string("bplist00\xFF\xFF\xFF", 11));
    BackupReader reader = readerOver(root);
    ASSERT_EQ(reader.list(), 1);
    BackupDeviceNode* n = reader.node(0);
    // The identifier and name come from Manifest.plist's Lockdown record.
    EXPECT_STREQ(n->identifier, r.udid.c_str());
    EXPECT_STREQ(n->deviceName, r.deviceName.c_str());
    EXPECT_EQ(n->isComplete, 0);
    EXPECT_STRNE(n->date, "");

    writeFile(r.folder + "/Manifest.plist", "");
    ASSERT_EQ(reader.list(), 1);
    EXPECT_STREQ(reader.node(0)->identifier, r.udid.c_str()) << "the folder's name";

    // Only the manifest of files is left: still a backup, named by its folder.
    for (const char* name : {"Info.plist", "Manifest.plist", "Status.plist"})
        std::filesystem::remove(r.folder + "/" + name);
    ASSERT_EQ(reader.list(), 1);
    EXPECT_STREQ(reader.node(0)->identifier, r.udid.c_str());
    EXPECT_STREQ(reader.node(0)->deviceName, "iPhone");
    EXPECT_EQ(std::string(reader.node(0)->date).size(), 20u);
}

TEST(BackupScan, EncryptedBackupIsListedButGivesAnErrorAndEmptyLists) {
    for (Format f : {Format::Db, Format::Mbdb}) {
        TempFolder t;
        std::string root = t.sub("Backup");
        std::string temp = t.sub("temp");
        backupfix::Options o = opts(f, f == Format::Db ? 14 : 9, 31);
        o.encrypted = true;
        makeBackup(root, o);
        BackupReader reader = readerOver(root);
        ASSERT_EQ(reader.list(), 1);
        EXPECT_EQ(reader.node(0)->isEncrypted, 1);
        reader.setTempPath(temp.c_str());
        // A stale copy from an earlier transfer must not be loaded instead.
        writeFile(temp + "/sms.db", "stale");
        EXPECT_EQ(reader.scan(0), -1);
        EXPECT_EQ(reader.media(MediaKind::Photo).count(), 0);
        EXPECT_EQ(reader.media(MediaKind::Video).head(), nullptr);
        std::vector<LoadCall> calls;
        EXPECT_EQ(reader.flush(DbKind::Sms, recorder(&calls)), -1);
        ASSERT_EQ(calls.size(), 1u) << "the parser's list is replaced by an empty one";
        EXPECT_FALSE(calls[0].existed);
    }
}

TEST(BackupScan, IncompleteBackupIsMarkedAndStillRead) {
    TempFolder t;
    std::string root = t.sub("Backup");
    backupfix::Options o = opts(Format::Db, 14, 41);
    o.incomplete = true;
    backupfix::Result r = makeBackup(root, o);
    BackupReader reader = readerOver(root);
    ASSERT_EQ(reader.list(), 1);
    EXPECT_EQ(reader.node(0)->isComplete, 0);
    reader.setTempPath(t.sub("temp").c_str());
    EXPECT_EQ(reader.scan(0), 0);
    expectMediaMatch(reader, r);
}

TEST(BackupScan, MissingFilesStayListedAndAMissingDatabaseFailsItsLoad) {
    for (Format f : {Format::Db, Format::Mbdb}) {
        TempFolder t;
        std::string root = t.sub("Backup");
        std::string temp = t.sub("temp");
        backupfix::Options o = opts(f, f == Format::Db ? 14 : 9, 51);
        o.missingFiles = true;
        backupfix::Result r = makeBackup(root, o);
        BackupReader reader = readerOver(root);
        ASSERT_EQ(reader.list(), 1);
        reader.setTempPath(temp.c_str());
        ASSERT_EQ(reader.scan(0), 0);
        expectMediaMatch(reader, r);
        EXPECT_EQ(reader.media(MediaKind::Photo).count(), 5);
        int missing = 0;
        for (const backupfix::MediaFile& m : r.media) {
            int64_t size = 0;
            int fd = reader.openFile(0, m.backupName.c_str(), &size);
            if (fd >= 0)
                close(fd);
            EXPECT_EQ(fd >= 0, m.present) << m.backupName;
            if (!m.present) {
                ++missing;
                EXPECT_EQ(jukelink::lastFailureCategory(), jukelink::Category::NotFound);
            }
        }
        EXPECT_GT(missing, 0);
        std::vector<LoadCall> calls;
        EXPECT_EQ(reader.flush(DbKind::Sms, recorder(&calls)), -1);
        EXPECT_EQ(reader.flush(DbKind::Contacts, recorder(&calls)), 0);
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_FALSE(calls[0].existed);
        EXPECT_TRUE(calls[1].existed);
        EXPECT_EQ(reader.flush(DbKind::Sms, recorder(&calls)), -1);
        EXPECT_EQ(jukelink::lastFailureCategory(), jukelink::Category::NotFound);
    }
}

TEST(BackupScan, ReadOnlyBackupIsLeftExactlyAsItWas) {
    TempFolder t;
    std::string root = t.sub("Backup");
    std::string temp = t.sub("temp");
    backupfix::Options o = opts(Format::Db, 14, 61);
    o.walTail = true;
    backupfix::Result r = makeBackup(root, o);
    // A -wal beside the manifest makes the reader work from a copy.
    writeFile(r.folder + "/Manifest.db-wal", "");
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        chmod(e.path().c_str(), e.is_directory() ? 0555 : 0444);
    chmod(root.c_str(), 0555);
    auto before = snapshot(root);

    BackupReader reader = readerOver(root);
    ASSERT_EQ(reader.list(), 1);
    reader.setTempPath(temp.c_str());
    ASSERT_EQ(reader.scan(0), 0);
    std::vector<LoadCall> calls;
    for (DbKind k : {DbKind::Contacts, DbKind::Sms, DbKind::CallLog, DbKind::Calendar})
        EXPECT_EQ(reader.flush(k, recorder(&calls)), 0);
    EXPECT_EQ(snapshot(root), before);
}

TEST(BackupScan, ADamagedManifestGivesAnErrorNotACrash) {
    for (Format f : {Format::Db, Format::Mbdb}) {
        TempFolder t;
        std::string root = t.sub("Backup");
        backupfix::Result r = makeBackup(root, opts(f, f == Format::Db ? 14 : 9, 71));
        std::string manifest = r.folder + (f == Format::Db ? "/Manifest.db" : "/Manifest.mbdb");
        writeFile(manifest, readFile(manifest).substr(0, 5));
        BackupReader reader = readerOver(root);
        ASSERT_EQ(reader.list(), 1);
        reader.setTempPath(t.sub("temp").c_str());
        EXPECT_EQ(reader.scan(0), -1);
        EXPECT_EQ(reader.media(MediaKind::Music).count(), 0);
    }
}

TEST(BackupScan, IndexOutsideTheListAndFlushWithoutScan) {
    TempFolder t;
    BackupReader reader = readerOver(t.sub("Backup"));
    EXPECT_EQ(reader.list(), 0);
    EXPECT_EQ(reader.scan(0), -1);
    EXPECT_EQ(reader.scan(-1), -1);
    std::vector<LoadCall> calls;
    reader.setTempPath(t.sub("temp").c_str());
    EXPECT_EQ(reader.flush(DbKind::Calendar, recorder(&calls)), -1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].existed);
}

TEST(BackupScan, VideoTotalsAbove2GiBStayExact) {
    TempFolder t;
    std::string root = t.sub("Backup");
    backupfix::Options o = opts(Format::Db, 14, 81);
    o.hugeVideoBytes = 3LL << 30;
    backupfix::Result r = makeBackup(root, o);
    BackupReader reader = readerOver(root);
    ASSERT_EQ(reader.list(), 1);
    reader.setTempPath(t.sub("temp").c_str());
    ASSERT_EQ(reader.scan(0), 0);
    expectMediaMatch(reader, r);
    EXPECT_GT(reader.media(MediaKind::Video).totalSize(), 3LL << 30);
    EXPECT_EQ(reader.media(MediaKind::Video).totalSize32(), INT32_MAX);
}
