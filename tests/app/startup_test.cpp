// The program's start-up on a real application object: the plug-in path
// limited to bin/plugins as main() leaves it, the compiled-in pictures, the
// spinner and the fonts. The window itself is checked on a real X server by
// the launch test.
#include "spritemap.h"
#include "startup.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const QString kBinDir = QStringLiteral(KESTROVA_BIN_DIR);

TEST(Startup, OnlyTheProgramsPluginFolderIsSearched) {
    EXPECT_EQ(QCoreApplication::libraryPaths(), QStringList{kBinDir + "/plugins"});
}

struct Expected {
    const char* name;
    int w;
    int h;
    bool clear = false; // a ground for live words, clear at rest
};

// Sizes the windows rely on: pictures scaled into fixed geometry are drawn
// at that size, button strips hold four looks.
const Expected kPictures[] = {
    {"tsf.png", 1000, 650},
    {"main.png", spritemap::main::kWidth, spritemap::main::kHeight},
    {"publicImage.png", spritemap::pub::kWidth, spritemap::pub::kHeight},
    {"connectddevice.png", 179, 270},
    {"Connected.png", 105, 21},
    {"retry.png", 150, 165},
    {"Setp11.png", 929, 490},
    {"note-pic2.png", 929, 490},
    {"opened.png", 180, 165},
    {"debugnofound/1.png", 160, 20, true},
    {"debugnofound/2.png", 160, 20},
    {"arrowDown.png", 12, 8},
    {"program.png", 256, 256},
    {"check/checked.png", 20, 20},
    {"check/checked1.png", 15, 15},
    {"check/checked2.png", 15, 15},
    {"check/checked3.png", 15, 15},
    {"check/checked4.png", 15, 15},
    {"check/uncheck1.png", 15, 15},
    {"check/uncheck2.png", 15, 15},
    {"check/uncheck3.png", 15, 15},
    {"check/uncheck4.png", 15, 15},
    {"alldialog.png", 509, 250},
    {"BackupProgress.png", 780, 481},
    {"glyph/backup.png", 24, 24},
    {"glyph/phone.png", 24, 24},
    {"glyph/flip.png", 24, 24},
    {"glyph/folder.png", 24, 24},
    {"glyph/retry.png", 24, 24},
};

bool hasInk(const QImage& image, const QRect& r) {
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

TEST(Pictures, EveryNamedPictureLoadsAtItsSize) {
    for (const Expected& e : kPictures) {
        const QString path = QStringLiteral(":/images/") + QLatin1String(e.name);
        const QImage image(path);
        ASSERT_FALSE(image.isNull()) << e.name;
        EXPECT_EQ(image.size(), QSize(e.w, e.h)) << e.name;
        if (!e.clear) {
            EXPECT_TRUE(hasInk(image, image.rect())) << e.name << " is blank";
        }
    }
}

// Four looks per button: each drawn, each different from the others, and
// all inside the sheet. A link's ground is clear at rest and when disabled
// (its live words make the difference there).
void expectStrip(const QImage& sheet, const spritemap::Strip& s, const char* what,
                 bool link = false) {
    ASSERT_TRUE(sheet.rect().contains(s.whole())) << what;
    QList<QImage> looks;
    for (int look = 0; look < 4; ++look) {
        const QRect r = s.look(look);
        const bool clear = link && (look == spritemap::Normal || look == spritemap::Disabled);
        EXPECT_EQ(hasInk(sheet, r), !clear) << what << " look " << look;
        looks.append(sheet.copy(r));
    }
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
            if (!(link && a == spritemap::Normal && b == spritemap::Disabled)) {
                EXPECT_NE(looks[a], looks[b]) << what << " looks " << a << " and " << b;
            }
}

TEST(Pictures, SpriteSheetsHoldEveryLookWhereTheWidgetsCutIt) {
    namespace m = spritemap::main;
    const QImage mainSheet(QStringLiteral(":/images/main.png"));
    expectStrip(mainSheet, m::kBackupToItunes, "backup (phone mode)", true);
    expectStrip(mainSheet, m::kBackupToPhone, "backup (backup mode)", true);
    expectStrip(mainSheet, m::kStartCopy, "start copy");
    expectStrip(mainSheet, m::kFlip, "flip");
    expectStrip(mainSheet, m::kItunesSelect, "select");
    EXPECT_TRUE(hasInk(mainSheet, m::kTitleLogo));
    for (int category = 0; category < 8; ++category) {
        const QImage normal = mainSheet.copy(m::categoryLook(category, spritemap::Normal));
        const QImage disabled = mainSheet.copy(m::categoryLook(category, spritemap::Disabled));
        EXPECT_TRUE(mainSheet.rect().contains(m::categoryLook(category, spritemap::Disabled)));
        EXPECT_TRUE(hasInk(disabled, disabled.rect())) << "category " << category;
        EXPECT_NE(normal, disabled) << "category " << category;
    }
    const QImage pub(QStringLiteral(":/images/publicImage.png"));
    expectStrip(pub, spritemap::pub::kClose, "close");
    expectStrip(pub, spritemap::pub::kCancel, "cancel");
    expectStrip(pub, spritemap::pub::kOk, "ok");
    expectStrip(QImage(QStringLiteral(":/images/retry.png")), spritemap::kRetry, "retry");
    expectStrip(QImage(QStringLiteral(":/images/opened.png")), spritemap::kOpenedNext, "next");
}

// Which file the GIF reader was loaded from, read from the process's own map.
std::string loadedGifPlugin() {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("libqgif.so") != std::string::npos)
            return line.substr(line.find('/'));
    return {};
}

