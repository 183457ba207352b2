// Backups shaped by someone who wants the reader to crash, hang, or hand out
// files from outside the backup: deep property lists, links, FIFOs, devices
// and folders planted where files belong, damaged manifests, unfinished
// backups; and what the reader leaves in its temp folder.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "backup_fixtures.h"
#include "backup_reader.h"
#include "jukelink.h"
#include "log.h"
#include "test_folder.h"

using jukelink::BackupReader;
using jukelink::Category;
using jukelink::DbKind;
using jukelink::MediaKind;
using namespace jukelink_test;
namespace fs = std::filesystem;

namespace {

struct Planted {
    TempFolder t;
    std::string root;
    backupfix::Result r;
    BackupReader reader;

    explicit Planted(backupfix::Format f = backupfix::Format::Db)
        : root(t.sub("Backup")), reader([this] { return std::vector<std::string>{root}; }) {
        backupfix::Options o;
        o.format = f;
        o.iosVersion = f == backupfix::Format::Db ? 14 : 9;
        o.seed = 91;
        o.count = 5;
        o.mediaCount = 3;
        std::string err;
        EXPECT_TRUE(backupfix::writeBackup(root, o, &r, &err)) << err;
        reader.setTempPath(t.sub("temp").c_str());
    }
    std::string path(const std::string& name) const { return r.folder + "/" + name; }
    // Replaces the backup's file name by what make() puts there.
    template <typename F> void replace(const std::string& name, F make) {
        fs::remove_all(path(name));
        make(path(name));
    }
};

std::string flatList(size_t values) {
    std::string s = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>";
    for (size_t i = 0; i < values; ++i)
        s += "<string>x</string>";
    return s + "</array></plist>";
}

std::string deepPlist(size_t levels) {
    std::string s = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (size_t i = 0; i < levels; ++i)
        s += "<array>";
    for (size_t i = 0; i < levels; ++i)
        s += "</array>";
    return s + "</plist>";
}

void symlinkOrFail(const std::string& target, const std::string& at) {
    ASSERT_EQ(symlink(target.c_str(), at.c_str()), 0) << at;
}

// Opens name of backup 0 on another thread, so a FIFO that blocked the open
// fails the test instead of hanging it (the FIFO is then opened for writing
// to let the open finish).
int openWithin(BackupReader& reader, const std::string& name, const std::string& fifoToRelease,
               Category* category) {
    auto pending = std::async(std::launch::async, [&] {
        int64_t size = 0;
        int fd = reader.openFile(0, name.c_str(), &size);
        return std::make_pair(fd, jukelink::lastFailureCategory());
    });
    if (pending.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "opening " << name << " blocked";
        int w = open(fifoToRelease.c_str(), O_WRONLY | O_NONBLOCK);
        if (w >= 0)
            close(w);
    }
    auto [fd, cat] = pending.get();
    *category = cat;
    return fd;
}

} // namespace

