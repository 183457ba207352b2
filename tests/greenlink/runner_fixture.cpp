#include "runner_fixture.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>

namespace greenlink_test {

void ScratchDir::removeTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::vector<ChildRecord> readRecords(const std::string& path) {
    std::vector<ChildRecord> result;
    const std::string text = readFile(path);
    size_t pos = 0;
    auto line = [&]() {
        const size_t end = text.find('\n', pos);
        std::string value = text.substr(pos, end == std::string::npos ? end : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        return value;
    };
    while (pos < text.size()) {
        ChildRecord record;
        size_t count = 0;
        std::istringstream(line()) >> record.pid >> count;
        for (size_t i = 0; i < count && pos < text.size(); ++i) {
            const size_t length = std::stoul(line());
            record.items.push_back(text.substr(pos, length));
            pos += length + 1;
        }
        result.push_back(record);
    }
    return result;
}

void RunnerTest::SetUp() {
    ASSERT_FALSE(scratch_.path().empty());
    toolDir_ = scratch_ / "tools";
    recordsPath_ = scratch_ / "records";
    logPath_ = scratch_ / "kestrova.log";
    ASSERT_EQ(mkdir(toolDir_.c_str(), 0700), 0);
    const std::string child = std::string(KESTROVA_TEST_BUILD_DIR) + "/greenlink_runner_child";
    ASSERT_EQ(symlink(child.c_str(), (toolDir_ + "/adb").c_str()), 0);
    ASSERT_EQ(symlink(child.c_str(), (toolDir_ + "/getusb").c_str()), 0);
    setenv("KESTROVA_TOOL_DIR", toolDir_.c_str(), 1);
    setenv("KESTROVA_RUNNER_CHILD_OUT", recordsPath_.c_str(), 1);
    unsetenv("KESTROVA_RUNNER_CHILD_HANG");
    greenlink::setLogPathForTests(logPath_);
    greenlink::resetTempFolderForTests();
    greenlink::setTempFolderBase(scratch_ / "temp/");
    // Children that end are never cut short; tests of the bounds shorten it.
    greenlink::setRunnerSecondForTests(std::chrono::minutes(10));
}

void RunnerTest::TearDown() {
    greenlink::resetTempFolderForTests();
    greenlink::setRunnerSecondForTests(std::chrono::milliseconds(1000));
    greenlink::setLogPathForTests(scratch_ / "late.log");
    unsetenv("KESTROVA_TOOL_DIR");
    unsetenv("KESTROVA_RUNNER_CHILD_OUT");
    unsetenv("KESTROVA_RUNNER_CHILD_HANG");
}

std::vector<ChildRecord> RunnerTest::waitForRecords(size_t count) const {
    for (;;) {
        std::vector<ChildRecord> found = records();
        if (found.size() >= count)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool RunnerTest::alive(int pid) { return kill(pid, 0) == 0; }

void RunnerTest::killChild(int pid) {
    // Children left running are reaped by the runner's own reaper.
    kill(pid, SIGKILL);
}

} // namespace greenlink_test
