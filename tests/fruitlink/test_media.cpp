// Media lists and file reads against the virtual iPhone.
#include "afc_access.h"
#include "file_relay.h"
#include "lab_fixture.h"
#include "mobile_device_access.h"

#include <algorithm>
#include <fruitlink.h>
#include <functional>

using fltest::eventually;

namespace {

class Media : public fltest::IphoneLabTest {
  protected:
    std::vector<viphone::ContentFile> fill(viphone::PhoneConfig& cfg, uint32_t seed,
                                           uint64_t large = 0) {
        viphone::ContentOptions opt;
        opt.seed = seed;
        opt.largeFileBytes = large;
        std::vector<viphone::ContentFile> files;
        std::string error;
        EXPECT_TRUE(viphone::writeMediaTree(cfg.root, opt, &files, &error)) << error;
        return files;
    }

    // Reads a whole file through the exported calls; false if any byte
    // differs from the generated pattern. *last = the final Read result.
    bool readAndCheck(const std::string& path, int index, uint32_t seed, uint64_t size, int* last,
                      uint64_t* got) {
        if (IphoneTSF_Open(path.c_str(), index) != 1000)
            return false;
        std::vector<char> buf(10240), want(10240);
        *got = 0;
        bool same = true;
        int n;
        while ((n = IphoneTSF_Read(1000, buf.data(), static_cast<int>(buf.size()), index)) > 0) {
            viphone::fillPattern(seed, *got, want.data(), static_cast<size_t>(n));
            same = same && std::equal(buf.begin(), buf.begin() + n, want.begin());
            *got += static_cast<uint64_t>(n);
        }
        *last = n;
        EXPECT_EQ(IphoneTSF_Close(1000, index), 0);
        return same && *got == size;
    }
};

std::vector<std::string> paths(MediaFileNode* n) {
    std::vector<std::string> out;
    for (; n; n = n->next)
        out.push_back(n->path);
    return out;
}

// The lists hold files in the reverse of scan order: folders in the order
// /DCIM, /Recordings, /iTunes_Control, each sorted by path.
std::vector<std::string> expected(const std::vector<viphone::ContentFile>& files,
                                  viphone::ContentFile::Kind kind) {
    std::vector<std::string> out;
    for (const char* top : {"/DCIM/", "/Recordings/", "/iTunes_Control/"}) {
        std::vector<std::string> part;
        for (const auto& f : files)
            if (f.kind == kind && f.afcPath.rfind(top, 0) == 0)
                part.push_back(f.afcPath);
        std::sort(part.begin(), part.end());
        out.insert(out.end(), part.begin(), part.end());
    }
    std::reverse(out.begin(), out.end());
    return out;
}

TEST_F(Media, ScanOrderClassificationAndTotals) {
    auto cfg = phoneConfig(1);
    auto files = fill(cfg, 1);
    addAndWait(cfg);
    ASSERT_EQ(IphoneTSF_FlushMedia(0), 0);

    MediaFileNode *photos = nullptr, *music = nullptr, *videos = nullptr;
    int np = IphoneTSF_GetDICMImage(&photos), nm = IphoneTSF_GetMusics(&music),
        nv = IphoneTSF_GetVideos(&videos);
    EXPECT_EQ(paths(photos), expected(files, viphone::ContentFile::Photo));
    EXPECT_EQ(paths(music), expected(files, viphone::ContentFile::Music));
    EXPECT_EQ(paths(videos), expected(files, viphone::ContentFile::Video));
    EXPECT_EQ(np, static_cast<int>(paths(photos).size()));
    EXPECT_EQ(nm, static_cast<int>(paths(music).size()));
    EXPECT_EQ(nv, static_cast<int>(paths(videos).size()));

    int64_t photoBytes = 0;
    for (const auto& f : files)
        if (f.kind == viphone::ContentFile::Photo)
            photoBytes += static_cast<int64_t>(f.size);
    EXPECT_EQ(IphoneTSF_GetDICMImage_TotalSize64(), photoBytes);
    EXPECT_EQ(IphoneTSF_GetDICMImage_TotalSize(), static_cast<int>(photoBytes));
    for (MediaFileNode* n = photos; n; n = n->next)
        EXPECT_GT(n->size, 0) << n->path;

    // The formats an iPhone stores besides JPEG are listed too.
    auto has = [](MediaFileNode* list, const std::string& path) {
        for (; list; list = list->next)
            if (path == list->path)
                return true;
        return false;
    };
    for (const char* p : {"/DCIM/100APPLE/IMG_0006.HEIC", "/DCIM/100APPLE/IMG_0007.heif",
                          "/DCIM/100APPLE/IMG_0008.DNG", "/DCIM/100APPLE/IMG_0009.JPEG",
                          "/DCIM/100APPLE/IMG_0010.GIF"})
        EXPECT_TRUE(has(photos, p)) << p;
    EXPECT_TRUE(has(videos, "/DCIM/100APPLE/IMG_0005.m4v"));
    EXPECT_FALSE(has(photos, "/DCIM/100APPLE/IMG_0011.AAE"));

    // No device: -1, and the lists of the last scan are gone; the getters say
    // "could not be listed", not "none".
    EXPECT_EQ(IphoneTSF_FlushMedia(3), -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_NO_DEVICE);
    EXPECT_EQ(IphoneTSF_GetDICMImage(&photos), -1);
    EXPECT_EQ(photos, nullptr);
    EXPECT_EQ(IphoneTSF_GetMusics(&music), -1);
    EXPECT_EQ(IphoneTSF_GetVideos_TotalSize(), 0);
}

TEST_F(Media, ScanFailuresAreReportedNotOfferedAsNoMedia) {
    auto cfg = phoneConfig(1);
    fill(cfg, 4);
    addAndWait(cfg);
    MediaFileNode* photos = reinterpret_cast<MediaFileNode*>(0x1);
    struct Case {
        const char* what;
        std::function<void()> fault;
        int category;
    } cases[] = {
        {"locked phone", [&] { lab_->setServiceRefusal(0, "PasswordProtected"); },
         IPHONE_ERROR_PASSCODE_LOCKED},
        {"service refused", [&] { lab_->setServiceRefusal(0, "InvalidService"); },
         IPHONE_ERROR_SERVICE_REFUSED},
    };
    for (auto& c : cases) {
        c.fault();
        EXPECT_EQ(IphoneTSF_FlushMedia(0), -1) << c.what;
        EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), c.category) << c.what << ": " << lastError();
        EXPECT_EQ(IphoneTSF_GetDICMImage(&photos), -1) << c.what;
        EXPECT_EQ(photos, nullptr);
        EXPECT_EQ(IphoneTSF_Open("/DCIM/100APPLE/IMG_0001.JPG", 0), -1) << c.what;
        EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), c.category) << c.what << ": " << lastError();
        lab_->setServiceRefusal(0, std::nullopt);
    }
    // The phone comes back: the lists are whole again.
    ASSERT_EQ(IphoneTSF_FlushMedia(0), 0) << lastError();
    EXPECT_GT(IphoneTSF_GetDICMImage(&photos), 0);

    // A folder the phone will not list fails the scan: part of the photos
    // is not offered as all of them.
    auto denied = phoneConfig(2);
    fill(denied, 5);
    denied.afcDeniedFolders = {"/DCIM/101APPLE"};
    addAndWait(denied);
    EXPECT_EQ(IphoneTSF_FlushMedia(1), -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_SERVICE_REFUSED) << lastError();
    EXPECT_NE(lastError().find("/DCIM"), std::string::npos) << lastError();
    EXPECT_EQ(IphoneTSF_GetDICMImage(&photos), -1);

    // A phone without Voice Memos or music simply has none of them.
    auto bare = phoneConfig(3);
    fltest::writeFile(bare.root + "/DCIM/100APPLE/IMG_0001.HEIC", "heic");
    addAndWait(bare);
    ASSERT_EQ(IphoneTSF_FlushMedia(2), 0) << lastError();
    EXPECT_EQ(IphoneTSF_GetDICMImage(&photos), 1);
    MediaFileNode* music = nullptr;
    EXPECT_EQ(IphoneTSF_GetMusics(&music), 0);
    EXPECT_EQ(music, nullptr);
}

