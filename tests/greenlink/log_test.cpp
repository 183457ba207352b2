// The library log: header, entry forms, the refusal of planted links, and
// entries kept whole when several threads write.
#include "runner_fixture.h"

#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <thread>

#include "greenlink_log.h"

namespace greenlink_test {
namespace {

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(scratch_.path().empty());
        path_ = scratch_ / "kestrova.log";
        greenlink::setLogPathForTests(path_);
    }
    void TearDown() override { greenlink::setLogPathForTests(scratch_ / "late.log"); }

    ScratchDir scratch_;
    std::string path_;
};

// Length of the header at the start of `text`, 0 when there is none: a rule
// of 44 "=", "Y/M/D h:m:s" (four-digit year, other fields unpadded), a rule
// and an empty line.
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

    if (text.compare(dateEnd + 1, rule.size() + 2, rule + "\n\n") != 0)
        return 0;
    return dateEnd + 1 + rule.size() + 2;
}

TEST_F(LogTest, EachRunStartsAFreshFileWithItsHeader) {
    writeFile(path_, "entries of an earlier run\n");
    WriteLog("Call Function: %s\n", "AndroidTSF_Init");
    WriteLog1(3, "level %d ignored\n", 3);
    std::string text = readFile(path_);
    const size_t header = headerLength(text);
    ASSERT_GT(header, 0u) << text;
    EXPECT_EQ(text.substr(header), "Call Function: AndroidTSF_Init\nlevel 3 ignored\n");
    struct stat st = {};
    ASSERT_EQ(lstat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    greenlink::setLogPathForTests(path_); // as a new process would
    WriteLog("second run\n");
    text = readFile(path_);
    ASSERT_GT(headerLength(text), 0u) << text;
    EXPECT_EQ(text.substr(headerLength(text)), "second run\n");
}

TEST_F(LogTest, LocationLinePrecedesAWriteLog2Entry) {
    WriteLog2("myutils", 132, 0, "fork error,fork function return value %d \n", -1);
    const std::string text = readFile(path_);
    EXPECT_NE(text.find("\n\nfile:myutils, line:132\nfork error,fork function return value -1 \n"),
              std::string::npos)
        << text;
}

TEST_F(LogTest, PlantedLinkIsReplacedAndItsTargetLeftAlone) {
    const std::string victim = scratch_ / "victim";
    writeFile(victim, "precious");
    chmod(victim.c_str(), 0644);
    ASSERT_EQ(symlink(victim.c_str(), path_.c_str()), 0);
    const std::string dangling = scratch_ / "dangling";
    WriteLog("entry\n");
    EXPECT_EQ(readFile(victim), "precious");
    struct stat st = {};
    ASSERT_EQ(lstat(path_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_NE(readFile(path_).find("entry\n"), std::string::npos);

    // A link to a file that does not exist yet must not create it either.
    const std::string second = scratch_ / "second.log";
    ASSERT_EQ(symlink(dangling.c_str(), second.c_str()), 0);
    greenlink::setLogPathForTests(second);
    WriteLog("entry\n");
    EXPECT_FALSE(exists(dangling));
    EXPECT_NE(readFile(second).find("entry\n"), std::string::npos);
}

TEST_F(LogTest, UnwritableLogStillEchoesAndNeverCrashes) {
    greenlink::setLogPathForTests(scratch_ / "missing/folder/kestrova.log");
    testing::internal::CaptureStdout();
    WriteLog("to stdout %s\n", "only");
    WriteLog(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "to stdout only\n");
    EXPECT_EQ(GetLogFileHandle(), -1);
}

TEST_F(LogTest, OverlongEntryIsCutAndSetLogHandleRedirects) {
    const std::string other = scratch_ / "mine.log";
    const int fd = open(other.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    CreateLogFile();
    const int original = GetLogFileHandle();
    SetLogHandle(fd);
    EXPECT_EQ(GetLogFileHandle(), fd);
    testing::internal::CaptureStdout();
    WriteLog2("u", 1, 0, "%s", std::string(10000, 'x').c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout().size(), 4095u);
    SetLogHandle(original);
    close(fd);
    const std::string text = readFile(other);
    EXPECT_EQ(text.size(), 4095u);
    EXPECT_EQ(text.rfind("file:u, line:1\nxxx", 0), 0u);
}

TEST_F(LogTest, EntriesFromSeveralThreadsStayWhole) {
    constexpr int kThreads = 4;
    constexpr int kEntries = 300;
    testing::internal::CaptureStdout();
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([t] {
            const std::string body(200, static_cast<char>('a' + t));
            for (int i = 0; i < kEntries; ++i)
                WriteLog2("thread", t, 0, "<%s>\n", body.c_str());
        });
    for (auto& writer : writers)
        writer.join();
    testing::internal::GetCapturedStdout();
    std::string text = readFile(path_);
    text = text.substr(headerLength(text));
    // Every entry must be one whole location line and body of one thread.
    int count = 0;
    for (size_t pos = 0; pos < text.size(); pos += 223, ++count) {
        const std::string entry = text.substr(pos, 223);
        const int t = entry.size() > 18 ? entry[18] - '0' : -1;
        ASSERT_TRUE(t >= 0 && t < kThreads) << entry;
        ASSERT_EQ(entry, "file:thread, line:" + std::to_string(t) + "\n<" +
                             std::string(200, static_cast<char>('a' + t)) + ">\n");
    }
    EXPECT_EQ(count, kThreads * kEntries);
}

} // namespace
} // namespace greenlink_test
