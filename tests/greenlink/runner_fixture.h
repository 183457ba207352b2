// Scratch folder, tool folder and child records shared by the runner, log
// and file helper tests. Everything a test writes stays under its own folder
// in the test build tree.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "log.h"
#include "runner.h"

namespace greenlink_test {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

inline bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// A fresh folder under the test build tree, removed at the end.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = std::string(KESTROVA_TEST_BUILD_DIR) + "/scratch-greenlink-XXXXXX";
        if (mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~ScratchDir() {
        if (!path_.empty())
            removeTree(path_);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    static void removeTree(const std::string& path);
    std::string path_;
};

// One start of the stand-in tool as it recorded itself.
struct ChildRecord {
    int pid = 0;
    std::vector<std::string> items; // argv, or the values it was asked for
};

std::vector<ChildRecord> readRecords(const std::string& path);

// Sets up a tool folder whose "adb" and "getusb" are the stand-in tool, the
// records file, a private log and temporary folder, and a runner second of
// ten minutes (a runner that failed to return when its child ends would hang).
class RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::vector<ChildRecord> records() const { return readRecords(recordsPath_); }
    // Waits (without a time limit; ctest bounds the test) for `count` records.
    std::vector<ChildRecord> waitForRecords(size_t count) const;
    static bool alive(int pid);
    static void killChild(int pid);

    ScratchDir scratch_;
    std::string toolDir_;
    std::string recordsPath_;
    std::string logPath_;
};

} // namespace greenlink_test
