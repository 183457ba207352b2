// Temporary folders for the backup reader's tests, and a snapshot of a
// folder tree to prove that nothing in it changed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace jukelink_test {

// A fresh folder under the test build folder, removed with its contents.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }
    std::string sub(const std::string& name) const; // created

  private:
    std::string m_path;
};

struct FileState {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t hash = 0;
    bool operator==(const FileState&) const = default;
};

// Every entry below root (files, folders, links) with its size, mtime and a
// hash of its bytes.
std::map<std::string, FileState> snapshot(const std::string& root);

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

} // namespace jukelink_test
