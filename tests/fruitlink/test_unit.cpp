// Pure parts of the iPhone library: reply framing, the archive rules, media
// classification, the list and the exported calls without any phone.
#include "am_service.h"
#include "archive_unpack.h"
#include "device_list.h"
#include "lab_fixture.h"
#include "media_lists.h"
#include "trace.h"

#include <cstring>
#include <filesystem>
#include <fruitlink.h>
#include <sys/stat.h>
#include <thread>

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
    for (const char* photo : {"/a.heic", "/a.HEIF", "/a.jpeg", "/a.Gif", "/a.DNG"})
        EXPECT_EQ(fruitlink::classifyMediaPath(photo), MediaKind::Photo) << photo;
    EXPECT_EQ(fruitlink::classifyMediaPath("/clip.M4V"), MediaKind::Video);
    EXPECT_EQ(fruitlink::classifyMediaPath("/IMG_0001.AAE"), MediaKind::None);
    EXPECT_EQ(fruitlink::classifyMediaPath("/a.heic.txt"), MediaKind::None);
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
    for (int c : {0, 1, 2, 3, 4, 5, 6})
        EXPECT_EQ(IphoneTSF_CheckSupportEnabled(c), 0) << c;
    for (int c : {7, 8, -1})
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

// Nodes are freed when their last user lets go, never while one holds them,
// however many removals pass.
TEST(DeviceNodes, HeldNodesOutliveRemovalsAndAreFreedOnRelease) {
    std::string dir = fltest::makeTempDir("nodes");
    auto ipod = [&](int i) {
        std::string p = dir + "/ipod" + std::to_string(i);
        std::filesystem::create_directories(p + "/iPod_Control");
        return p;
    };
    std::string first = ipod(0);
    Add_iPodDevice(first.data());
    DeviceNode* held = IphoneTSF_AcquireDeviceNode(0);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(IphoneTSF_AcquireDeviceNode(0), held); // acquired twice: two releases
    EXPECT_EQ(fruitlink::liveDeviceNodes(), 1);
    Delete_iPodDevice(first.data());
    for (int i = 1; i <= 200; ++i) {
        std::string p = ipod(i);
        Add_iPodDevice(p.data());
        Delete_iPodDevice(p.data());
    }
    EXPECT_EQ(GetDeviceCount(), 0);
    EXPECT_STREQ(held->iPodPath, first.c_str());
    EXPECT_EQ(fruitlink::liveDeviceNodes(), 1);
    EXPECT_EQ(IphoneTSF_ReleaseDeviceNode(held), 0);
    EXPECT_EQ(fruitlink::liveDeviceNodes(), 1);
    EXPECT_EQ(IphoneTSF_ReleaseDeviceNode(held), 0);
    EXPECT_EQ(fruitlink::liveDeviceNodes(), 0);
    DeviceNode bogus{};
    EXPECT_EQ(IphoneTSF_ReleaseDeviceNode(&bogus), -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_NOT_FOUND);

    // A node read with the plain accessor is lent to the reading thread
    // until it reads another one or ends.
    std::string second = ipod(1);
    Add_iPodDevice(second.data());
    std::thread reader([&] {
        DeviceNode* lent = GetiPhoneDeviceListIndex(0);
        ASSERT_NE(lent, nullptr);
        Delete_iPodDevice(second.data());
        EXPECT_EQ(fruitlink::liveDeviceNodes(), 1);
        EXPECT_STREQ(lent->iPodPath, second.c_str());
    });
    reader.join();
    EXPECT_EQ(fruitlink::liveDeviceNodes(), 0);
    std::filesystem::remove_all(dir);
}

TEST(ArchiveRules, UnpackedFilesArePrivateAndRemovable) {
    std::string dir = fltest::makeTempDir("private");
    using E = fltest::ArchiveEntry;
    E open{"a/b/open.db", "x"}, setuid{"top.db", "y"}, folder{"a/wide", "", E::Dir};
    open.mode = 0777;
    setuid.mode = 04755;
    folder.mode = 0777;
    std::string data = fltest::makeArchive(
        {open, setuid, folder, {"a/b/link", "", E::Symlink, "open.db"}, {"a/b/c/deep.db", "z"}},
        true);
    mode_t oldMask = ::umask(0);
    auto r = fruitlink::unpackArchiveMemory(data.data(), data.size(), dir);
    ::umask(oldMask);
    ASSERT_TRUE(r.complete) << r.error;
    for (const auto& why : r.refused)
        ADD_FAILURE() << why;

    auto modeOf = [&](const std::string& rel) {
        struct stat st {};
        ::lstat((dir + "/" + rel).c_str(), &st);
        return st.st_mode & 07777;
    };
    EXPECT_EQ(modeOf("a/b/open.db"), 0600u);
    EXPECT_EQ(modeOf("top.db"), 0600u);
    EXPECT_EQ(modeOf("a/b/c/deep.db"), 0600u);
    for (const char* d : {"a", "a/b", "a/b/c", "a/wide"})
        EXPECT_EQ(modeOf(d), 0700u) << d;
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/a/b/link"));

    // A link already in the folder is never gone through, even to a place
    // inside, and a link is not given a second name in another folder (its
    // relative target would lead elsewhere from there).
    std::filesystem::create_directories(dir + "/real");
    std::filesystem::create_directory_symlink("real", dir + "/via");
    std::string through = fltest::makeArchive(
        {{"via/x.db", "x"}, {"up", "", E::Hardlink, "a/b/link"}, {"a2", "", E::Hardlink, "top.db"}},
        false);
    r = fruitlink::unpackArchiveMemory(through.data(), through.size(), dir);
    EXPECT_EQ(r.refused.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir + "/real/x.db"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir + "/up")));
    EXPECT_EQ(fltest::readFile(dir + "/a2"), "y"); // a second name for a file is fine

    // Removal takes what the unpack wrote, never what it did not, and
    // removes a link without following it.
    r = fruitlink::unpackArchiveMemory(data.data(), data.size(), dir);
    ASSERT_TRUE(r.complete) << r.error;
    fltest::writeFile(dir + "/a/mine.txt", "mine");
    std::string error;
    EXPECT_TRUE(fruitlink::removeUnpacked(dir, r, &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(dir + "/top.db"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/a/b"));
    EXPECT_EQ(fltest::readFile(dir + "/a/mine.txt"), "mine");
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/real"));
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
