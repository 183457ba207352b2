// Fixtures are deterministic for a seed, and the dump is canonical: the same
// data gives the same text whatever the ids and the order of arrival.
#include "agent_client.h"

#include "dump.h"
#include "fixtures.h"
#include "json.h"
#include "store.h"

#include <set>

namespace {

lab::FixtureOptions small(uint64_t seed) {
    lab::FixtureOptions o;
    o.seed = seed;
    o.contacts = o.messages = o.calls = o.events = 40;
    o.photos = 6;
    o.music = 4;
    o.videos = 3;
    o.apps = 3;
    o.photoSize = 3000;
    o.videoSize = 5000;
    o.musicSize = 4000;
    return o;
}

TEST(LabAgentFixtures, SameSeedSameDumpOtherSeedOtherDump) {
    std::string a = labtest::freshDir("fill-a"), b = labtest::freshDir("fill-b"),
                c = labtest::freshDir("fill-c");
    std::string error;
    ASSERT_TRUE(lab::fillPhone(a, small(5), &error)) << error;
    ASSERT_TRUE(lab::fillPhone(b, small(5), &error)) << error;
    ASSERT_TRUE(lab::fillPhone(c, small(6), &error)) << error;
    std::string dumpA = lab::dumpPhone(a);
    EXPECT_EQ(dumpA, lab::dumpPhone(b));
    EXPECT_NE(dumpA, lab::dumpPhone(c));
    EXPECT_EQ(dumpA, lab::dumpPhone(a)); // dumping changes nothing
}

TEST(LabAgentFixtures, ContentIsVariedAndComplete) {
    std::string dir = labtest::freshDir("fill-content");
    lab::FixtureOptions o = small(11);
    o.messages = 200;
    ASSERT_TRUE(lab::fillPhone(dir, o));
    lab::Store store(dir);
    EXPECT_EQ(store.count(lab::Kind::Contacts), 40);
    EXPECT_EQ(store.count(lab::Kind::Messages), 200);
    std::set<std::string> callTypes, boxes;
    for (const auto& row : store.all(lab::Kind::Calls))
        callTypes.insert(row.values[3]);
    EXPECT_EQ(callTypes, (std::set<std::string>{"1", "2", "3", "4", "5", "6"}));
    std::size_t longest = 0, threads = 0;
    std::set<std::string> threadIds;
    for (const auto& row : store.all(lab::Kind::Messages)) {
        longest = std::max(longest, row.values[3].size());
        threadIds.insert(row.values[0]);
        boxes.insert(row.values[5]);
    }
    threads = threadIds.size();
    EXPECT_GE(longest, 2048u);
    EXPECT_GT(threads, 1u);
    EXPECT_LT(threads, 200u); // conversations hold several messages
    EXPECT_GE(boxes.size(), 3u);
    bool nonLatin = false;
    for (const auto& row : store.all(lab::Kind::Contacts))
        for (unsigned char ch : row.values[0])
            nonLatin = nonLatin || ch >= 0xD0;
    EXPECT_TRUE(nonLatin);
    bool zoned = false, recurring = false;
    for (const auto& row : store.all(lab::Kind::Events)) {
        zoned = zoned || row.values[5].find('/') != std::string::npos;
        recurring = recurring || !row.values[9].empty();
    }
    EXPECT_TRUE(zoned && recurring);

    // Every media file and app has its own bytes.
    std::string dump = lab::dumpPhone(dir);
    std::set<std::string> hashes;
    std::size_t files = 0;
    for (std::size_t at = dump.find("\"sha256\": \""); at != std::string::npos;
         at = dump.find("\"sha256\": \"", at + 1), ++files)
        hashes.insert(dump.substr(at + 11, 64));
    EXPECT_EQ(files, 6u + 4u + 3u + 3u);
    EXPECT_EQ(hashes.size(), files);
    EXPECT_EQ(std::filesystem::file_size(dir + "/sdcard/Movies/Clip 1.mp4"), 5000u);
}

TEST(LabAgentFixtures, RejectsCountsOutOfRange) {
    lab::FixtureOptions o;
    o.contacts = 100001;
    std::string error;
    EXPECT_FALSE(lab::fillPhone(labtest::freshDir("fill-range"), o, &error));
    EXPECT_FALSE(error.empty());
}

TEST(LabAgentDump, IgnoresIdsAndOrderOfArrival) {
    std::string a = labtest::freshDir("dump-a"), b = labtest::freshDir("dump-b");
    {
        lab::Store s(a);
        s.insert(lab::Kind::Calls, {"", "111", "1", "1", "0"});
        s.insert(lab::Kind::Calls, {"", "222", "2", "2", "9"});
        s.insert(lab::Kind::Messages, {"7", "111", "", "hi \"there\"\n", "5", "1", "1"});
    }
    {
        lab::Store s(b);
        s.insert(lab::Kind::Calls, {"", "999", "9", "9", "9"});
        s.clear(lab::Kind::Calls); // ids move on
        s.insert(lab::Kind::Calls, {"", "222", "2", "2", "9"});
        s.insert(lab::Kind::Calls, {"", "111", "1", "1", "0"});
        s.insert(lab::Kind::Messages, {"3", "111", "", "hi \"there\"\n", "5", "1", "1"});
    }
    EXPECT_EQ(lab::dumpPhone(a), lab::dumpPhone(b));
    EXPECT_NE(lab::dumpPhone(a).find(R"("body": "hi \"there\"\n")"), std::string::npos);
}

TEST(LabAgentDump, JsonStringsAreValidForAnyBytes) {
    using lab::json::quote;
    EXPECT_EQ(quote("a\"b\\c\n\t\x01"), "\"a\\\"b\\\\c\\n\\t\\u0001\"");
    EXPECT_EQ(quote("Grüße 👋"), "\"Grüße 👋\"");
    EXPECT_EQ(quote("\xFF\xC3"), "\"\\u00FF\\u00C3\"");            // not UTF-8
    EXPECT_EQ(quote("\xED\xA0\x80"), "\"\\u00ED\\u00A0\\u0080\""); // a surrogate
}

} // namespace
