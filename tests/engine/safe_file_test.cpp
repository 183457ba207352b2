// Private copies of a backup's files: made from the checked descriptor,
// never written through a link planted at the scratch name.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "safe_file.h"

using kestrova::copyToPrivateFile;

namespace {

void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SafeFile, CopiesArePrivateAndNeverWriteThroughALink) {
    QTemporaryDir temp;
    const std::string dir = temp.path().toStdString();
    write(dir + "/source", std::string(3 << 20, 'x') + "end");
    write(dir + "/victim", "keep me");
    ASSERT_EQ(::symlink((dir + "/victim").c_str(), (dir + "/scratch").c_str()), 0);

    const int fd = ::open((dir + "/source").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    // A link planted at the scratch name is replaced, not followed.
    ASSERT_TRUE(copyToPrivateFile(fd, dir + "/scratch"));
    EXPECT_EQ(readAll(dir + "/victim"), "keep me");
    EXPECT_EQ(readAll(dir + "/scratch"), readAll(dir + "/source"));
    struct stat st {};
    ASSERT_EQ(::lstat((dir + "/scratch").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::close(fd);
}

} // namespace
