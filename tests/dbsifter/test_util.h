// Helpers shared by the parser's tests: private temp folders, file
// snapshots, and field comparisons between records and expectations.
#ifndef KESTROVA_TESTS_DBSIFTER_UTIL_H
#define KESTROVA_TESTS_DBSIFTER_UTIL_H

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace dbstest {

// A fresh folder under the test build folder, removed with its contents.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Every file of a folder with its bytes and modification time.
struct FileState {
    std::string bytes;
    long long mtimeNs = 0;
    bool operator==(const FileState& o) const { return bytes == o.bytes && mtimeNs == o.mtimeNs; }
};
std::map<std::string, FileState> snapshot(const std::string& dir);

// A record text against an expectation: "" means the record has NULL.
inline ::testing::AssertionResult sameText(const char* actual, const std::string& expected) {
    if (expected.empty() ? actual == nullptr : (actual && expected == actual))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "expected " << (expected.empty() ? "NULL" : "\"" + expected + "\"") << ", got "
           << (actual ? "\"" + std::string(actual) + "\"" : "NULL");
}

} // namespace dbstest

#endif
