// Photos, music, videos and apps between virtual phones and the computer.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "android_lab.h"
#include "greenlink.h"

namespace {

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (char& c : out)
        c = static_cast<char>(gen());
    return out;
}

void makeDirs(const std::string& path) {
    std::string at;
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0755);
}

std::string baseName(const char* path) {
    std::string p = path;
    return p.substr(p.rfind('/') + 1);
}

// Names in a phone folder without the agent's hidden partial files.
std::vector<std::string> visibleFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& n : listFolder(folder))
        if (n.rfind(".partial-", 0) != 0)
            names.push_back(n);
    return names;
}

} // namespace

TEST(LabMedia, PhotosGoPhoneToPhoneAndClashingNamesAreAllKept) {
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(2));
    std::string src = lab.sdcard(lab.phoneAt(0)), dst = lab.sdcard(lab.phoneAt(1));

    // Twelve photos of one name in twelve folders, and one already on the
    // destination under that name.
    std::set<std::string> expected;
    for (int i = 0; i < 12; ++i) {
        std::string folder = src + "/DCIM/Album" + std::to_string(i);
        makeDirs(folder);
        std::string bytes = randomBytes(20000 + static_cast<size_t>(i) * 1000, i + 1);
        writeFile(folder + "/IMG_0001.jpg", bytes);
        expected.insert(bytes);
    }
    makeDirs(dst + "/Images");
    std::string existing = randomBytes(1234, 99);
    writeFile(dst + "/Images/IMG_0001.jpg", existing);

    AndroidTSF_FlushDevicesPhotos(0);
    int count = AndroidTSF_GetPhotoCount(0);
    ASSERT_EQ(count, 12);
    std::string scratch = lab.scratch("photo") + "/123";
    for (int i = 0; i < count; ++i) {
        ItemPhotoInfo info{};
        ASSERT_EQ(AndroidTSF_GetPhotoInfo(&info, i, 0), 0);
        EXPECT_GT(info.size, 0);
        ASSERT_EQ(AndroidTSF_ExportPhotofromDevice(info.id, scratch.data(), info.size, 0), 0);
        EXPECT_EQ(static_cast<long long>(readFile(scratch).size()), info.size);
        std::string name = baseName(info.path);
        EXPECT_EQ(AndroidTSF_addPhoto(scratch.data(), name.data(), 1), 0);
        std::remove(scratch.c_str());
    }
    std::vector<std::string> names = visibleFiles(dst + "/Images");
    ASSERT_EQ(names.size(), 13u);
    EXPECT_EQ(readFile(dst + "/Images/IMG_0001.jpg"), existing); // never overwritten
    std::set<std::string> arrived;
    for (const std::string& n : names)
        if (n != "IMG_0001.jpg")
            arrived.insert(readFile(dst + "/Images/" + n));
    EXPECT_EQ(arrived, expected);
    EXPECT_TRUE(fileExists(dst + "/Images/IMG_0001(12).jpg"));

    // The destination's media library knows them.
    AndroidTSF_FlushDevicesPhotos(1);
    EXPECT_EQ(AndroidTSF_GetPhotoCount(1), 13);

    // The streamed export gives the same bytes.
    ItemPhotoInfo info{};
    ASSERT_EQ(AndroidTSF_GetPhotoInfo(&info, 3, 0), 0);
    ASSERT_EQ(AndroidTSF_ExportPhotofromDevice2(info.id, scratch.data(), info.size, 0), 0);
    EXPECT_EQ(AndroidTSF_GetPhotoProgress(), 100);
    EXPECT_TRUE(expected.count(readFile(scratch)));
    char* thumb = nullptr;
    EXPECT_GT(AndroidTSF_GetPhotoThumb(&thumb, info.id, 0), 4);
    EXPECT_NE(thumb, nullptr);
}

