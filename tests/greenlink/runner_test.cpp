// The runners against a stand-in tool: exact argument vectors, environment,
// capture, missing tools, the waiting bounds and stop requests.
#include "runner_fixture.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "greenlink.h"
#include "greenlink_runner.h"

namespace greenlink_test {
namespace {

using greenlink::RunOptions;
using greenlink::RunStatus;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

Strings argsOf(const ChildRecord& record) {
    return Strings(record.items.begin() + (record.items.empty() ? 0 : 1), record.items.end());
}

TEST_F(RunnerTest, HostileArgumentsArriveAsOneElementEach) {
    const std::string planted = scratch_ / "pwned";
    const Strings hostile = {"push",
                             "/sdcard/My Photos/a b.jpg",
                             "\"quoted\"",
                             "it's",
                             "$(touch " + planted + ")",
                             "`touch " + planted + "`",
                             "line1\nline2",
                             "\xff\xfe caf\xc3\xa9",
                             "",
                             "; rm -rf / ;",
                             "*"};
    const auto result = greenlink::runAdb(hostile, RunOptions{});
    EXPECT_EQ(result.status, RunStatus::Ended);
    EXPECT_TRUE(result.succeeded());
    const auto found = records();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(argsOf(found[0]), hostile);
    EXPECT_EQ(found[0].pid, result.pid);
    EXPECT_FALSE(exists(planted));
}

TEST_F(RunnerTest, ToolInheritsNoDescriptorsOfTheProgram) {
    const int file = open(logPath_.c_str(), O_WRONLY | O_CREAT, 0600); // no O_CLOEXEC
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_GE(file, 0);
    greenlink::runAdb({"fds"}, RunOptions{});
    close(file);
    close(ends[0]);
    close(ends[1]);
    const auto found = records();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].items.empty()) << found[0].items.size() << " descriptors leaked";
}

TEST_F(RunnerTest, ChildGetsTheProgramsEnvironmentAndWorkingFolder) {
    const std::string home = scratch_ / "home with space";
    setenv("HOME", home.c_str(), 1);
    setenv("KESTROVA_RUNNER_PROBE", "a b $PATH\n", 1);
    greenlink::runAdb({"env", "HOME", "KESTROVA_RUNNER_PROBE", "PATH"}, RunOptions{});
    greenlink::runAdb({"cwd"}, RunOptions{});
    unsetenv("KESTROVA_RUNNER_PROBE");
    const auto found = records();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].items, (Strings{home, "a b $PATH\n", std::getenv("PATH")}));
    std::string folder = greenlink::executableFolder();
    folder.pop_back();
    EXPECT_EQ(found[1].items, Strings{folder});
}

TEST_F(RunnerTest, ExitStatusAndSignalAreReportedButTheCRunnersOnlySayStarted) {
    const auto failed = greenlink::runAdb({"exit", "7"}, RunOptions{});
    EXPECT_EQ(failed.status, RunStatus::Ended);
    EXPECT_EQ(failed.exitCode, 7);
    EXPECT_TRUE(failed.started());
    EXPECT_FALSE(failed.succeeded());

    const auto signalled = greenlink::runAdb({"signal", std::to_string(SIGTERM)}, RunOptions{});
    EXPECT_EQ(signalled.status, RunStatus::Ended);
    EXPECT_EQ(signalled.termSignal, SIGTERM);
    EXPECT_FALSE(signalled.succeeded());

    EXPECT_EQ(runProcessToEndFunction("exit 3"), 0);
    EXPECT_EQ(runProcessToEndFunction2("signal 9", (scratch_ / "out").c_str()), 0);
    EXPECT_EQ(runProcessToEndFunction4("exit 1", ""), 0);
    EXPECT_NE(readFile(logPath_).find("tool failed"), std::string::npos);
}

