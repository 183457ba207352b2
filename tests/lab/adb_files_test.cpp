// adb push, pull and ls on the phone folder: odd names, sizes, both
// generations of the file service, and paths that try to leave the folder.
#include "lab_fixture.h"

#include <filesystem>
#include <unistd.h>

#include "common/files.h"

namespace fs = std::filesystem;

namespace {

struct OddFile {
    std::string name;
    size_t size;
};

const OddFile kOddFiles[] = {
    {"with space.bin", 1000},
    {"quote'single and \"double\".txt", 10},
    {"$(touch pwned) `id`.txt", 20},
    {"ünïcödé €漢字.jpg", 4096},
    {"empty.bin", 0},
    {"three-mb.bin", 3 * 1000 * 1000 + 7},
};

} // namespace

// Phone 0 (Android 4.2) has only the old STAT/LIST records, phone 1 the
// newer STA2/LIS2 ones.
TEST_F(LabTest, PushAndPullOddNamesByteExactOnBothGenerations) {
    up({"--android", "2"});
    std::string local = localDir();
    unsigned seed = 1;
    for (const auto& f : kOddFiles)
        writeWhole(local + "/" + f.name, randomBytes(f.size, seed++));

    for (int phone = 0; phone < 2; ++phone) {
        SCOPED_TRACE("phone " + std::to_string(phone));
        std::string back = local + "/back" + std::to_string(phone);
        fs::create_directories(back);
        for (const auto& f : kOddFiles) {
            std::string remote = "/sdcard/Odd Dir/" + f.name;
            auto r = adbOn(phone, {"push", local + "/" + f.name, remote});
            ASSERT_EQ(r.exitCode, 0) << f.name << r.err;
            EXPECT_EQ(readWhole(phoneDir(phone) + "/sdcard/Odd Dir/" + f.name),
                      readWhole(local + "/" + f.name));
            r = adbOn(phone,
                      {"pull", "/storage/emulated/0/Odd Dir/" + f.name, back + "/" + f.name});
            ASSERT_EQ(r.exitCode, 0) << f.name << r.err;
            EXPECT_EQ(readWhole(back + "/" + f.name), readWhole(local + "/" + f.name)) << f.name;
        }
        // A whole folder comes back through the listing records.
        std::string tree = local + "/tree" + std::to_string(phone);
        ASSERT_EQ(adbOn(phone, {"pull", "/sdcard/Odd Dir", tree}).exitCode, 0);
        for (const auto& f : kOddFiles)
            EXPECT_EQ(readWhole(tree + "/" + f.name), readWhole(local + "/" + f.name)) << f.name;
        auto ls = adbOn(phone, {"ls", "/sdcard/Odd Dir"});
        EXPECT_NE(ls.out.find("ünïcödé €漢字.jpg"), std::string::npos) << ls.out;
    }
    EXPECT_FALSE(fs::exists(phoneDir(0) + "/sdcard/Odd Dir/pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(LabTest, PathsThatLeaveThePhoneFolderAreRefused) {
    up({"--android", "1"});
    std::string local = localDir();
    writeWhole(local + "/f.txt", "payload");
    writeWhole(m_dir + "/secret.txt", "secret");

    for (const char* remote :
         {"/sdcard/../../../secret-written.txt", "/system/bin/evil", "/sdcard/../escape.txt"}) {
        auto r = adbOn(0, {"push", local + "/f.txt", remote});
        EXPECT_NE(r.exitCode, 0) << remote;
    }
    EXPECT_FALSE(fs::exists(phoneDir(0) + "/escape.txt"));
    EXPECT_FALSE(fs::exists(m_dir + "/secret-written.txt"));

    // Links inside the phone folder that lead out of it are not followed.
    fs::create_symlink(m_dir, phoneDir(0) + "/sdcard/out");
    fs::create_symlink(m_dir + "/new-file", phoneDir(0) + "/sdcard/dangling");
    EXPECT_NE(adbOn(0, {"pull", "/sdcard/out/secret.txt", local + "/got"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(local + "/got"));
    EXPECT_NE(adbOn(0, {"push", local + "/f.txt", "/sdcard/out/planted.txt"}).exitCode, 0);
    EXPECT_NE(adbOn(0, {"push", local + "/f.txt", "/sdcard/dangling"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(m_dir + "/planted.txt"));
    EXPECT_FALSE(fs::exists(m_dir + "/new-file"));
    adbOn(0, {"shell", "rm", "-r", "/sdcard/out/"});
    EXPECT_TRUE(fs::exists(m_dir + "/secret.txt"));
}