TEST(Pictures, SpinnerAnimatesWithThePluginFromTheProgramsFolder) {
    EXPECT_TRUE(QImageReader::supportedImageFormats().contains("gif"));
    QMovie movie(QStringLiteral(":/images/loadimg.gif"));
    ASSERT_TRUE(movie.isValid());
    EXPECT_GT(movie.frameCount(), 1);
    ASSERT_TRUE(movie.jumpToFrame(0));
    const QImage first = movie.currentImage();
    for (int i = 0; i < movie.frameCount() / 2; ++i)
        ASSERT_TRUE(movie.jumpToNextFrame());
    EXPECT_NE(first, movie.currentImage());
    EXPECT_LE(first.width(), 30);
    EXPECT_LE(first.height(), 23);
    EXPECT_EQ(loadedGifPlugin(), (kBinDir + "/plugins/imageformats/libqgif.so").toStdString());
}

// Runs the font step against a plug-in folder holding only the given files.
class FontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_font = QApplication::font();
        QFontDatabase::removeAllApplicationFonts();
        m_plugins = fs::path(KESTROVA_TEST_BUILD_DIR) / "app-fonts" /
                    ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(m_plugins);
        fs::create_directories(m_plugins / "font");
    }
    void TearDown() override {
        QFontDatabase::removeAllApplicationFonts();
        QApplication::setFont(m_font);
        fs::remove_all(m_plugins);
    }
    void provide(const char* file) {
        fs::copy_file(fs::path(KESTROVA_BIN_DIR) / "plugins/font" / file,
                      m_plugins / "font" / file);
    }
    bool load() { return loadApplicationFonts(QString::fromStdString(m_plugins.string())); }
    QFont m_font;
    fs::path m_plugins;
};

TEST_F(FontTest, BothFilesMakeLatoTheApplicationFont) {
    provide("Lato-Bold.ttf");
    provide("Lato-Regular.ttf");
    EXPECT_TRUE(load());
    EXPECT_EQ(QApplication::font().family(), QStringLiteral("Lato"));
    EXPECT_EQ(QApplication::font().pointSize(), 10);
}

TEST_F(FontTest, MissingOrBrokenFilesLeaveTheDefaultFont) {
    EXPECT_FALSE(load());
    EXPECT_EQ(QApplication::font(), m_font);

    // Without Bold, Regular takes id 0, which does not count.
    provide("Lato-Regular.ttf");
    EXPECT_FALSE(load());
    EXPECT_EQ(QApplication::font(), m_font);

    QFontDatabase::removeAllApplicationFonts();
    std::ofstream(m_plugins / "font" / "Lato-Bold.ttf") << "not a font";
    EXPECT_FALSE(load());
    EXPECT_EQ(QApplication::font(), m_font);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    restrictLibraryPaths(kBinDir);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