TEST_F(RunnerTest, MissingOrUnrunnableToolIsToldApartAndFailsEveryRunner) {
    const std::string empty = scratch_ / "empty";
    mkdir(empty.c_str(), 0700);
    setenv("KESTROVA_TOOL_DIR", empty.c_str(), 1);
    const auto missing = greenlink::runAdb({"devices"}, RunOptions{});
    EXPECT_EQ(missing.status, RunStatus::ToolMissing);
    EXPECT_EQ(missing.spawnError, ENOENT);
    EXPECT_FALSE(missing.started());
    const std::string out = scratch_ / "out";
    EXPECT_EQ(runProcessToEndFunction("devices"), -1);
    EXPECT_EQ(runProcessToEndFunction_notEnd("devices"), -1);
    EXPECT_EQ(runProcessToEndFunction_Not_Wait("devices"), -1);
    EXPECT_EQ(runProcessToEndFunction_bash(), -1);
    EXPECT_EQ(runProcessToEndFunction2("devices", out.c_str()), -1);
    EXPECT_EQ(runProcessToEndFunction3((empty + "/nothing").c_str(), "x"), -1);
    EXPECT_EQ(runProcessToEndFunction4("devices", ""), -1);
    EXPECT_EQ(runProcessGetUSB(out.c_str()), -1);
    EXPECT_EQ(runProcessToEndFunction(nullptr), -1);
    EXPECT_EQ(runProcessToEndFunction2(nullptr, out.c_str()), -1);
    EXPECT_EQ(runProcessToEndFunction4(nullptr, nullptr), -1);

    writeFile(empty + "/adb", "#!/bin/sh\n");
    chmod((empty + "/adb").c_str(), 0644);
    const auto notExecutable = greenlink::runAdb({"devices"}, RunOptions{});
    EXPECT_EQ(notExecutable.status, RunStatus::ToolMissing);
    EXPECT_EQ(notExecutable.spawnError, EACCES);

    const std::string log = readFile(logPath_);
    EXPECT_NE(log.find("tool missing"), std::string::npos);
    EXPECT_EQ(log.find("tool failed"), std::string::npos);
}

TEST_F(RunnerTest, CaptureThatCannotBeOpenedIsAFailureNotAnEmptySuccess) {
    const std::string nowhere = scratch_ / "no/such/folder/out";
    EXPECT_EQ(runProcessToEndFunction2("devices", nowhere.c_str()), -1);
    EXPECT_EQ(runProcessGetUSB(nowhere.c_str()), -1);
    EXPECT_TRUE(records().empty()); // the tool was not started blind
    // A link planted at the capture path is not followed.
    const std::string victim = scratch_ / "victim";
    writeFile(victim, "keep");
    const std::string link = scratch_ / "capture";
    symlink(victim.c_str(), link.c_str());
    EXPECT_EQ(runProcessToEndFunction2("flood 10", link.c_str()), -1);
    EXPECT_EQ(readFile(victim), "keep");
}

TEST_F(RunnerTest, CaptureHoldsSeveralMegabytesWhole) {
    constexpr long long kSize = 5 * 1000 * 1000 + 7;
    const std::string out = scratch_ / "flood";
    ASSERT_EQ(runProcessToEndFunction2(("flood " + std::to_string(kSize)).c_str(), out.c_str()), 0);
    const std::string captured = readFile(out);
    ASSERT_EQ(static_cast<long long>(captured.size()), kSize);
    for (long long i = 0; i < kSize; i += 99991)
        ASSERT_EQ(captured[static_cast<size_t>(i)], static_cast<char>('a' + i % 26)) << i;

    std::string output;
    const auto result = greenlink::runAdbCapture({"flood", "300000"}, 11, false, &output);
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(output, captured.substr(0, 300000));
    // The capture file itself is gone afterwards.
    EXPECT_FALSE(exists(greenlink::tempFolder() + "000000"));
}