TEST(LabMedia, HostileFileNamesArriveAsOneFileEach) {
    AndroidLab lab(1);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(1));
    std::string dst = lab.sdcard(lab.phoneAt(0));
    std::string local = lab.scratch("hostile") + "/source file ' \" $(x).bin";
    std::string bytes = randomBytes(70000, 7);
    writeFile(local, bytes);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a b $(touch pwned) `id` 'q' \"d\".jpg", "a b $(touch pwned) `id` 'q' \"d\".jpg"},
        {"semi;colon.jpg", "semi_colon.jpg"},
        {"new\nline.jpg", "new\nline.jpg"},
        {"ünïcødé 写真.jpg", "ünïcødé 写真.jpg"},
        {"../../escape.jpg", ".._.._escape.jpg"},
        {"-rf.jpg", "-rf.jpg"},
    };
    for (const auto& [name, onPhone] : cases) {
        std::string n = name;
        EXPECT_EQ(AndroidTSF_addPhoto(local.data(), n.data(), 0), 0) << name;
        EXPECT_EQ(readFile(dst + "/Images/" + onPhone), bytes) << onPhone;
    }
    EXPECT_EQ(visibleFiles(dst + "/Images").size(), cases.size());
    EXPECT_FALSE(fileExists(dst + "/escape.jpg"));
    EXPECT_FALSE(fileExists("pwned"));

    // A missing local file is an error, not an empty photo.
    char missing[] = "/nonexistent/file.jpg";
    char name[] = "x.jpg";
    EXPECT_EQ(AndroidTSF_addPhoto(missing, name, 0), -1);
    EXPECT_FALSE(fileExists(dst + "/Images/x.jpg"));
}

