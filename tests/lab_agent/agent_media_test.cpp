// The agent's media and app commands: the streamed file sequence, name
// clashes, exports by id and offset, existence checks and the app list.
#include "agent_client.h"

#include "apps.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using labtest::AgentConnection;
using labtest::hex;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string pattern(std::size_t size, int salt) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 31 + static_cast<std::size_t>(salt)) % 251);
    return s;
}

// Streams bytes in as the library does: open, writes, close, then add or abort.
void upload(AgentConnection& c, const std::string& name, const std::string& bytes, bool abort) {
    ASSERT_EQ(c.intReply("open_photofile:" + hex(name) + ";"), 0);
    for (std::size_t at = 0; at < bytes.size(); at += 102400) {
        std::string chunk = bytes.substr(at, 102400);
        ASSERT_EQ(c.intReply("write_photofile:" + std::to_string(chunk.size()) + ";", chunk),
                  static_cast<int32_t>(chunk.size()));
    }
    ASSERT_EQ(c.intReply("close_photofile;"), 0);
    std::string verb = abort ? "addphototodevice_abort:" : "addphototodevice:";
    ASSERT_EQ(c.intReply(verb + hex(name) + ";"), 1);
}

std::vector<std::string> visibleAndHidden(const std::string& dir) {
    std::vector<std::string> names;
    if (fs::exists(dir))
        for (auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(LabAgentMedia, StreamedPhotoLandsWholeAndExportsByIdAndOffset) {
    auto config = labtest::phoneConfig("stream");
    AgentConnection c(config);
    std::string bytes = pattern(250000, 1);
    upload(c, "IMG 0001 ü.jpg", bytes, false);
    std::string images = config.dir + "/sdcard/Images";
    EXPECT_EQ(readFile(images + "/IMG 0001 ü.jpg"), bytes);
    EXPECT_EQ(visibleAndHidden(images), std::vector<std::string>{"IMG 0001 ü.jpg"});

    ASSERT_EQ(c.intReply("getdcimcount;"), 1);
    auto info = AgentConnection::records(c.reply("getdcimindexinfo:0;"));
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0]["TILTE"], "IMG 0001 ü");
    EXPECT_EQ(info[0]["PATH"], "/storage/emulated/0/Images/IMG 0001 ü.jpg");
    EXPECT_EQ(info[0]["SIZE"], "250000");
    std::string id = info[0]["ID"];
    EXPECT_EQ(c.reply("getfilepathForid:" + id + ";"), info[0]["PATH"]);
    EXPECT_EQ(c.reply("getExternalStoragePath;"), "/storage/emulated/0");

    // Read back in 10,240-byte chunks; the last one is short, past the end is empty.
    std::string back;
    for (long long off = 0;; off += 10240) {
        std::string chunk = c.reply("getdcimdata:" + id + ":" + std::to_string(off) + ":10240;");
        if (chunk.empty())
            break;
        back += chunk;
    }
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(c.reply("getdcimdata:99999:0:10;"), "");
    EXPECT_GT(c.reply("getdcimthumb:" + id + ";").size(), 4u);
    EXPECT_EQ(c.reply("getdcimindexinfo:1;"), "");
}

TEST(LabAgentMedia, AbortAndBrokenConnectionsLeaveNoFile) {
    auto config = labtest::phoneConfig("abort");
    std::string images = config.dir + "/sdcard/Images";
    {
        AgentConnection c(config);
        upload(c, "cancelled.jpg", pattern(5000, 2), true);
        EXPECT_TRUE(visibleAndHidden(images).empty());
        EXPECT_EQ(c.intReply("getdcimcount;"), 0);
        // Cut off in the middle of a file: the connection ends, the bytes go.
        ASSERT_EQ(c.intReply("open_photofile:" + hex("half.jpg") + ";"), 0);
        ASSERT_EQ(c.intReply("write_photofile:3;", "abc"), 3);
        c.send("write_photofile:100;", "only part");
    }
    EXPECT_TRUE(visibleAndHidden(images).empty());
    AgentConnection c(config);
    EXPECT_EQ(c.intReply("write_photofile:2;", "xy"), -1); // nothing open
    EXPECT_EQ(c.intReply("close_photofile;"), -1);
    EXPECT_EQ(c.intReply("addphototodevice_abort:" + hex("x.jpg") + ";"), 0);
    EXPECT_EQ(c.intReply("open_photofile:" + hex("../escape.jpg") + ";"), -1);
    EXPECT_EQ(c.intReply("open_photofile:" + hex("") + ";"), -1);
    EXPECT_FALSE(fs::exists(config.dir + "/sdcard/escape.jpg"));
}

TEST(LabAgentMedia, NameClashesNeverOverwrite) {
    auto config = labtest::phoneConfig("clash");
    std::string images = config.dir + "/sdcard/Images";
    writeFile(images + "/IMG.jpg", "original");
    writeFile(images + "/IMG(1).jpg", "first copy");
    writeFile(images + "/README", "no extension");
    AgentConnection c(config);
    EXPECT_EQ(c.intReply("checkFileisExist:IMG.jpg;"), 1);
    EXPECT_EQ(c.intReply("checkFileisExist:IMG(2).jpg;"), 0);
    EXPECT_EQ(c.intReply("checkFileisExist:../store.db;"), -1);
    EXPECT_EQ(c.intReply("checkMusicFileisExist:IMG.jpg;"), 0);
    upload(c, "IMG.jpg", "new bytes", false);
    upload(c, "README", "other", false);
    EXPECT_EQ(readFile(images + "/IMG.jpg"), "original");
    EXPECT_EQ(readFile(images + "/IMG(1).jpg"), "first copy");
    EXPECT_EQ(readFile(images + "/IMG(2).jpg"), "new bytes");
    EXPECT_EQ(readFile(images + "/README"), "no extension");
    EXPECT_EQ(readFile(images + "/README(1)"), "other");
}

