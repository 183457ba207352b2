// Files of a folder the program did not create: only plain files inside it
// open, whatever stands in their place.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "safe_file.h"

using kestrova::copyToPrivateFile;
using kestrova::openInside;
using kestrova::SafeOpen;

namespace {

void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SafeFile, PlainFilesOpenAndEverythingElseIsRefused) {
    QTemporaryDir temp;
    const std::string root = temp.path().toStdString() + "/backup";
    const std::string outside = temp.path().toStdString() + "/secret";
    ::mkdir(root.c_str(), 0700);
    ::mkdir((root + "/ab").c_str(), 0700);
    write(outside, "private key");
    write(root + "/ab/photo", "jpeg bytes");
    ASSERT_EQ(::symlink(outside.c_str(), (root + "/ab/absolute").c_str()), 0);
    ASSERT_EQ(::symlink("../../secret", (root + "/ab/relative").c_str()), 0);
    ASSERT_EQ(::symlink(temp.path().toStdString().c_str(), (root + "/cd").c_str()), 0);
    ASSERT_EQ(::mkfifo((root + "/ab/fifo").c_str(), 0600), 0);
    ::mkdir((root + "/ab/folder").c_str(), 0700);

    kestrova::SafeFile ok = openInside(root, "ab/photo");
    ASSERT_EQ(ok.state, SafeOpen::Opened);
    EXPECT_EQ(ok.size, 10);
    ::close(ok.fd);

    for (const char* name : {"ab/absolute", "ab/relative", "cd/secret", "ab/fifo", "ab/folder",
                             "../secret", "ab/../../secret", "/etc/passwd", "ab//photo", ""}) {
        const kestrova::SafeFile refused = openInside(root, name);
        EXPECT_EQ(refused.state, SafeOpen::Unsafe) << name;
        EXPECT_EQ(refused.fd, -1) << name;
    }
    EXPECT_EQ(openInside(root, "ab/none").state, SafeOpen::Missing);
    EXPECT_EQ(openInside(root, "zz/none").state, SafeOpen::Missing);
    // A device node, where this machine lets a test make one.
    if (::mknod((root + "/ab/device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
        EXPECT_EQ(openInside(root, "ab/device").state, SafeOpen::Unsafe);
    }
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
