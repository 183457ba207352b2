// Pure parts of the iPhone library: reply framing, the archive rules, media
// classification, the list and the exported calls without any phone.
#include "am_service.h"
#include "archive_unpack.h"
#include "lab_fixture.h"
#include "media_lists.h"
#include "trace.h"

#include <cstring>
#include <filesystem>
#include <fruitlink.h>
#include <sys/stat.h>

namespace {

// A canned byte stream served in pieces of at most `piece` bytes.
struct Canned {
    std::string bytes;
    size_t pos = 0, piece = 3;
    int64_t operator()(char* buf, uint32_t n) {
        size_t k = std::min<size_t>({n, piece, bytes.size() - pos});
        std::memcpy(buf, bytes.data() + pos, k);
        pos += k;
        return static_cast<int64_t>(k);
    }
};

std::string frame(const std::string& body, uint32_t announced) {
    std::string out;
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<char>(announced >> s));
    return out + body;
}

TEST(Framing, RepliesAreReadWholeOrRefused) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "Status", plist_new_string("Acknowledged"));
    std::string encoded;
    ASSERT_TRUE(fruitlink::encodeFrame(dict, false, &encoded));
    plist_free(dict);
    std::string error;

    Canned ok{encoded};
    plist_t got = fruitlink::readFrame(std::ref(ok), &error);
    ASSERT_NE(got, nullptr) << error;
    EXPECT_NE(plist_dict_get_item(got, "Status"), nullptr);
    plist_free(got);

    std::string body = encoded.substr(4);
    Canned cut{frame(body, static_cast<uint32_t>(body.size() + 10))};
    EXPECT_EQ(fruitlink::readFrame(std::ref(cut), &error), nullptr);
    EXPECT_EQ(error, "Reply was truncated, expected 10 more bytes");

    Canned none{"\x00\x00"};
    EXPECT_EQ(fruitlink::readFrame(std::ref(none), &error), nullptr);
    EXPECT_EQ(error, "Can't receive reply size");

    Canned zero{std::string(4, '\0')};
    EXPECT_EQ(fruitlink::readFrame(std::ref(zero), &error), nullptr);
    EXPECT_EQ(error, "");

    // The cap holds at its edge: exactly the limit is read, one more refused
    // before anything is allocated.
    uint32_t limit = static_cast<uint32_t>(body.size());
    Canned atLimit{frame(body, limit)};
    got = fruitlink::readFrame(std::ref(atLimit), &error, limit);
    EXPECT_NE(got, nullptr) << error;
    plist_free(got);
    Canned over{frame(body, limit + 1)};
    EXPECT_EQ(fruitlink::readFrame(std::ref(over), &error, limit), nullptr);
    EXPECT_NE(error.find("too large"), std::string::npos);
}

TEST(Framing, AReplyNestedTooDeeplyIsRefusedBeforeItIsParsed) {
    std::string body = "<plist>";
    for (int i = 0; i < 200000; ++i)
        body += "<array>";
    for (int i = 0; i < 200000; ++i)
        body += "</array>";
    body += "</plist>";
    Canned deep{frame(body, static_cast<uint32_t>(body.size())), 0, 1 << 20};
    std::string error;
    EXPECT_EQ(fruitlink::readFrame(std::ref(deep), &error, 16u << 20), nullptr);
    EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
}

TEST(ArchiveRules, EntryNamesAndLinks) {
    std::string why;
    EXPECT_EQ(fruitlink::safeEntryPath("./var/mobile//Library/./sms.db", &why),
              "var/mobile/Library/sms.db");
    for (const char* bad : {"/etc/passwd", "../x", "a/../../x", "a/..", "", ".", "./"})
        EXPECT_EQ(fruitlink::safeEntryPath(bad, &why), "") << bad;
    EXPECT_TRUE(fruitlink::linkStaysInside("a/b/link", "../c"));
    EXPECT_TRUE(fruitlink::linkStaysInside("a/link", ".."));
    EXPECT_FALSE(fruitlink::linkStaysInside("a/link", "../.."));
    EXPECT_FALSE(fruitlink::linkStaysInside("link", "/etc"));
    EXPECT_FALSE(fruitlink::linkStaysInside("a/link", "b/../../../x"));
}

TEST(ArchiveRules, CpioAndTarUnpackAndTruncationLeavesNoPartialFile) {
    std::string dir = fltest::makeTempDir("unpack");
    for (bool cpio : {true, false}) {
        std::string out = dir + (cpio ? "/cpio" : "/tar");
        std::filesystem::create_directories(out);
        std::string big(300000, 'k');
        std::string whole = fltest::makeArchive(
            {{"./var/mobile/Library/Calendar/Calendar.sqlitedb", "cal"}, {"d/big.db", big}}, cpio);
        auto r = fruitlink::unpackArchiveMemory(whole.data(), whole.size(), out);
        EXPECT_TRUE(r.complete) << r.error;
        EXPECT_EQ(r.filesWritten, 2);
        EXPECT_EQ(fltest::readFile(out + "/var/mobile/Library/Calendar/Calendar.sqlitedb"), "cal");
        EXPECT_EQ(fltest::readFile(out + "/d/big.db"), big);

        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        std::string cut = whole.substr(0, whole.size() * 2 / 3);
        r = fruitlink::unpackArchiveMemory(cut.data(), cut.size(), out);
        EXPECT_FALSE(r.complete);
        EXPECT_FALSE(r.error.empty());
        EXPECT_FALSE(std::filesystem::exists(out + "/d/big.db"));
    }
    // Limits hold.
    std::string many = fltest::makeArchive({{"a", "1"}, {"b", "2"}, {"c", "3"}}, true);
    fruitlink::UnpackLimits limits;
    limits.maxEntries = 2;
    auto r = fruitlink::unpackArchiveMemory(many.data(), many.size(), dir, limits);
    EXPECT_FALSE(r.complete);
    std::filesystem::remove_all(dir);
}

