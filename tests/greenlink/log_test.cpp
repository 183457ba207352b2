// The process's one log, as the Android library writes into it: where it
// lives, who may read it, planted links and other files refused, rotation,
// and entries kept whole when several threads write.
#include "runner_fixture.h"

#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <thread>

#include "greenlink_log.h"
#include "kestrova_log.h"

namespace greenlink_test {
namespace {

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(scratch_.path().empty());
        path_ = scratch_ / "kestrova.log";
        greenlink::setLogPathForTests(path_);
    }
    void TearDown() override {
        KestrovaLog_SetRotateBytes(0);
        greenlink::setLogPathForTests(scratch_ / "late.log");
    }

    ScratchDir scratch_;
    std::string path_;
};

// Length of the header at the start of `text`, 0 when there is none: a rule
// of 44 "=", "Y/M/D h:m:s" (four-digit year, other fields unpadded), a rule,
// "<program>, pid <pid>" and an empty line.
size_t headerLength(const std::string& text) {
    const std::string rule(44, '=');
    if (text.rfind(rule + "\n", 0) != 0)
        return 0;
    const size_t dateEnd = text.find('\n', rule.size() + 1);
    if (dateEnd == std::string::npos)
        return 0;
    const std::string date = text.substr(rule.size() + 1, dateEnd - rule.size() - 1);
    int year, month, day, hour, minute, second;
    char tail;
    if (std::sscanf(date.c_str(), "%d/%d/%d %d:%d:%d%c", &year, &month, &day, &hour, &minute,
                    &second, &tail) != 6 ||
        year < 1000 || month < 1 || month > 12)
        return 0;
    for (size_t i = 0; i + 2 < date.size(); ++i)
        if (std::strchr("/ :", date[i]) && date[i + 1] == '0' && std::isdigit(date[i + 2]))
            return 0; // zero-padded field
    if (text.compare(dateEnd + 1, rule.size() + 1, rule + "\n") != 0)
        return 0;
    const std::string program = "greenlink_runner_test, pid " + std::to_string(getpid()) + "\n\n";
    const size_t at = dateEnd + 1 + rule.size() + 1;
    if (text.compare(at, program.size(), program) != 0)
        return 0;
    return at + program.size();
}