TEST(LabAgentMedia, PushedFilesJoinTheIndexAndDeletesRemoveThem) {
    auto config = labtest::phoneConfig("index");
    writeFile(config.dir + "/sdcard/DCIM/Camera/a.jpg", "A");
    writeFile(config.dir + "/sdcard/Music/Artist/Album/song.mp3", pattern(3200, 3));
    writeFile(config.dir + "/sdcard/Movies/clip.mp4", "V");
    writeFile(config.dir + "/sdcard/notes.txt", "not media");
    AgentConnection c(config);
    EXPECT_EQ(c.intReply("getdcimcount;"), 1);
    EXPECT_EQ(c.intReply("getmusiccount;"), 1);
    EXPECT_EQ(c.intReply("getvideocount;"), 1);
    auto song = AgentConnection::records(c.reply("getmusicindexinfo:0;"));
    ASSERT_EQ(song.size(), 1u);
    EXPECT_EQ(song[0]["ARTIST"], "Artist");
    EXPECT_EQ(song[0]["ALBUM"], "Album");
    EXPECT_EQ(song[0]["TILTE"], "song");
    EXPECT_EQ(c.reply("exportfilefromdevice_music:" + song[0]["ID"] + ":3000:500;"),
              pattern(3200, 3).substr(3000));
    EXPECT_GT(c.reply("getmusicthumb:" + song[0]["ID"] + ":" + song[0]["ALBUMID"] + ";").size(),
              4u);

    // adb push, then the add command enters it; ids of earlier files stay.
    std::string photoId = AgentConnection::records(c.reply("getdcimindexinfo:0;"))[0]["ID"];
    writeFile(config.dir + "/sdcard/Images/pushed.jpg", "P");
    EXPECT_EQ(c.intReply("addphototodevice:" + hex("pushed.jpg") + ";"), 1);
    EXPECT_EQ(c.intReply("addphototodevice:" + hex("missing.jpg") + ";"), -1);
    EXPECT_EQ(c.intReply("flushphotolist;"), 2);
    EXPECT_EQ(AgentConnection::records(c.reply("getdcimindexinfo:0;"))[0]["ID"], photoId);

    EXPECT_EQ(c.intReply("deletephoto:" + photoId + ";"), 1);
    EXPECT_EQ(c.intReply("deletephoto:" + photoId + ";"), 0);
    EXPECT_FALSE(fs::exists(config.dir + "/sdcard/DCIM/Camera/a.jpg"));
    EXPECT_EQ(c.intReply("ClearVideos;"), 1);
    EXPECT_EQ(c.intReply("getvideocount;"), 0);
    EXPECT_TRUE(fs::exists(config.dir + "/sdcard/notes.txt"));
}

TEST(LabAgentMedia, AppsListedFromTheirPackageFiles) {
    auto config = labtest::phoneConfig("apps");
    lab::ApkInfo info{"org.example.chess",           "Chess ♞", "2.1", "org.example.chess.Main",
                      "android.permission.INTERNET", 21};
    std::string apk = config.dir + "/chess.apk";
    writeFile(apk, lab::makeApk(info, 4096, 9));
    ASSERT_EQ(lab::installApp(config.dir, apk, false), "org.example.chess");
    EXPECT_FALSE(lab::installApp(config.dir, apk, false).has_value()); // needs replace
    EXPECT_EQ(lab::installApp(config.dir, apk, true), "org.example.chess");
    writeFile(config.dir + "/not-an-apk", "hello");
    EXPECT_FALSE(lab::installApp(config.dir, config.dir + "/not-an-apk", false).has_value());
    // The agent's own package is installed too, but never listed.
    lab::ApkInfo self{"com.quellfin.kestrova", "Kestrova", "1", "", "", 1};
    writeFile(config.dir + "/self.apk", lab::makeApk(self, 100, 1));
    ASSERT_TRUE(lab::installApp(config.dir, config.dir + "/self.apk", false));
    EXPECT_EQ(lab::appPhonePath(config.dir, "org.example.chess"),
              "/data/app/org.example.chess-1/base.apk");

    AgentConnection c(config);
    EXPECT_EQ(c.intReply("getappcount;"), 1);
    auto app = AgentConnection::records(c.reply("getappindexinfo:0;"));
    ASSERT_EQ(app.size(), 1u);
    EXPECT_EQ(app[0]["PKG"], "org.example.chess");
    EXPECT_EQ(app[0]["APPNAME"], "Chess ♞");
    EXPECT_EQ(app[0]["VERSIONCODE"], "21");
    EXPECT_EQ(app[0]["TOTALSIZE"], "4096");
    EXPECT_EQ(c.reply("getappindexinfo:1;"), "");
    EXPECT_TRUE(lab::uninstallApp(config.dir, "org.example.chess"));
    EXPECT_EQ(c.intReply("flushapplist;"), 0);
}

} // namespace
