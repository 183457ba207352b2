// The Manifest.mbdb parser on generated manifests, cut and damaged ones.
#include <gtest/gtest.h>

#include "backup_fixtures.h"
#include "mbdb.h"

using backupfix::ManifestFile;
using jukelink::MbdbResult;
using jukelink::parseMbdb;

namespace {

MbdbResult parse(const std::string& bytes, size_t maxRecords = jukelink::kMaxMbdbRecords) {
    return parseMbdb(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), maxRecords);
}

const std::vector<ManifestFile> kFiles = {
    {"HomeDomain", "", 0, 2},
    {"HomeDomain", "Library/SMS/sms.db", 40960, 1},
    {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", 1234567, 1},
    {"MediaDomain", "Media/iTunes_Control/Music/F00/\xC3\xA9t\xC3\xA9.mp3", 5000000000LL, 1},
};

} // namespace

TEST(Mbdb, ReadsEveryRecordWithItsKindAndSize) {
    MbdbResult r = parse(backupfix::encodeMbdb(kFiles));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.records.size(), kFiles.size());
    for (size_t i = 0; i < kFiles.size(); ++i) {
        EXPECT_EQ(r.records[i].domain, kFiles[i].domain);
        EXPECT_EQ(r.records[i].path, kFiles[i].relativePath);
        EXPECT_EQ(r.records[i].isRegularFile(), kFiles[i].flags == 1);
        EXPECT_EQ(r.records[i].isDirectory(), kFiles[i].flags == 2);
        EXPECT_EQ(r.records[i].size, static_cast<uint64_t>(kFiles[i].size));
    }
    // A size beyond 32 bits survives.
    EXPECT_EQ(r.records[3].size, 5000000000ULL);
}

TEST(Mbdb, EveryCutKeepsTheWholeRecordsBeforeIt) {
    std::string whole = backupfix::encodeMbdb(kFiles);
    std::vector<size_t> boundaries;
    for (size_t n = 1; n <= kFiles.size(); ++n) {
        std::vector<ManifestFile> head(kFiles.begin(), kFiles.begin() + static_cast<long>(n));
        boundaries.push_back(backupfix::encodeMbdb(head).size());
    }
    for (size_t len = 6; len < whole.size(); ++len) {
        // A copy of exactly len bytes, so reading one past the end is caught
        // by the sanitizers.
        std::string cut = whole.substr(0, len);
        MbdbResult r = parse(cut);
        size_t complete = 0;
        while (complete < boundaries.size() && boundaries[complete] <= len)
            ++complete;
        EXPECT_EQ(r.records.size(), complete) << "cut at " << len;
        bool atBoundary = len == 6 || (complete > 0 && boundaries[complete - 1] == len);
        EXPECT_EQ(r.ok, atBoundary) << "cut at " << len;
        if (!r.ok) {
            EXPECT_EQ(r.errorOffset, complete == 0 ? 6 : boundaries[complete - 1]);
        }
    }
}

TEST(Mbdb, RefusesForeignAndEmptyInput) {
    EXPECT_FALSE(parse("").ok);
    EXPECT_FALSE(parse("mbdb").ok);
    EXPECT_FALSE(parse(std::string("mbdb\x04\x00", 6)).ok); // another version
    EXPECT_FALSE(parse("SQLite format 3").ok);
    EXPECT_FALSE(parseMbdb(nullptr, 100).ok);
    EXPECT_TRUE(parse(std::string("mbdb\x05\x00", 6)).ok); // no files at all
}

TEST(Mbdb, LengthsThatPointPastTheEndAreErrors) {
    std::string bytes("mbdb\x05\x00", 6);
    bytes += std::string("\x7F\xFF", 2) + "short"; // says 32767 bytes, has 5
    MbdbResult r = parse(bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.records.empty());

    // A property count of 255 with no properties behind it.
    std::string one = backupfix::encodeMbdb({{"D", "p", 1, 1}});
    one[one.size() - 1] = '\xFF';
    EXPECT_FALSE(parse(one).ok);
}

TEST(Mbdb, AbsentStringsReadAsEmpty) {
    // Every string of the generated records but domain and path is absent
    // (0xFFFF) for folders; a folder with an absent path too:
    std::string bytes("mbdb\x05\x00", 6);
    bytes += std::string("\x00\x01", 2) + "D";
    for (int i = 0; i < 4; ++i)
        bytes += std::string("\xFF\xFF", 2);
    bytes += std::string("\x40\x00", 2) + std::string(36, '\0') + std::string("\x00\x00", 2);
    MbdbResult r = parse(bytes);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].path, "");
    EXPECT_TRUE(r.records[0].isDirectory());
}

TEST(Mbdb, RecordCountIsCapped) {
    std::vector<ManifestFile> many(10, ManifestFile{"D", "x", 1, 1});
    std::string bytes = backupfix::encodeMbdb(many);
    MbdbResult atCap = parse(bytes, 10);
    EXPECT_TRUE(atCap.ok);
    MbdbResult over = parse(bytes, 9);
    EXPECT_FALSE(over.ok);
    EXPECT_EQ(over.records.size(), 9u);
}