TEST(HostileBackup, PropertyListsNestedTooDeeplyAreRefusedAndTheBackupIsListedAsUnreadable) {
    for (const char* name : {"Info.plist", "Manifest.plist", "Status.plist"}) {
        Planted p;
        // 200,000 nested arrays: freeing the parsed tree used to overflow the stack.
        jukelink_test::writeFile(p.path(name), deepPlist(200'000));
        ASSERT_EQ(p.reader.list(), 1) << name;
        BackupDeviceNode* n = p.reader.node(0);
        EXPECT_EQ(n->problem, static_cast<int>(Category::TooLarge)) << name;
        EXPECT_EQ(p.reader.scan(0), -1) << name;
        EXPECT_EQ(jukelink::lastFailureCategory(), Category::TooLarge) << name;
        EXPECT_EQ(p.reader.usableMedia(MediaKind::Photo), nullptr);
        EXPECT_EQ(jukelink::lastFailureCategory(), Category::TooLarge);
    }
    // Size alone is not nesting: a large but flat list is still read.
    Planted p;
    jukelink_test::writeFile(p.path("Status.plist"), flatList(100'000));
    ASSERT_EQ(p.reader.list(), 1);
    EXPECT_EQ(p.reader.node(0)->problem, 0);
}

TEST(HostileBackup, LinksAndSpecialFilesInPlaceOfMediaAreRefusedWithoutBlocking) {
    Planted p;
    std::string secret = p.t.path() + "/secret";
    jukelink_test::writeFile(secret, "the key in the home folder");
    // The last file's two-letter folder is made a link to a copy outside;
    // the other cases use files in other folders.
    std::string linkedName = p.r.media.back().backupName;
    std::string sub = linkedName.substr(0, linkedName.find('/'));
    std::vector<std::string> names;
    for (const backupfix::MediaFile& m : p.r.media) {
        if (m.backupName.substr(0, 3) != sub + "/")
            names.push_back(m.backupName);
    }
    ASSERT_GE(names.size(), 6u);
    std::string outside = p.t.sub("outside");
    fs::copy(p.path(sub), outside, fs::copy_options::recursive);
    p.replace(sub, [&](const std::string& at) { symlinkOrFail(outside, at); });
    std::string fifo;
    struct Case {
        const char* what;
        Category expected;
    };
    std::vector<Case> cases;
    p.replace(names[0], [&](const std::string& at) { symlinkOrFail(secret, at); });
    cases.push_back({"absolute link", Category::UnsafeFile});
    p.replace(names[1], [&](const std::string& at) { symlinkOrFail("../../secret", at); });
    cases.push_back({"relative link out of the folder", Category::UnsafeFile});
    p.replace(names[2], [&](const std::string& at) {
        fifo = at;
        ASSERT_EQ(mkfifo(at.c_str(), 0600), 0);
    });
    cases.push_back({"FIFO", Category::UnsafeFile});
    p.replace(names[3], [&](const std::string& at) { fs::create_directory(at); });
    cases.push_back({"folder", Category::UnsafeFile});
    // A device node needs privileges; a socket stands in for it otherwise.
    p.replace(names[4], [&](const std::string& at) {
        if (mknod(at.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
            ASSERT_EQ(mknod(at.c_str(), S_IFSOCK | 0600, 0), 0);
        }
    });
    cases.push_back({"device", Category::UnsafeFile});
    names.resize(cases.size());
    names.push_back(linkedName);
    cases.push_back({"file in a linked folder", Category::UnsafeFile});
    std::string intact;
    for (const backupfix::MediaFile& m : p.r.media) {
        if (std::find(names.begin(), names.end(), m.backupName) == names.end() &&
            m.backupName.substr(0, 3) != sub + "/")
            intact = m.backupName;
    }

    ASSERT_EQ(p.reader.list(), 1);
    ASSERT_EQ(p.reader.scan(0), 0);
    // Every planted file is still listed: the copy reports it as not copied.
    int listed = p.reader.media(MediaKind::Photo).count() +
                 p.reader.media(MediaKind::Video).count() +
                 p.reader.media(MediaKind::Music).count();
    EXPECT_EQ(listed, static_cast<int>(p.r.media.size()));
    for (size_t i = 0; i < cases.size(); ++i) {
        Category got = Category::None;
        auto started = std::chrono::steady_clock::now();
        int fd = openWithin(p.reader, names[i], fifo, &got);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
        EXPECT_EQ(fd, -1) << cases[i].what;
        if (fd >= 0)
            close(fd);
        EXPECT_EQ(got, cases[i].expected) << cases[i].what;
    }
    // A file left as it was opens, at its start, blocking, with its size.
    ASSERT_FALSE(intact.empty());
    int64_t size = -1;
    int fd = p.reader.openFile(0, intact.c_str(), &size);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(size, static_cast<int64_t>(fs::file_size(p.path(intact))));
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    close(fd);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::None);
}

// The generator's hostile shapes, which whole-copy tests start from.
TEST(HostileBackup, TheGeneratorsUnsafeFilesAndDeepPlistAreRefused) {
    TempFolder t;
    std::string root = t.sub("Backup");
    backupfix::Options o;
    o.seed = 95;
    o.count = 3;
    o.mediaCount = 2;
    o.unsafeFiles = true;
    backupfix::Result r;
    ASSERT_TRUE(backupfix::writeBackup(root, o, &r));
    BackupReader reader([root] { return std::vector<std::string>{root}; });
    ASSERT_EQ(reader.list(), 1);
    ASSERT_EQ(reader.scan(0), 0);
    int unsafe = 0;
    for (const backupfix::MediaFile& m : r.media) {
        Category got = Category::None;
        int fd = openWithin(reader, m.backupName, r.folder + "/" + m.backupName, &got);
        if (fd >= 0)
            close(fd);
        EXPECT_EQ(fd < 0, m.unsafe) << m.backupName;
        EXPECT_EQ(got, m.unsafe ? Category::UnsafeFile : Category::None) << m.backupName;
        unsafe += m.unsafe ? 1 : 0;
    }
    EXPECT_EQ(unsafe, 2);
    o.deepPlist = true;
    ASSERT_TRUE(backupfix::writeBackup(root, o, &r));
    ASSERT_EQ(reader.list(), 1);
    EXPECT_EQ(reader.node(0)->problem, static_cast<int>(Category::TooLarge));
}

TEST(HostileBackup, NamesThatLeadOutOfTheBackupAreRefusedBeforeAnythingIsOpened) {
    Planted p;
    ASSERT_EQ(p.reader.list(), 1);
    for (const char* name :
         {"../secret", "/etc/passwd", "ab/../../x", "./Info.plist", "a//b", "", "Manifest.db/"}) {
        EXPECT_EQ(p.reader.openFile(0, name, nullptr), -1) << name;
        EXPECT_EQ(jukelink::lastFailureCategory(), Category::InvalidArgument) << name;
    }
    EXPECT_EQ(p.reader.openFile(0, nullptr, nullptr), -1);
    EXPECT_EQ(p.reader.openFile(3, "Info.plist", nullptr), -1) << "no such backup";
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::InvalidArgument);
    EXPECT_EQ(p.reader.openFile(0, "00/0000000000000000000000000000000000000000", nullptr), -1);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::NotFound);
}

TEST(HostileBackup, LinkedPropertyListsManifestsAndDatabasesAreNotRead) {
    std::string foreignInfo =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Device Name</key>"
        "<string>Someone Else</string></dict></plist>";
    {
        Planted p;
        std::string elsewhere = p.t.path() + "/Info.plist";
        jukelink_test::writeFile(elsewhere, foreignInfo);
        p.replace("Info.plist", [&](const std::string& at) { symlinkOrFail(elsewhere, at); });
        p.replace("Status.plist", [&](const std::string& at) { mkfifo(at.c_str(), 0600); });
        ASSERT_EQ(p.reader.list(), 1) << "a FIFO in place of Status.plist must not block";
        EXPECT_STRNE(p.reader.node(0)->deviceName, "Someone Else");
        EXPECT_EQ(p.reader.node(0)->problem, static_cast<int>(Category::UnsafeFile));
        EXPECT_EQ(p.reader.scan(0), -1);
        EXPECT_EQ(jukelink::lastFailureCategory(), Category::UnsafeFile);
    }
    for (backupfix::Format f : {backupfix::Format::Db, backupfix::Format::Mbdb}) {
        Planted p(f);
        const char* manifest = f == backupfix::Format::Db ? "Manifest.db" : "Manifest.mbdb";
        std::string moved = p.t.path() + "/" + manifest;
        fs::rename(p.path(manifest), moved);
        symlinkOrFail(moved, p.path(manifest));
        ASSERT_EQ(p.reader.list(), 1);
        EXPECT_EQ(p.reader.scan(0), -1) << manifest;
        EXPECT_EQ(jukelink::lastFailureCategory(), Category::UnsafeFile) << manifest;
    }
    // The messages database linked to another file: not handed to the parser.
    Planted p;
    iosfix::DbLocation loc = iosfix::dbLocation(iosfix::DbKind::Sms, 14);
    std::string id = backupfix::fileID(loc.domain, loc.relativePath);
    std::string name = id.substr(0, 2) + "/" + id;
    std::string moved = p.t.path() + "/sms.db";
    fs::rename(p.path(name), moved);
    symlinkOrFail(moved, p.path(name));
    ASSERT_EQ(p.reader.list(), 1);
    ASSERT_EQ(p.reader.scan(0), 0);
    std::vector<std::string> handed;
    auto loader = [&](char* path, int) {
        handed.push_back(path);
        return access(path, F_OK) == 0 ? 0 : -1;
    };
    EXPECT_EQ(p.reader.flush(DbKind::Sms, loader), -1);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::UnsafeFile);
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_NE(access(handed[0].c_str(), F_OK), 0) << "the parser's list is emptied";
}

TEST(HostileBackup, AnUnreadableManifestDbIsAnErrorNotAnEmptyBackup) {
    const std::vector<std::pair<const char*, std::function<std::string(const std::string&)>>>
        damage = {
            {"random bytes",
             [](const std::string&) {
                 std::string s;
                 for (int i = 0; i < 8192; ++i)
                     s.push_back(static_cast<char>((i * 7919 + 13) & 0xFF));
                 return s;
             }},
            {"cut after its first page",
             [](const std::string& db) {
                 size_t page =
                     (static_cast<unsigned char>(db[16]) << 8) | static_cast<unsigned char>(db[17]);
                 return db.substr(0, page);
             }},
            {"cut inside the header", [](const std::string& db) { return db.substr(0, 60); }},
            {"no Files table",
             [](const std::string& db) {
                 std::string s = db;
                 for (size_t at = s.find("Files"); at != std::string::npos;
                      at = s.find("Files", at + 1))
                     s.replace(at, 5, "Filez");
                 return s;
             }},
        };
    for (const auto& [what, make] : damage) {
        Planted p;
        std::string db = readFile(p.path("Manifest.db"));
        jukelink_test::writeFile(p.path("Manifest.db"), make(db));
        ASSERT_EQ(p.reader.list(), 1);
        EXPECT_EQ(p.reader.scan(0), -1) << what;
        EXPECT_EQ(jukelink::lastFailureCategory(), Category::Corrupt) << what;
        for (MediaKind k : {MediaKind::Photo, MediaKind::Video, MediaKind::Music}) {
            EXPECT_EQ(p.reader.usableMedia(k), nullptr) << what;
            EXPECT_EQ(jukelink::lastFailureCategory(), Category::Corrupt) << what;
        }
    }
}

TEST(HostileBackup, AnOversizedManifestIsRefusedBeforeItIsRead) {
    Planted p(backupfix::Format::Mbdb);
    // Sparse: the size is refused from the file's state, nothing is read.
    ASSERT_EQ(truncate(p.path("Manifest.mbdb").c_str(), off_t(300) << 20), 0);
    ASSERT_EQ(p.reader.list(), 1);
    EXPECT_EQ(p.reader.scan(0), -1);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::TooLarge);
    EXPECT_EQ(p.reader.usableMedia(MediaKind::Music), nullptr);
}

