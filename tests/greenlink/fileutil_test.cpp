// Path and file helpers.
#include "runner_fixture.h"

#include <cstring>
#include <random>

#include "greenlink_log.h"

namespace greenlink_test {
namespace {

class FileUtil : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(scratch_.path().empty());
        greenlink::setLogPathForTests(scratch_ / "kestrova.log");
    }
    void TearDown() override { greenlink::setLogPathForTests(scratch_ / "late.log"); }
    static std::string randomBytes(size_t size) {
        std::mt19937 generator(1234);
        std::string data(size, '\0');
        for (char& c : data)
            c = static_cast<char>(generator());
        return data;
    }
    ScratchDir scratch_;
};

std::string suffixOf(const char* path) {
    char suffix[16] = "untouched";
    g_GetFileSuffix(path, suffix);
    return suffix;
}

TEST(FileNames, SuffixAfterTheLastDotCutToFifteen) {
    EXPECT_EQ(suffixOf("/sdcard/DCIM/a.b/IMG_1.JPG"), "JPG");
    EXPECT_EQ(suffixOf("archive.tar.gz"), "gz");
    EXPECT_EQ(suffixOf("x.abcdefghijklmnopqrst"), "abcdefghijklmno");
    EXPECT_EQ(suffixOf(".hidden"), "untouched");
    EXPECT_EQ(suffixOf("noext"), "untouched");
    EXPECT_EQ(suffixOf("trailing."), "");
    char path[] = "C:\\Users\\me\\a.jpg";
    g_ChangeLinuxFileName(path);
    EXPECT_STREQ(path, "C:/Users/me/a.jpg");
}

TEST_F(FileUtil, CopyIsExactAcrossBlocksAndReportsProgress) {
    const std::string source = scratch_ / "source.bin";
    const std::string target = scratch_ / "target.bin";
    const std::string data = randomBytes(300 * 1024 + 17);
    writeFile(source, data);
    writeFile(target, std::string(1 << 20, 'z')); // longer old content is replaced
    double progress = -1;
    ASSERT_EQ(MyCopyFile(source.c_str(), target.c_str(), &progress), 0);
    EXPECT_EQ(readFile(target), data);
    EXPECT_EQ(progress, 1.0);

    writeFile(source, "");
    EXPECT_EQ(MyCopyFile(source.c_str(), target.c_str(), nullptr), 0);
    EXPECT_EQ(readFile(target), "");
}

TEST_F(FileUtil, CopyFailuresLoseNothing) {
    const std::string source = scratch_ / "source.bin";
    writeFile(source, "keep me");
    EXPECT_EQ(MyCopyFile((scratch_ / "absent").c_str(), (scratch_ / "t").c_str(), nullptr), -1);
    EXPECT_FALSE(exists(scratch_ / "t"));
    EXPECT_EQ(MyCopyFile(source.c_str(), (scratch_ / "no/dir/t").c_str(), nullptr), -1);
    // Onto itself, directly or through a link: refused, and the file intact.
    EXPECT_EQ(MyCopyFile(source.c_str(), source.c_str(), nullptr), -1);
    symlink(source.c_str(), (scratch_ / "alias").c_str());
    EXPECT_EQ(MyCopyFile(source.c_str(), (scratch_ / "alias").c_str(), nullptr), -1);
    EXPECT_EQ(readFile(source), "keep me");
}

TEST_F(FileUtil, CopyFileSeekCopiesTheRangeAndRestoresThePosition) {
    const std::string data = randomBytes(200 * 1024);
    const std::string path = scratch_ / "source.bin";
    writeFile(path, data);
    FILE* source = std::fopen(path.c_str(), "rb");
    FILE* target = std::fopen((scratch_ / "part").c_str(), "wb");
    ASSERT_TRUE(source && target);
    std::fseek(source, 123, SEEK_SET);
    std::fwrite("head", 1, 4, target);
    EXPECT_EQ(CopyFileSeek(source, 1000, 150 * 1024, target), 0);
    EXPECT_EQ(std::ftell(source), 123);
    // A range that runs past the end is a failure, and nothing is padded.
    EXPECT_EQ(CopyFileSeek(source, 199 * 1024, 4096, target), -1);
    EXPECT_EQ(std::ftell(source), 123);
    EXPECT_EQ(CopyFileSeek(source, -1, 10, target), -1);
    std::fclose(source);
    std::fclose(target);
    const std::string copied = readFile(scratch_ / "part");
    ASSERT_GE(copied.size(), 4u + 150 * 1024);
    EXPECT_EQ(copied.substr(0, 4 + 150 * 1024), "head" + data.substr(1000, 150 * 1024));
    EXPECT_LE(copied.size(), 4u + 150 * 1024 + 1024); // at most the real tail
}

TEST_F(FileUtil, FolderCopySkipsDotNamesAndDoesNotDescend) {
    const std::string from = scratch_ / "from";
    const std::string to = scratch_ / "to";
    mkdir(from.c_str(), 0755);
    mkdir((from + "/sub").c_str(), 0755);
    writeFile(from + "/a b.txt", "one");
    writeFile(from + "/.hidden", "no");
    writeFile(from + "/sub/deep.txt", "no");
    EXPECT_EQ(CopyFolderFuntion(from.c_str(), to.c_str()), 0);
    EXPECT_EQ(readFile(to + "/a b.txt"), "one");
    EXPECT_FALSE(exists(to + "/.hidden"));
    EXPECT_TRUE(exists(to + "/sub"));
    EXPECT_FALSE(exists(to + "/sub/deep.txt"));
    EXPECT_EQ(CopyFolderFuntion((scratch_ / "absent").c_str(), to.c_str()), -1);
}

} // namespace
} // namespace greenlink_test
