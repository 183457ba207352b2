// Reading the file lists of backups: Manifest.db with its keyed-archive
// blobs, Manifest.mbdb, damaged manifests, and where files lie.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include "backup_fixtures.h"
#include "backup_info.h"
#include "fsutil.h"
#include "manifest.h"
#include "plist_reader.h"
#include "test_folder.h"

using backupfix::ManifestFile;
using jukelink::Manifest;
using namespace jukelink_test;

namespace {

const std::vector<ManifestFile> kFiles = {
    {"HomeDomain", "", 0, 2},
    {"HomeDomain", "Library/SMS/sms.db", 40960, 1},
    {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", 1234567, 1},
    {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.MOV", 3LL << 30, 1},
};

jukelink::EntryFilter all() {
    return [](const std::string&, const std::string&) { return true; };
}

} // namespace

TEST(FileBlob, SizeComesFromTheArchivedRootObject) {
    std::string blob = backupfix::encodeFileBlob(kFiles[3]);
    EXPECT_EQ(jukelink::sizeFromFileBlob(blob.data(), blob.size()), 3LL << 30);
    EXPECT_FALSE(jukelink::sizeFromFileBlob("garbage", 7).has_value());
    EXPECT_FALSE(jukelink::sizeFromFileBlob(blob.data(), blob.size() / 2).has_value());
    std::string notArchive = "<?xml version=\"1.0\"?><plist><dict><key>Size</key>"
                             "<integer>5</integer></dict></plist>";
    EXPECT_FALSE(jukelink::sizeFromFileBlob(notArchive.data(), notArchive.size()).has_value());
}

TEST(Manifest, DbAndMbdbGiveTheSameRegularFilesWithSizesAndIds) {
    TempFolder t;
    std::string dbDir = t.sub("db");
    std::string mbdbDir = t.sub("mbdb");
    ASSERT_TRUE(backupfix::writeManifestDb(dbDir + "/Manifest.db", kFiles));
    writeFile(mbdbDir + "/Manifest.mbdb", backupfix::encodeMbdb(kFiles));
    for (const std::string& dir : {dbDir, mbdbDir}) {
        Manifest m;
        jukelink::Error err;
        ASSERT_TRUE(jukelink::readManifest(dir, t.path(), all(), &m, &err)) << err.text;
        EXPECT_EQ(m.format, dir == dbDir ? jukelink::kFormatDb : jukelink::kFormatMbdb);
        ASSERT_EQ(m.files.size(), 3u) << "the folder is not a file";
        for (size_t i = 0; i < 3; ++i) {
            const ManifestFile& f = kFiles[i + 1];
            EXPECT_EQ(m.files[i].domain, f.domain);
            EXPECT_EQ(m.files[i].relativePath, f.relativePath);
            EXPECT_EQ(m.files[i].size, f.size);
            EXPECT_EQ(m.files[i].fileID, backupfix::fileID(f.domain, f.relativePath));
        }
    }
    // The well-known id of the messages database.
    EXPECT_EQ(jukelink::sha1Hex("HomeDomain-Library/SMS/sms.db"),
              "3d0d7e5fb2ce288813306e4d4636395e047a3d28");
}

TEST(Manifest, FilterDecidesWhatIsKept) {
    TempFolder t;
    ASSERT_TRUE(backupfix::writeManifestDb(t.path() + "/Manifest.db", kFiles));
    Manifest m;
    jukelink::Error err;
    auto onlyCameraRoll = [](const std::string& d, const std::string&) {
        return d == "CameraRollDomain";
    };
    ASSERT_TRUE(jukelink::readManifest(t.path(), "", onlyCameraRoll, &m, &err)) << err.text;
    EXPECT_EQ(m.files.size(), 2u);
}

TEST(Manifest, DamagedManifestsFailWithAReasonAndCutMbdbKeepsItsHead) {
    TempFolder t;
    Manifest m;
    jukelink::Error err;
    EXPECT_FALSE(jukelink::readManifest(t.path(), "", all(), &m, &err));
    EXPECT_NE(err.text.find("no Manifest"), std::string::npos);
    EXPECT_EQ(err.category, jukelink::Category::NotFound);

    writeFile(t.path() + "/Manifest.db", "this is not a database at all, just text");
    err = {};
    EXPECT_FALSE(jukelink::readManifest(t.path(), "", all(), &m, &err));
    EXPECT_EQ(err.category, jukelink::Category::Corrupt) << err.text;

    std::string mbdbDir = t.sub("cut");
    std::string whole = backupfix::encodeMbdb(kFiles);
    writeFile(mbdbDir + "/Manifest.mbdb", whole.substr(0, whole.size() - 10));
    ASSERT_TRUE(jukelink::readManifest(mbdbDir, "", all(), &m, &err)) << err.text;
    EXPECT_EQ(m.files.size(), 2u); // the last record was cut

    writeFile(mbdbDir + "/Manifest.mbdb", "mbdb");
    EXPECT_FALSE(jukelink::readManifest(mbdbDir, "", all(), &m, &err));
}

TEST(Manifest, DbWithWalIsReadFromACopyAndTheBackupStaysUntouched) {
    TempFolder t;
    std::string dir = t.sub("backup");
    std::string scratch = t.sub("scratch");
    ASSERT_TRUE(backupfix::writeManifestDb(dir + "/Manifest.db", kFiles));
    // An empty -wal is a valid one: SQLite would want to create -shm beside it.
    writeFile(dir + "/Manifest.db-wal", "");
    chmod(dir.c_str(), 0555);
    auto before = snapshot(dir);
    Manifest m;
    jukelink::Error err;
    EXPECT_FALSE(jukelink::readManifest(dir, "", all(), &m, &err)) << "no scratch folder";
    ASSERT_TRUE(jukelink::readManifest(dir, scratch, all(), &m, &err)) << err.text;
    EXPECT_EQ(m.files.size(), 3u);
    EXPECT_EQ(snapshot(dir), before);
    EXPECT_TRUE(snapshot(scratch).empty()) << "the copy is removed after reading";
}

TEST(Manifest, BackupFilesAreFoundInEitherLayoutAndNamesAreHexOnly) {
    TempFolder t;
    std::string id = backupfix::fileID("HomeDomain", "Library/SMS/sms.db");
    t.sub(id.substr(0, 2));
    writeFile(t.path() + "/" + id.substr(0, 2) + "/" + id, "x");
    EXPECT_EQ(jukelink::locateBackupFile(t.path(), jukelink::kFormatDb, id),
              id.substr(0, 2) + "/" + id);
    EXPECT_EQ(jukelink::locateBackupFile(t.path(), jukelink::kFormatMbdb, id),
              id.substr(0, 2) + "/" + id);
    writeFile(t.path() + "/" + id, "y");
    EXPECT_EQ(jukelink::locateBackupFile(t.path(), jukelink::kFormatMbdb, id), id);
    bool present = true;
    EXPECT_EQ(jukelink::locateBackupFile(t.path(), jukelink::kFormatDb, "ffff", &present),
              "ff/ffff")
        << "a missing file is named where it belongs";
    EXPECT_FALSE(present);
    // A manifest cannot lead outside the backup folder.
    writeFile(t.path() + "/Manifest.plist", "x");
    EXPECT_EQ(jukelink::locateBackupFile(t.sub("sub"), jukelink::kFormatMbdb, "../Manifest.plist"),
              "");
    EXPECT_EQ(jukelink::locateBackupFile(t.path(), jukelink::kFormatMbdb, "Manifest.plist"), "");
}

TEST(PropertyLists, AStringWithANulInsideIsCutThereInsteadOfAbortingTheProcess) {
    std::string xml("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                    "<key>Device Name</key><string>Anna\0\x01zz</string>"
                    "<key>IsEncrypted</key><true/></dict></plist>",
                    156);
    ASSERT_EQ(xml.back(), '>');
    jukelink::PlistPtr root = jukelink::parsePlist(xml.data(), xml.size());
    ASSERT_TRUE(root);
    EXPECT_EQ(jukelink::plistString(root.get(), "Device Name"), "Anna");
    EXPECT_EQ(jukelink::plistBool(root.get(), "IsEncrypted"), true);
    EXPECT_FALSE(jukelink::plistString(root.get(), "IsEncrypted").has_value()) << "wrong type";
    jukelink::BackupInfo info =
        jukelink::describeBackup("/b/udid", root.get(), root.get(), nullptr);
    EXPECT_EQ(info.deviceName, "Anna");
    EXPECT_EQ(info.identifier, "udid");
    EXPECT_TRUE(info.encrypted);
    EXPECT_FALSE(info.complete);
}

TEST(Manifest, AHotJournalIsRolledBackInTheCopyNotInTheBackup) {
    TempFolder t;
    std::string dir = t.sub("backup");
    std::string scratch = t.sub("scratch");
    std::string db = dir + "/Manifest.db";
    ASSERT_TRUE(backupfix::writeManifestDb(db, kFiles));
    // Leave a hot journal: a transaction that deleted every row was cut off
    // before it finished, so the rows still belong to the database.
    std::string copyDir = t.sub("crash");
    std::string crashed = copyDir + "/Manifest.db";
    writeFile(crashed, readFile(db));
    {
        sqlite3* h = nullptr;
        ASSERT_EQ(sqlite3_open(crashed.c_str(), &h), SQLITE_OK);
        sqlite3_exec(h,
                     "PRAGMA journal_mode=DELETE; PRAGMA cache_size=1; BEGIN; "
                     "DELETE FROM Files;",
                     nullptr, nullptr, nullptr);
        // The journal is complete and the main file partly rewritten; copy
        // both as a crash would leave them, then let this connection go.
        writeFile(db, readFile(crashed));
        writeFile(db + "-journal", readFile(crashed + "-journal"));
        sqlite3_exec(h, "ROLLBACK;", nullptr, nullptr, nullptr);
        sqlite3_close(h);
    }
    ASSERT_FALSE(readFile(db + "-journal").empty());
    auto before = snapshot(dir);
    Manifest m;
    jukelink::Error err;
    ASSERT_TRUE(jukelink::readManifest(dir, scratch, all(), &m, &err)) << err.text;
    EXPECT_EQ(m.files.size(), 3u);
    EXPECT_EQ(snapshot(dir), before);
}