TEST_F(Media, LargeFileArrivesByteForByte) {
    auto cfg = phoneConfig(1);
    fill(cfg, 7, 50ull << 20);
    addAndWait(cfg);
    int last = 99;
    uint64_t got = 0;
    EXPECT_TRUE(
        readAndCheck("/DCIM/102APPLE/IMG_0200.MOV", 0, 7 * 1000 + 999, 50ull << 20, &last, &got));
    EXPECT_EQ(got, 50ull << 20);
    EXPECT_EQ(last, 0);

    // The empty file reads as a whole file of no bytes.
    EXPECT_TRUE(readAndCheck("/iTunes_Control/Music/F01/empty.mp3", 0, 0, 0, &last, &got));
    EXPECT_EQ(last, 0);
    // No file open: Read, Close and Write say so.
    char b[4];
    EXPECT_EQ(IphoneTSF_Read(1000, b, 4, 0), -1);
    EXPECT_EQ(IphoneTSF_Close(1000, 0), -1);
    EXPECT_EQ(IphoneTSF_Write(), -1);
    EXPECT_EQ(IphoneTSF_Open("/DCIM/nope.jpg", 0), -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_NOT_FOUND);
    EXPECT_EQ(IphoneTSF_Open("/DCIM/100APPLE/IMG_0001.JPG", 5), -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_NO_DEVICE);
}