TEST(HostileBackup, UnfinishedBackupsAreReportedAsSuch) {
    Planted p;
    ASSERT_EQ(p.reader.list(), 1);
    EXPECT_EQ(p.reader.isComplete(0), 1);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::None);
    jukelink_test::writeFile(p.path("Status.plist"),
                             "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                             "<key>SnapshotState</key><string>uploading</string></dict></plist>");
    ASSERT_EQ(p.reader.list(), 1);
    EXPECT_EQ(p.reader.isComplete(0), 0);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::Incomplete);
    EXPECT_EQ(p.reader.isComplete(1), -1);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::InvalidArgument);
}

TEST(HostileBackup, CopiesArePrivateAndCleanTempRemovesThem) {
    Planted p;
    std::string temp = p.t.path() + "/temp";
    chmod(temp.c_str(), 0777); // a careless caller's folder
    mode_t old = umask(0);
    ASSERT_EQ(p.reader.list(), 1);
    ASSERT_EQ(p.reader.scan(0), 0);
    std::vector<std::string> handed;
    auto loader = [&](char* path, int) {
        handed.push_back(path);
        return 0;
    };
    for (DbKind k : {DbKind::Contacts, DbKind::Sms, DbKind::CallLog, DbKind::Calendar})
        EXPECT_EQ(p.reader.flush(k, loader), 0);
    umask(old);
    ASSERT_EQ(handed.size(), 4u);
    std::string dir = handed[0].substr(0, handed[0].rfind('/'));
    struct stat st;
    ASSERT_EQ(lstat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    for (const auto& e : fs::directory_iterator(dir)) {
        ASSERT_EQ(lstat(e.path().c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << e.path();
        EXPECT_EQ(st.st_mode & 07777, 0600u) << e.path();
    }
    EXPECT_EQ(p.reader.cleanTemp(), 0);
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_TRUE(fs::is_empty(temp)) << "nothing of the reader's is left";
    // The next load makes a new private folder.
    EXPECT_EQ(p.reader.flush(DbKind::Sms, loader), 0);
    EXPECT_TRUE(fs::exists(handed.back()));
    EXPECT_EQ(p.reader.cleanTemp(), 0);
    EXPECT_EQ(p.reader.cleanTemp(), 0) << "twice is harmless";
}

// The exported calls end to end: -1 from a media list of a backup whose
// manifest cannot be read, with the category and the text beside it.
TEST(HostileBackup, ExportedListsAndErrorsOfAnUnreadableBackup) {
    TempFolder t;
    setenv("HOME", t.path().c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    std::string root = t.sub("Library/Application Support/MobileSync/Backup");
    backupfix::Options o;
    o.seed = 93;
    o.count = 3;
    o.mediaCount = 2;
    backupfix::Result r;
    ASSERT_TRUE(backupfix::writeBackup(root, o, &r));
    jukelink_test::writeFile(r.folder + "/Manifest.db", "SQLite format 3");
    ASSERT_EQ(iTunesTSF_SetOtherBackupPath(nullptr), 0);
    ASSERT_EQ(iTunesTSF_BackupCount(), 1);
    std::vector<char> temp(t.path().begin(), t.path().end());
    temp.push_back('\0');
    ASSERT_EQ(iTunesTSF_SetTempPath(temp.data()), 0);
    EXPECT_EQ(iTunesTSF_ScanBackupDeviceByIndex(0), -1);
    DicmImageList* head = reinterpret_cast<DicmImageList*>(1);
    EXPECT_EQ(iTunesTSF_GetDICMImage(&head), -1);
    EXPECT_EQ(head, nullptr);
    EXPECT_EQ(iTunesTSF_GetLastErrorCategory(), ITUNESTSF_ERR_CORRUPT);
    EXPECT_EQ(iTunesTSF_GetVideos(nullptr), -1);
    EXPECT_EQ(iTunesTSF_GetMusics(nullptr), -1);
    char text[16];
    int length = iTunesTSF_GetLastError(text, sizeof text);
    EXPECT_GT(length, 15);
    EXPECT_EQ(strlen(text), 15u) << "cut to the buffer";
    EXPECT_EQ(iTunesTSF_IsBackupComplete(0), 1);
    EXPECT_EQ(iTunesTSF_GetLastErrorCategory(), ITUNESTSF_ERR_NONE);
    EXPECT_EQ(iTunesTSF_GetLastError(text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    int64_t size = 0;
    int fd = iTunesTSF_OpenBackupFile(0, r.media[0].backupName.c_str(), &size);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(size, r.media[0].size);
    close(fd);
    EXPECT_EQ(iTunesTSF_OpenBackupFile(0, "../Info.plist", &size), -1);
    EXPECT_EQ(iTunesTSF_GetLastErrorCategory(), ITUNESTSF_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(iTunesTSF_CleanTemp(), 0);
}