TEST(LabMedia, VideosAndMusicPhoneToPhoneAndStreamedFromTheComputer) {
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(2));
    std::string src = lab.sdcard(lab.phoneAt(0)), dst = lab.sdcard(lab.phoneAt(1));
    makeDirs(src + "/Movies");
    makeDirs(src + "/Music/Band");
    std::string video = randomBytes(3 * 1024 * 1024 + 17, 3);
    std::string song = randomBytes(400000, 4);
    writeFile(src + "/Movies/clip.mp4", video);
    writeFile(src + "/Music/Band/song.mp3", song);

    AndroidTSF_FlushDevicesVideo(0);
    ASSERT_EQ(AndroidTSF_GetVideoCount(0), 1);
    ItemVideoInfo v{};
    ASSERT_EQ(AndroidTSF_GetVideoInfo(&v, 0, 0), 0);
    EXPECT_EQ(v.size, static_cast<long long>(video.size()));
    ASSERT_EQ(AndroidTSF_TransferVideofromDevice(v.id, v.displayName, v.size, 0, 1), 0);
    EXPECT_EQ(AndroidTSF_GetVideoProgressSize(), v.size);
    EXPECT_EQ(readFile(dst + "/Videos/clip.mp4"), video);
    // The same name again is kept beside the first.
    ASSERT_EQ(AndroidTSF_TransferVideofromDevice(v.id, v.displayName, v.size, 0, 1), 0);
    EXPECT_EQ(readFile(dst + "/Videos/clip(1).mp4"), video);

    // A file whose last chunk is only a few bytes long arrives whole too.
    std::string tail = randomBytes((4 << 20) + 3, 6);
    writeFile(src + "/Movies/tail.mp4", tail);
    AndroidTSF_FlushDevicesVideo(0);
    ASSERT_EQ(AndroidTSF_GetVideoCount(0), 2);
    for (int i = 0; i < 2; ++i) {
        ItemVideoInfo t{};
        ASSERT_EQ(AndroidTSF_GetVideoInfo(&t, i, 0), 0);
        if (std::string(t.displayName) != "tail.mp4")
            continue;
        std::string exported = lab.scratch("tail") + "/tail.mp4";
        ASSERT_EQ(AndroidTSF_ExportVideofromDevice2(t.id, exported.data(), t.size, 0), 0);
        EXPECT_EQ(readFile(exported), tail);
        ASSERT_EQ(AndroidTSF_TransferVideofromDevice(t.id, t.displayName, t.size, 0, 1), 0);
        EXPECT_EQ(readFile(dst + "/Videos/tail.mp4"), tail);
    }

    AndroidTSF_FlushDevicesMusic(0);
    ASSERT_EQ(AndroidTSF_GetMusicCount(0), 1);
    ItemMusicInfo m{};
    ASSERT_EQ(AndroidTSF_GetMusicInfo(&m, 0, 0), 0);
    std::string scratch = lab.scratch("music") + "/123";
    ASSERT_EQ(AndroidTSF_ExportMusicfromDevice(m.id, scratch.data(), m.size, 0), 0);
    std::string name = baseName(m.path);
    ASSERT_EQ(AndroidTSF_AddMusicToDevice(scratch.data(), name.data(), 1), 0);
    EXPECT_EQ(readFile(dst + "/Music/song.mp3"), song);
    ASSERT_EQ(AndroidTSF_TransferMusicfromDevice(m.id, name.data(), m.size, 0, 1), 0);
    EXPECT_EQ(readFile(dst + "/Music/song(1).mp3"), song);

    // Streamed from the computer in buffer-sized pieces (the iPhone path).
    char photoName[] = "streamed.jpg";
    std::string photo = randomBytes(50000, 5);
    ASSERT_EQ(AndroidTSF_PhotoOpen(photoName, 1), 0);
    for (size_t at = 0; at < photo.size(); at += 10240) {
        std::string piece = photo.substr(at, 10240);
        EXPECT_GT(AndroidTSF_PhotoWrite(piece.data(), static_cast<int>(piece.size()), 1), 0);
    }
    EXPECT_EQ(AndroidTSF_PhotoClose(0, photoName, 1), 0);
    EXPECT_EQ(readFile(dst + "/Images/streamed.jpg"), photo);

    // A cancelled one leaves nothing behind.
    char cancelled[] = "cancelled.mp4";
    ASSERT_EQ(AndroidTSF_VideoOpen(cancelled, 1), 0);
    EXPECT_GT(AndroidTSF_VideoWrite(photo.data(), 10240, 1), 0);
    EXPECT_EQ(AndroidTSF_VideoClose(1, cancelled, 1), 0);
    EXPECT_EQ(visibleFiles(dst + "/Videos"),
              (std::vector<std::string>{"clip(1).mp4", "clip.mp4", "tail.mp4"}));
    EXPECT_EQ(listFolder(dst + "/Videos").size(), 3u) << "a partial file was left";

    // Streamed add from a computer file, then the same name once more.
    std::string local = lab.scratch("streamed") + "/tune.mp3";
    writeFile(local, song);
    char tune[] = "tune.mp3";
    EXPECT_EQ(AndroidTSF_AddMusicToDevice2(local.data(), tune, 1), 0);
    EXPECT_EQ(AndroidTSF_AddMusicToDevice2(local.data(), tune, 1), 0);
    EXPECT_EQ(readFile(dst + "/Music/tune.mp3"), song);
    EXPECT_EQ(readFile(dst + "/Music/tune(1).mp3"), song);
}