TEST_F(LogTest, EachRunAppendsItsHeaderAndEntriesToAPrivateFile) {
    writeFile(path_, "entries of an earlier run\n");
    chmod(path_.c_str(), 0644);
    WriteLog("Call Function: %s\n", "AndroidTSF_Init");
    WriteLog1(3, "level %d ignored\n", 3);
    WriteLog2("myutils", 132, 0, "fork error,fork function return value %d \n", -1);
    std::string text = readFile(path_);
    const std::string earlier = "entries of an earlier run\n";
    ASSERT_EQ(text.rfind(earlier, 0), 0u) << "an earlier run's entries are kept";
    text = text.substr(earlier.size());
    const size_t header = headerLength(text);
    ASSERT_GT(header, 0u) << text;
    EXPECT_EQ(text.substr(header), "Call Function: AndroidTSF_Init\nlevel 3 ignored\n"
                                   "file:myutils, line:132\n"
                                   "fork error,fork function return value -1 \n");
    struct stat st = {};
    ASSERT_EQ(lstat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "closed to others whatever it was";
}

TEST_F(LogTest, TheStandardPlaceIsAPrivateFolderInTheStateHome) {
    const std::string state = scratch_ / "state";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    KestrovaLog_SetPath(nullptr);
    EXPECT_EQ(greenlink::logPath(), state + "/kestrova/kestrova.log");
    WriteLog("entry\n");
    struct stat st = {};
    ASSERT_EQ(lstat((state + "/kestrova").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(lstat((state + "/kestrova/kestrova.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(readFile(state + "/kestrova/kestrova.log").find("entry\n"), std::string::npos);

    // Without XDG_STATE_HOME (or with a relative one): below the home folder.
    const std::string home = getenv("HOME") ? getenv("HOME") : "";
    setenv("XDG_STATE_HOME", "relative/state", 1);
    setenv("HOME", (scratch_ / "home").c_str(), 1);
    KestrovaLog_SetPath(nullptr);
    EXPECT_EQ(greenlink::logPath(), scratch_ / "home/.local/state/kestrova/kestrova.log");
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", home.c_str(), 1);
}

TEST_F(LogTest, APlantedLinkOrFifoIsRefusedAndNothingIsWrittenThroughIt) {
    const std::string victim = scratch_ / "victim";
    writeFile(victim, "precious");
    ASSERT_EQ(symlink(victim.c_str(), path_.c_str()), 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    WriteLog("entry through the link\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "never on standard output";
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(GetLogFileHandle(), -1);
    EXPECT_NE(err.find("is a link"), std::string::npos) << err;
    EXPECT_NE(err.find("entry through the link\n"), std::string::npos) << "kept on stderr";

    // A FIFO would block an ordinary open, and is no log either.
    const std::string fifo = scratch_ / "fifo.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    greenlink::setLogPathForTests(fifo);
    testing::internal::CaptureStderr();
    WriteLog("entry\n");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a plain file"), std::string::npos);
    EXPECT_EQ(GetLogFileHandle(), -1);
}

TEST_F(LogTest, ABigFileIsRotatedKeepingOneOldOne) {
    KestrovaLog_SetRotateBytes(1000);
    const std::string line = std::string(99, 'a') + "\n";
    for (int i = 0; i < 25; ++i)
        WriteLog("%s", line.c_str());
    const std::string current = readFile(path_);
    const std::string old = readFile(path_ + ".1");
    EXPECT_LE(current.size(), 1000u);
    EXPECT_LE(old.size(), 1000u);
    EXPECT_GT(old.size(), 0u);
    EXPECT_GT(headerLength(current), 0u) << "a new file begins with a header";
    EXPECT_FALSE(exists(path_ + ".2")) << "only one old file is kept";
    struct stat st = {};
    ASSERT_EQ(lstat((path_ + ".1").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(LogTest, OverlongEntryIsCutAndSetLogHandleRedirects) {
    const std::string other = scratch_ / "mine.log";
    const int fd = open(other.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    CreateLogFile();
    const int original = GetLogFileHandle();
    EXPECT_GT(original, 2);
    SetLogHandle(fd);
    EXPECT_EQ(GetLogFileHandle(), fd);
    WriteLog2("u", 1, 0, "%s", std::string(10000, 'x').c_str());
    SetLogHandle(-1);
    EXPECT_EQ(GetLogFileHandle(), original);
    close(fd);
    const std::string text = readFile(other);
    EXPECT_EQ(text.size(), 4095u);
    EXPECT_EQ(text.rfind("file:u, line:1\nxxx", 0), 0u);
}

TEST_F(LogTest, EntriesFromSeveralThreadsStayWholeAcrossRotations) {
    constexpr int kThreads = 4;
    constexpr int kEntries = 300;
    KestrovaLog_SetRotateBytes(200000); // room for every entry in the file and its ".1"
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([t] {
            const std::string body(200, static_cast<char>('a' + t));
            for (int i = 0; i < kEntries; ++i)
                WriteLog2("thread", t, 0, "<%s>\n", body.c_str());
        });
    for (auto& writer : writers)
        writer.join();
    // Every entry must be one whole location line and body of one thread.
    int count = 0;
    for (const std::string& file : {path_ + ".1", path_}) {
        std::string text = readFile(file);
        text = text.substr(headerLength(text));
        for (size_t pos = 0; pos < text.size(); pos += 223, ++count) {
            const std::string entry = text.substr(pos, 223);
            const int t = entry.size() > 18 ? entry[18] - '0' : -1;
            ASSERT_TRUE(t >= 0 && t < kThreads) << entry;
            ASSERT_EQ(entry, "file:thread, line:" + std::to_string(t) + "\n<" +
                                 std::string(200, static_cast<char>('a' + t)) + ">\n");
        }
    }
    EXPECT_EQ(count, kThreads * kEntries);
}

} // namespace
} // namespace greenlink_test
