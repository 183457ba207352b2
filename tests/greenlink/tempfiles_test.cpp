// The private temporary folder and its numbered names.
#include "runner_fixture.h"

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>

#include "greenlink_runner.h"

namespace greenlink_test {
namespace {

using TempFiles = RunnerTest;

TEST_F(TempFiles, NamesAreConsecutiveSixDigitSerialsInAPrivateFolder) {
    char first[1024];
    char second[1024];
    ASSERT_EQ(GetTempPathFile(first), 0);
    ASSERT_EQ(GetTempPathFile(second), 0);
    const std::string folder = greenlink::tempFolder();
    EXPECT_EQ(std::string(first), folder + "000000");
    EXPECT_EQ(std::string(second), folder + "000001");
    EXPECT_EQ(folder.rfind(scratch_ / "temp/run-" + std::to_string(getpid()) + "-", 0), 0u);
    struct stat st = {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    for (int i = 2; i < 17; ++i)
        greenlink::newTempFile();
    EXPECT_EQ(greenlink::newTempFile(), folder + "000017");
}

TEST_F(TempFiles, AnotherProcessNeverGetsTheSameNames) {
    const std::string mine = greenlink::newTempFile();
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const pid_t child = fork();
    if (child == 0) {
        // A forked copy of this process, with the same serial counter.
        const std::string theirs = greenlink::newTempFile();
        const ssize_t n = write(ends[1], theirs.data(), theirs.size());
        _exit(n == static_cast<ssize_t>(theirs.size()) ? 0 : 1);
    }
    close(ends[1]);
    char buffer[2048] = {};
    const ssize_t n = read(ends[0], buffer, sizeof buffer - 1);
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_GT(n, 0);
    const std::string theirs(buffer, static_cast<size_t>(n));
    const std::string theirFolder = theirs.substr(0, theirs.rfind('/') + 1);
    EXPECT_NE(theirFolder, greenlink::tempFolder());
    EXPECT_NE(theirs.substr(theirs.size() - 6), "000000"); // the counter went on
    EXPECT_NE(theirs, mine);
    std::filesystem::remove_all(theirFolder);
}

TEST_F(TempFiles, BaseThatIsALinkIsRefusedAndItsTargetUntouched) {
    greenlink::resetTempFolderForTests();
    const std::string victim = scratch_ / "victim";
    mkdir(victim.c_str(), 0755);
    const std::string link = scratch_ / "linkbase";
    symlink(victim.c_str(), link.c_str());
    ASSERT_TRUE(greenlink::setTempFolderBase(link + "/"));
    const std::string name = greenlink::newTempFile();
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.rfind(link, 0), std::string::npos);
    EXPECT_EQ(name.rfind(victim, 0), std::string::npos);
    writeFile(name, "x");
    EXPECT_TRUE(std::filesystem::is_empty(victim));
    struct stat st = {};
    ASSERT_EQ(lstat(greenlink::tempFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    greenlink::resetTempFolderForTests(); // removes the fallback folder under /tmp
}

TEST_F(TempFiles, BaseOfAnotherUserIsRefusedAndOurOwnIsClosedToOthers) {
    const std::string open = scratch_ / "openbase";
    mkdir(open.c_str(), 0777);
    chmod(open.c_str(), 0777);
    greenlink::resetTempFolderForTests();
    ASSERT_TRUE(greenlink::setTempFolderBase(open));
    EXPECT_EQ(greenlink::tempFolder().rfind(open + "/run-", 0), 0u);
    struct stat st = {};
    ASSERT_EQ(stat(open.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(greenlink::setTempFolderBase(scratch_ / "other")); // already in use

    if (geteuid() != 0)
        GTEST_SKIP() << "handing a folder to another user needs root";
    const std::string foreign = scratch_ / "foreign";
    mkdir(foreign.c_str(), 0700);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    greenlink::resetTempFolderForTests();
    ASSERT_TRUE(greenlink::setTempFolderBase(foreign));
    EXPECT_EQ(greenlink::tempFolder().rfind(foreign, 0), std::string::npos);
    greenlink::resetTempFolderForTests();
}

TEST_F(TempFiles, FoldersOfEndedRunsAreRemovedOthersKept) {
    // A process id that is certainly free: a child that has been reaped.
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string base = scratch_ / "temp";
    mkdir(base.c_str(), 0700);
    const std::string stale = base + "/run-" + std::to_string(dead) + "-abcdef";
    const std::string living = base + "/run-1-abcdef"; // init never ends
    const std::string other = base + "/keepme";
    for (const std::string& folder : {stale, living, other})
        mkdir(folder.c_str(), 0700);
    const std::string recent = base + "/run-" + std::to_string(dead) + "-recent";
    mkdir(recent.c_str(), 0700);
    writeFile(stale + "/000003", "old capture");
    // An hour old, except "recent" (possibly busy in another pid namespace).
    const struct timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    for (const std::string& folder : {stale, living, other})
        utimensat(AT_FDCWD, folder.c_str(), hourAgo, 0);
    greenlink::tempFolder();
    EXPECT_FALSE(exists(stale));
    EXPECT_TRUE(exists(recent));
    EXPECT_TRUE(exists(living));
    EXPECT_TRUE(exists(other));
}

} // namespace
} // namespace greenlink_test