TEST(LabMedia, AppsAreExportedInstalledAndRemoved) {
    // Phones of Android 6 and later refuse installs onto the card (mode 3).
    AndroidLab lab(2, {"--scenario", "modern"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(2));
    // The transfer job's scratch file has no ".apk" ending, which adb insists on.
    std::string apk = lab.scratch("apps") + "/123";
    ASSERT_TRUE(lab.lab({"fill", "--phone", std::to_string(lab.phoneAt(0)), "--records", "0",
                         "--photos", "0", "--videos", "0", "--music", "0", "--apps", "2"}));
    AndroidTSF_FlushDevicesApp(0);
    int count = AndroidTSF_GetAppCount(0);
    ASSERT_GE(count, 1);
    for (int i = 0; i < count; ++i) {
        ItemAppInfo info{};
        ASSERT_EQ(AndroidTSF_GetAppInfo(&info, i, 0), 0);
        ASSERT_GT(std::strlen(info.packageName), 0u);
        ASSERT_EQ(AndroidTSF_ExportApp(info.packageName, apk.data(), 0), 0) << info.packageName;
        // Mode 3 (install on the card) is refused by current phones; the app
        // still arrives through a plain install.
        EXPECT_EQ(AndroidTSF_InstallAppToMemory(apk.data(), 3, 1), 0);
        std::remove(apk.c_str());
        std::string out;
        lab.adb({"-s", lab.serialAt(1), "shell", "pm", "path", info.packageName}, &out);
        EXPECT_NE(out.find("package:"), std::string::npos) << out;
        EXPECT_EQ(AndroidTSF_UnInstallApp(info.packageName, 2, 1), 0);
    }
    char none[] = "org.example.none";
    EXPECT_EQ(AndroidTSF_ExportApp(none, apk.data(), 0), -1);
    EXPECT_FALSE(fileExists(apk + ".splits"));
    EXPECT_FALSE(fileExists(apk));
    EXPECT_EQ(AndroidTSF_InstallAppToMemory(apk.data(), 0, 1), -1);
    EXPECT_EQ(AndroidTSF_InstallAppToMemory(apk.data(), 6, 1), -1);
    EXPECT_EQ(AndroidTSF_UnInstallApp(none, 3, 1), -1);
}

// An app shipped as split packages (a base and per-device configuration
// splits, as Play installs them) arrives whole: every package is pulled and
// they are installed together.
TEST(LabMedia, ASplitAppArrivesWithEveryPackage) {
    AndroidLab lab(2, {"--scenario", "modern"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_TRUE(lab.prepare(2));
    const int source = lab.phoneAt(0), destination = lab.phoneAt(1);
    ASSERT_TRUE(lab.lab({"fill", "--phone", std::to_string(source), "--records", "0", "--photos",
                         "0", "--videos", "0", "--music", "0", "--apps", "1"}));
    std::string package;
    for (const std::string& folder : listFolder(lab.phoneDir(source) + "/data/app"))
        if (folder.size() > 2 && folder.compare(folder.size() - 2, 2, "-1") == 0 &&
            folder.rfind("com.quellfin.kestrova", 0) != 0)
            package = folder.substr(0, folder.size() - 2);
    ASSERT_FALSE(package.empty());
    const std::string appDir = lab.phoneDir(source) + "/data/app/" + package + "-1";
    const std::string abi(70000, 'a'), density(50000, 'd');
    writeFile(appDir + "/split_config.arm64_v8a.apk", abi);
    writeFile(appDir + "/split_config.xxhdpi.apk", density);

    std::string apk = lab.scratch("split") + "/app.apk";
    ASSERT_EQ(AndroidTSF_ExportApp(package.data(), apk.data(), 0), 0);
    EXPECT_EQ(listFolder(apk + ".splits"),
              (std::vector<std::string>{"split_config.arm64_v8a.apk", "split_config.xxhdpi.apk"}));
    ASSERT_EQ(AndroidTSF_InstallAppToMemory(apk.data(), 3, 1), 0);
    const std::string installed = lab.phoneDir(destination) + "/data/app/" + package + "-1";
    EXPECT_EQ(readFile(installed + "/base.apk"), readFile(appDir + "/base.apk"));
    EXPECT_EQ(readFile(installed + "/split_config.arm64_v8a.apk"), abi);
    EXPECT_EQ(readFile(installed + "/split_config.xxhdpi.apk"), density);
    std::string out;
    lab.adb({"-s", lab.serialAt(1), "shell", "pm", "path", package}, &out);
    EXPECT_NE(out.find("split_config.xxhdpi.apk"), std::string::npos) << out;
}
