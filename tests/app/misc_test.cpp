// Default folder, the stored setting, and the two file utilities, each run in
// a private HOME and settings folder made for this process.
#include "misc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <langinfo.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path g_root; // private to this process, removed at exit

QSettings store() {
    return QSettings(QStringLiteral("Brisvane"), QStringLiteral("Brisvane Tarnwick"));
}

// A fresh home folder per test; the settings key starts absent.
class DefaultPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_home = g_root / "homes" / info->name();
        fs::create_directories(m_home);
        qputenv("HOME", QByteArray(m_home.c_str()));
        store().remove(QStringLiteral("userselectpath"));
    }
    QString home() const { return QString::fromStdString(m_home.string()); }
    fs::path m_home;
};

TEST_F(DefaultPathTest, WithoutStoredFolderUsesDocumentsAndCreatesTarnwick) {
    fs::create_directory(m_home / "Documents");
    const QString expected = home() + "/Documents/Tarnwick";
    EXPECT_EQ(GetDefaultPath(), expected);
    EXPECT_TRUE(fs::is_directory(m_home / "Documents" / "Tarnwick"));
    EXPECT_EQ(GetDefaultPath(), expected);
}

TEST_F(DefaultPathTest, FollowsTheDesktopsDocumentsFolderElseCreatesDocuments) {
    // A German desktop names it in user-dirs.dirs.
    const fs::path config = qgetenv("XDG_CONFIG_HOME").toStdString();
    fs::create_directories(config);
    const fs::path dirs = config / "user-dirs.dirs";
    std::ofstream(dirs) << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(GetDefaultPath(), home() + "/Dokumente/Tarnwick");
    EXPECT_TRUE(fs::is_directory(m_home / "Dokumente" / "Tarnwick"));

    fs::remove(dirs);
    EXPECT_EQ(GetDefaultPath(), home() + "/Documents/Tarnwick");
    EXPECT_TRUE(fs::is_directory(m_home / "Documents" / "Tarnwick"));
}

TEST_F(DefaultPathTest, StoredFolderComesBackUnchangedWhileItExists) {
    const QString picked = home() + QString::fromUtf8("/Sicherung \"alt\" $(x) \xc3\xa9t\xc3\xa9");
    ASSERT_TRUE(QDir().mkpath(picked));
    ASSERT_TRUE(SetUserUsedPath(picked));
    EXPECT_EQ(GetDefaultPath(), picked);
    EXPECT_FALSE(fs::exists(m_home / "Documents"));

    // Gone: the default rule applies, and the setting itself is kept.
    ASSERT_TRUE(QDir(picked).removeRecursively());
    EXPECT_EQ(GetDefaultPath(), home() + "/Documents/Tarnwick");
    EXPECT_EQ(store().value(QStringLiteral("userselectpath")).toString(), picked);
}

TEST_F(DefaultPathTest, UncreatableHomeStillYieldsThePath) {
    // A home below a plain file: nothing can be created there, not even by root.
    std::ofstream(m_home / "file").put('x');
    const QString blocked = home() + "/file/home";
    qputenv("HOME", blocked.toUtf8());
    EXPECT_EQ(GetDefaultPath(), blocked + "/Documents/Tarnwick");
}

TEST_F(DefaultPathTest, UnwritableSettingsStoreIsReportedNotFatal) {
    const QString file = store().fileName();
    const fs::path folder = fs::path(file.toStdString()).parent_path();
    fs::remove_all(folder);
    fs::create_directories(folder.parent_path());
    std::ofstream(folder).put('x'); // the store's folder is now a plain file
    ASSERT_TRUE(fs::is_regular_file(folder));
    const QString picked = home() + "/picked";
    ASSERT_TRUE(QDir().mkpath(picked));
    EXPECT_FALSE(SetUserUsedPath(picked));
    fs::create_directory(m_home / "Documents");
    // Not remembered: the default rule still applies.
    EXPECT_EQ(GetDefaultPath(), home() + "/Documents/Tarnwick");
    fs::remove(folder);
}

TEST(SetLocaleLang, RepairsANonUtf8CharacterLocale) {
    ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
    ASSERT_STRNE(nl_langinfo(CODESET), "UTF-8");
    setLocaleLang();
    EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
    setLocaleLang(); // and leaves a UTF-8 one alone
    EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
}

char* name(char* path) { return getPathFileName(path); }

TEST(GetPathFileName, LastComponentOrNull) {
    EXPECT_EQ(name(nullptr), nullptr);
    char empty[] = "";
    EXPECT_EQ(name(empty), nullptr);
    char bare[] = "IMG_0001.JPG";
    EXPECT_EQ(name(bare), nullptr);

    char unix[] = "/DCIM/100APPLE/IMG_0001.JPG";
    EXPECT_EQ(name(unix), unix + 15);
    char windows[] = "C:\\Users\\me\\Music\\song.mp3";
    EXPECT_STREQ(name(windows), "song.mp3");
    char mixed[] = "a\\b/c d";
    EXPECT_STREQ(name(mixed), "c d");
    char trailing[] = "a/";
    EXPECT_STREQ(name(trailing), "");
    // A file at the root of a phone's storage keeps its name.
    char rooted[] = "/x.jpg";
    EXPECT_STREQ(name(rooted), "x.jpg");
}