TEST(MediaLists, ClassificationAndSixtyFourBitTotals) {
    using fruitlink::MediaKind;
    EXPECT_EQ(fruitlink::classifyMediaPath("/DCIM/IMG_0001.JPG"), MediaKind::Photo);
    EXPECT_EQ(fruitlink::classifyMediaPath("/a.PnG"), MediaKind::Photo);
    EXPECT_EQ(fruitlink::classifyMediaPath("/Song.M4A"), MediaKind::Music);
    EXPECT_EQ(fruitlink::classifyMediaPath("/x.MoV"), MediaKind::Video);
    EXPECT_EQ(fruitlink::classifyMediaPath("/clip.m4v"), MediaKind::None);
    EXPECT_EQ(fruitlink::classifyMediaPath("/DCIM.jpg/README"), MediaKind::None);
    EXPECT_EQ(fruitlink::classifyMediaPath("/noext"), MediaKind::None);

    fruitlink::clearallMedia();
    const int64_t fourGiB = 4ll << 30;
    EXPECT_TRUE(fruitlink::AddtoList("/DCIM/big.mov", fourGiB + 7));
    EXPECT_TRUE(fruitlink::AddtoList("/DCIM/small.mp4", 3));
    EXPECT_EQ(IphoneTSF_GetVideos_TotalSize64(), fourGiB + 10);
    EXPECT_EQ(IphoneTSF_GetVideos_TotalSize(), 10); // the low 32 bits
    MediaFileNode* v = nullptr;
    EXPECT_EQ(IphoneTSF_GetVideos(&v), 2);
    EXPECT_STREQ(v->path, "/DCIM/small.mp4");
    EXPECT_EQ(v->next->size, fourGiB + 7);
    // A path that does not fit the node is not listed under a cut name.
    EXPECT_FALSE(fruitlink::AddtoList("/" + std::string(600, 'a') + ".jpg", 1));
    fruitlink::clearallMedia();
    EXPECT_EQ(IphoneTSF_GetVideos(&v), 0);
    EXPECT_EQ(v, nullptr);
}

TEST(ExportedCalls, SupportTableAndCallsWithoutDevices) {
    for (int c : {0, 1, 3, 4, 5, 6})
        EXPECT_EQ(IphoneTSF_CheckSupportEnabled(c), 0) << c;
    for (int c : {2, 7, 8, -1})
        EXPECT_EQ(IphoneTSF_CheckSupportEnabled(c), -1) << c;
    DeviceNode* n = reinterpret_cast<DeviceNode*>(0x1);
    EXPECT_EQ(IphoneTSF_GetDeviceInfoIndex(&n, 0), 0);
    EXPECT_EQ(n, nullptr);
    int dummy;
    EXPECT_EQ(Delete_iPhoneDevice(&dummy), 0); // never below 0
    EXPECT_EQ(IphoneTSF_ConnectDeviceCount(), 0);
    char folder[] = "/nonexistent";
    EXPECT_EQ(IphoneTSF_GetDeviceSqliteDB(folder, 0), -1);
    EXPECT_EQ(IphoneTSF_FlushSMS(), -1);

    // iPod folders share the list but carry no iPhone record.
    std::string dir = fltest::makeTempDir("ipod");
    std::filesystem::create_directories(dir + "/iPod_Control");
    Add_iPodDevice(dir.data());
    std::string notIpod = dir + "/iPod_Control";
    Add_iPodDevice(notIpod.data());
    EXPECT_EQ(IphoneTSF_ConnectDeviceCount(), 1);
    ASSERT_NE(GetiPhoneDeviceListIndex(0), nullptr);
    EXPECT_STREQ(GetiPhoneDeviceListIndex(0)->iPodPath, dir.c_str());
    EXPECT_EQ(IphoneTSF_FlushMedia(0), -1);
    Delete_iPodDevice(dir.data());
    EXPECT_EQ(GetDeviceCount(), 0);
    EXPECT_EQ(GetiConnected(), 0);
    std::filesystem::remove_all(dir);
}

TEST(Trace, LogFileIsCreatedPrivateAndNeverThroughALink) {
    std::string dir = fltest::makeTempDir("log");
    std::string victim = dir + "/victim";
    fltest::writeFile(victim, "keep me");
    std::string planted = dir + "/planted.log";
    std::filesystem::create_symlink(victim, planted);
    fruitlink::setLogPathForTesting(planted);
    fruitlink::WriteLog1(1, "hello\n");
    EXPECT_EQ(fltest::readFile(victim), "keep me");

    std::string fresh = dir + "/fresh.log";
    fruitlink::setLogPathForTesting(fresh);
    fruitlink::WriteLog1(3, "x\n");
    struct stat st;
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::filesystem::remove_all(dir);
}

} // namespace