TEST_F(Media, UnplugMidReadIsAnErrorNotAnEnd) {
    auto cfg = phoneConfig(1);
    fill(cfg, 3, 8ull << 20);
    addAndWait(cfg);
    ASSERT_EQ(IphoneTSF_Open("/DCIM/102APPLE/IMG_0200.MOV", 0), 1000);
    lab_->unplugAfterBytes(0, 3ull << 20);
    std::vector<char> buf(10240);
    uint64_t got = 0;
    int n;
    while ((n = IphoneTSF_Read(1000, buf.data(), static_cast<int>(buf.size()), 0)) > 0)
        got += static_cast<uint64_t>(n);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_NO_DEVICE) << lastError();
    EXPECT_LT(got, 8ull << 20);
    EXPECT_EQ(IphoneTSF_Read(1000, buf.data(), 10, 0), -1); // stays failed
    EXPECT_EQ(IphoneTSF_Close(1000, 0), 0);
    EXPECT_TRUE(eventually([] { return IphoneTSF_ConnectDeviceCount() == 0; }));
}

TEST_F(Media, TwoIphonesAtOnceKeepTheirOwnFiles) {
    auto a = phoneConfig(1);
    auto b = phoneConfig(2);
    fill(a, 11);
    fill(b, 22);
    addAndWait(a);
    addAndWait(b);
    const std::string path = "/DCIM/100APPLE/IMG_0001.JPG";
    int last = 0;
    uint64_t got = 0;
    // The first planned file of each tree has seed*1000+1.
    EXPECT_TRUE(readAndCheck(path, 0, 11001, 48213, &last, &got));
    EXPECT_TRUE(readAndCheck(path, 1, 22001, 48213, &last, &got));
    EXPECT_FALSE(readAndCheck(path, 1, 11001, 48213, &last, &got));
    ASSERT_EQ(IphoneTSF_FlushMedia(1), 0);
    MediaFileNode* music = nullptr;
    EXPECT_EQ(IphoneTSF_GetMusics(&music), 4);
}

// Edge cases of the AFC and relay layer that the exported calls do not show.
TEST_F(Media, AfcLayerEdges) {
    auto cfg = phoneConfig(1);
    fltest::writeFile(cfg.root + "/DCIM/a.jpg", "abc");
    std::filesystem::create_directories(cfg.root + "/Empty");
    cfg.relay = viphone::RelayMode::Ios7;
    fltest::writeFile(cfg.root + "/var/mobile/Library/SMS/sms.db", "db");
    addAndWait(cfg);
    auto devs = fruitlink::MobileDeviceAccess::singleton().devices();
    ASSERT_EQ(devs.size(), 1u);
    auto afc = devs[0]->newAFCMediaDirectory();
    ASSERT_TRUE(afc);
    EXPECT_EQ(afc->recursiveDirectoryContents("/DCIM/a.jpg"),
              std::vector<std::string>{"/DCIM/a.jpg"});
    EXPECT_EQ(afc->recursiveDirectoryContents("/Empty"), std::vector<std::string>{"/Empty/"});
    EXPECT_FALSE(afc->recursiveDirectoryContents("/Nope"));
    auto f = afc->openForRead("/DCIM/a.jpg");
    ASSERT_TRUE(f);
    char buf[16];
    EXPECT_EQ(f->readN(buf, sizeof buf), 3);
    EXPECT_EQ(f->readN(buf, sizeof buf), 0);
    EXPECT_EQ(f->lasterror(), "");
    EXPECT_TRUE(f->writeN(buf, 0));
    EXPECT_FALSE(afc->openForWrite("/DCIM/new.jpg")); // read-only phone
    EXPECT_EQ(afc->deviceInfo()->at("Model"), "iPhone12,1");

    auto relay = devs[0]->newAMFileRelay();
    ASSERT_TRUE(relay);
    std::string out = dir_ + "/relay.gz";
    EXPECT_EQ(relay->getUserDatabases(out), 1000000);
    EXPECT_EQ(relay->getUserDatabases(out), -1);
    EXPECT_EQ(relay->lasterror(), "AlreadyUsed");
}

} // namespace