void touch(const fs::path& p, const char* text = "data") { std::ofstream(p) << text; }

// A tree with every kind of awkward entry, plus links that lead outside it.
void buildHostileTree(const fs::path& top, const fs::path& outside) {
    fs::create_directories(top / ".hidden dir" / "deeper" / "deepest");
    touch(top / ".hidden");
    touch(top / ".hidden dir" / "deeper" / "deepest" / ".x");
    for (const char* odd : {"with space", "quote\"s'", "$(touch pwned)", "new\nline",
                            "caf\xc3\xa9 \xe2\x98\x83", "bad\xff\xfe bytes", "-rf"}) {
        fs::create_directory(top / odd);
        touch(top / odd / odd);
    }
    touch(top / "readonly");
    chmod((top / "readonly").c_str(), 0444);
    mkfifo((top / "fifo").c_str(), 0600);
    fs::create_symlink(outside, top / "link to outside");
    fs::create_symlink(outside / "keep.txt", top / "link to file");
    fs::create_symlink(top / "nowhere", top / "dangling");
}

class RemoveDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = g_root / "remove" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(m_dir / "outside");
        touch(m_dir / "outside" / "keep.txt", "precious");
    }
    void expectOutsideIntact() {
        std::ifstream in(m_dir / "outside" / "keep.txt");
        std::string text;
        in >> text;
        EXPECT_EQ(text, "precious");
    }
    static QString q(const fs::path& p) { return QFile::decodeName(p.c_str()); }
    fs::path m_dir;
};

TEST_F(RemoveDirTest, RemovesHostileTreeButNeverWhatLinksPointTo) {
    const fs::path top = m_dir / "tree";
    buildHostileTree(top, m_dir / "outside");
    EXPECT_TRUE(removeDirWithContent(q(top)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(top)));
    expectOutsideIntact();
    EXPECT_FALSE(fs::exists(m_dir / "pwned"));
}

TEST_F(RemoveDirTest, RefusesMissingFolderAndLinkedFolder) {
    EXPECT_FALSE(removeDirWithContent(q(m_dir / "missing")));
    EXPECT_FALSE(removeDirWithContent(QString()));

    const fs::path link = m_dir / "link";
    fs::create_symlink(m_dir / "outside", link);
    EXPECT_FALSE(removeDirWithContent(q(link)));
    EXPECT_FALSE(removeDirWithContent(q(link) + "/"));
    EXPECT_TRUE(fs::is_symlink(link));
    expectOutsideIntact();
}

TEST_F(RemoveDirTest, TooDeepTreeFailsAfterRemovingWhatItCould) {
    fs::path p = m_dir / "deep";
    for (int i = 0; i < 210; ++i)
        p /= "d";
    fs::create_directories(p);
    touch(m_dir / "deep" / "top-file");
    EXPECT_FALSE(removeDirWithContent(q(m_dir / "deep")));
    EXPECT_TRUE(fs::exists(m_dir / "deep"));
}

TEST_F(RemoveDirTest, TwoCallersAtOnceEachRemoveTheirOwnTree) {
    auto build = [](const fs::path& top) {
        for (int i = 0; i < 40; ++i) {
            fs::create_directories(top / std::to_string(i) / "sub");
            touch(top / std::to_string(i) / "sub" / "f");
        }
    };
    build(m_dir / "a");
    build(m_dir / "b");
    bool okA = false, okB = false;
    std::thread ta([&] { okA = removeDirWithContent(q(m_dir / "a")); });
    std::thread tb([&] { okB = removeDirWithContent(q(m_dir / "b")); });
    ta.join();
    tb.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
    EXPECT_FALSE(fs::exists(m_dir / "a"));
    EXPECT_FALSE(fs::exists(m_dir / "b"));
}

} // namespace

int main(int argc, char** argv) {
    // HOME and the settings folder must be private before the first QSettings.
    std::string root = KESTROVA_TEST_BUILD_DIR "/app-misc-XXXXXX";
    fs::create_directories(KESTROVA_TEST_BUILD_DIR);
    if (!mkdtemp(root.data()))
        return 1;
    g_root = root;
    qputenv("HOME", QByteArray((g_root / "home").c_str()));
    qputenv("XDG_CONFIG_HOME", QByteArray((g_root / "config").c_str()));
    fs::create_directories(g_root / "home");
    QCoreApplication app(argc, argv);
    setLocaleLang();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    fs::remove_all(g_root, ignored);
    return result;
}