TEST_F(RunnerTest, SplittingRulesOfTheTextRunnersReachTheTool) {
    const std::string out = scratch_ / "out";
    runProcessToEndFunction("push \"/sdcard/a b/c $(x).txt\" /data/local/tmp/ ");
    runProcessToEndFunction2("shell getprop  ro.product.model x", out.c_str());
    runProcessToEndFunction4("pull \"/sdcard/a b.jpg\" dest", "");
    runProcessToEndFunction3((toolDir_ + "/adb").c_str(), "a  b");
    const auto found = records();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(argsOf(found[0]), (Strings{"push", "/sdcard/a b/c $(x).txt", "/data/local/tmp/"}));
    EXPECT_EQ(argsOf(found[1]), (Strings{"shell", "getprop", "", "ro.product.model", "x"}));
    EXPECT_EQ(argsOf(found[2]), (Strings{"pull", "\"/sdcard/a b.jpg\"", "dest"}));
    EXPECT_EQ(argsOf(found[3]), (Strings{"a", "", "b"}));
    EXPECT_EQ(found[3].items[0], toolDir_ + "/adb");
}

TEST_F(RunnerTest, ServerRestartRunsItsThreeStepsInOrder) {
    EXPECT_EQ(runProcessToEndFunction_bash(), 0);
    const auto found = records();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(argsOf(found[0]), Strings{"kill-server"});
    EXPECT_EQ(argsOf(found[1]), Strings{"start-server"});
    EXPECT_EQ(argsOf(found[2]), Strings{"devices"});
}

// Process id named by the last "killed after its time bound" log line.
int lastKilledPid(const std::string& log) {
    const size_t line = log.rfind("tool killed after its time bound");
    const size_t at = log.find("(pid ", line);
    return line == std::string::npos || at == std::string::npos ? 0 : std::stoi(log.substr(at + 5));
}

// The bounds run on the injected second; each runner must wait at least its
// bound, then kill or leave the child as its contract says. A killed child may
// be gone before it could record itself, so its id comes from the log.
TEST_F(RunnerTest, NeverEndingChildIsKilledOrLeftAtEachRunnersBound) {
    greenlink::setRunnerSecondForTests(std::chrono::milliseconds(5));
    const auto second = greenlink::runnerSecond();
    struct Case {
        std::function<int()> run;
        int bound;
        bool killed;
    };
    const std::string out = scratch_ / "out";
    const std::vector<Case> cases = {
        {[] { return runProcessToEndFunction("forever"); }, 62, false},
        {[&] { return runProcessToEndFunction2("forever", out.c_str()); }, 11, false},
        {[&] { return runProcessToEndFunction3((toolDir_ + "/adb").c_str(), "forever"); }, 11,
         false},
        {[] { return runProcessToEndFunction4("forever", ""); }, 6, true},
        {[&] { return runProcessGetUSB(out.c_str()); }, 6, true},
        {[] { return runProcessToEndFunction_bash(); }, 20, false},
    };
    setenv("KESTROVA_RUNNER_CHILD_HANG", "1", 1);
    for (size_t i = 0; i < cases.size(); ++i) {
        const size_t before = records().size();
        const auto start = Clock::now();
        EXPECT_EQ(cases[i].run(), 0) << i;
        EXPECT_GE(Clock::now() - start, cases[i].bound * second) << i;
        if (cases[i].killed) {
            const int pid = lastKilledPid(readFile(logPath_));
            ASSERT_GT(pid, 0) << i;
            EXPECT_FALSE(alive(pid)) << i;
            continue;
        }
        const auto found = waitForRecords(before + 1);
        EXPECT_EQ(found.size(), before + 1) << i; // the restart stops after its first step
        EXPECT_TRUE(alive(found.back().pid)) << i;
        killChild(found.back().pid);
    }
}

// With the fixture's second of ten minutes, a runner that waited out its bound
// instead of returning when the child ends would hang until ctest's timeout.
TEST_F(RunnerTest, ReturnsAsSoonAsTheChildEnds) {
    const std::string out = scratch_ / "out";
    EXPECT_EQ(runProcessToEndFunction("exit 0"), 0);
    EXPECT_EQ(runProcessToEndFunction_notEnd("exit 0"), 0);
    EXPECT_EQ(runProcessToEndFunction_bash(), 0);
    EXPECT_EQ(runProcessToEndFunction2("exit 0", out.c_str()), 0);
    EXPECT_EQ(runProcessToEndFunction4("exit 0", out.c_str()), 0);
    EXPECT_EQ(runProcessGetUSB(out.c_str()), 0);
    EXPECT_EQ(records().size(), 8u);
}

