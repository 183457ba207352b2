// A virtual iPhone lab per test, in the test's own process, with the iPhone
// library pointed at it through USBMUXD_SOCKET_ADDRESS.
#pragma once

#include "phone_content.h"
#include "virtual_iphone.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace fltest {

// A fresh folder below the test build folder.
std::string makeTempDir(const std::string& tag);

// Polls until pred() holds, for at most about 60 seconds.
template <typename Pred> bool eventually(Pred pred) {
    for (int i = 0; i < 3000; ++i) {
        if (pred())
            return true;
        ::usleep(20000);
    }
    return pred();
}

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);

// A gzip-compressed archive (tar or cpio) in memory.
struct ArchiveEntry {
    enum Type { File, Dir, Symlink, Hardlink };
    ArchiveEntry(std::string n, std::string d = {}, Type t = File, std::string l = {})
        : name(std::move(n)), data(std::move(d)), type(t), target(std::move(l)) {}
    std::string name;
    std::string data;
    Type type;
    std::string target; // for links
    int mode = 0644;
};
std::string makeArchive(const std::vector<ArchiveEntry>& entries, bool cpio);

class IphoneLabTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A phone with the usual values and a root folder of its own.
    viphone::PhoneConfig phoneConfig(int n, viphone::PairMode pair = viphone::PairMode::Paired);
    // Adds (attached) and waits until the library lists it.
    int addAndWait(const viphone::PhoneConfig& cfg);
    std::string udid(int n) const;
    std::string lastError() const;

    std::string dir_;
    std::unique_ptr<viphone::Lab> lab_;
};

} // namespace fltest