TEST_F(RunnerTest, NotWaitReturnsAtOnceAndTheChildStillRuns) {
    EXPECT_EQ(runProcessToEndFunction_Not_Wait("forever"), 0);
    const auto found = waitForRecords(1);
    EXPECT_TRUE(alive(found[0].pid));
    killChild(found[0].pid);
}

TEST_F(RunnerTest, AbortKillsTheChildABlockedRunnerWaitsFor) {
    RunOptions unlimited;
    unlimited.boundSeconds = -1;
    auto blocked =
        std::async(std::launch::async, [&] { return greenlink::runAdb({"forever"}, unlimited); });
    const int pid = waitForRecords(1)[0].pid;
    greenlink::abortRunningChildren();
    const auto result = blocked.get();
    EXPECT_EQ(result.status, RunStatus::Aborted);
    EXPECT_EQ(result.pid, pid);
    EXPECT_FALSE(alive(pid));
    // A runner started after the request is not affected by it.
    EXPECT_TRUE(greenlink::runAdb({"exit", "0"}, unlimited).succeeded());
}

TEST_F(RunnerTest, RealAdbRunsFromTheToolFolder) {
    if (access("/usr/bin/adb", X_OK) != 0)
        GTEST_SKIP() << "no adb installed";
    unlink((toolDir_ + "/adb").c_str());
    ASSERT_EQ(symlink("/usr/bin/adb", (toolDir_ + "/adb").c_str()), 0);
    std::string output;
    const auto result = greenlink::runAdbCapture({"version"}, 11, true, &output);
    EXPECT_TRUE(result.succeeded());
    EXPECT_NE(output.find("Android Debug Bridge"), std::string::npos) << output;

    // An unknown command makes adb complain on standard error, which only
    // reaches the capture when asked for.
    RunOptions options;
    options.capturePath = scratch_ / "both";
    options.captureStderr = true;
    const auto failed = greenlink::runAdb({"no-such-command"}, options);
    EXPECT_EQ(failed.status, RunStatus::Ended);
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_FALSE(readFile(options.capturePath).empty());
}

// Each window of the program counts phones on its own thread, and every count
// rebuilds the one USB scan table: two threads counting at once must each see
// every phone getusb lists, and ThreadSanitizer find no race on the tables.
TEST_F(RunnerTest, UsbCountsFromTwoThreadsEachSeeEveryPhone) {
    const std::string getusb = toolDir_ + "/getusb";
    ASSERT_EQ(std::remove(getusb.c_str()), 0);
    writeFile(getusb, "#!/bin/sh\nprintf 'VID:1256,PID:26720\\nVID:1256,PID:1\\n'\n");
    ASSERT_EQ(chmod(getusb.c_str(), 0755), 0);
    std::atomic<int> wrong{0};
    auto count = [&wrong] {
        for (int i = 0; i < 15; ++i)
            if (AndroidTSF_CheckConnectDeviceToPC_Count() != 2)
                ++wrong;
    };
    // A third thread lists phones with (the stand-in) adb meanwhile, which
    // rewrites the adb side of the device table the count logs from.
    auto detect = [] {
        for (int i = 0; i < 5; ++i)
            AndroidTSF_CheckDeviceDetected(0);
    };
    std::thread first(count), second(count), third(detect);
    first.join();
    second.join();
    third.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(RunnerTest, ToolFolderAndExecutableFolder) {
    char buffer[1024];
    ASSERT_EQ(GetExerunPath(buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer) + "greenlink_runner_test",
              std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_EQ(tmpGetExerunPath(buffer, 5), -1);
    EXPECT_STREQ(buffer, "");

    setenv("KESTROVA_TOOL_DIR", "relative/tools", 1);
    EXPECT_EQ(greenlink::toolFolder(),
              std::filesystem::current_path().string() + "/relative/tools/");
    unsetenv("KESTROVA_TOOL_DIR");
    EXPECT_EQ(greenlink::toolFolder(), greenlink::executableFolder() + "root/");
}

} // namespace
} // namespace greenlink_test
