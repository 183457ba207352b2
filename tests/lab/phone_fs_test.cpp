// Phone paths onto the phone folder: aliases, "..", and links leading out.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <unistd.h>

#include "android/phone_fs.h"

namespace fs = std::filesystem;
using lab::PhoneFs;

TEST(PhoneFs, Normalize) {
    EXPECT_EQ(PhoneFs::normalize("/sdcard//a/./b/"), "/sdcard/a/b");
    EXPECT_EQ(PhoneFs::normalize("/sdcard/a/../b"), "/sdcard/b");
    EXPECT_EQ(PhoneFs::normalize("/"), "/");
    EXPECT_EQ(PhoneFs::normalize("/.."), "");
    EXPECT_EQ(PhoneFs::normalize("relative/path"), "");
    EXPECT_EQ(PhoneFs::normalize(std::string("/sdcard/a\0b", 11)), "");
}

class PhoneFsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = std::string(KESTROVA_TEST_BUILD_DIR) + "/phonefs-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
               std::to_string(getpid());
        fs::remove_all(root);
        phone = std::make_unique<PhoneFs>(root + "/phone");
        ASSERT_TRUE(phone->prepare());
    }
    void TearDown() override { fs::remove_all(root); }
    std::string root;
    std::unique_ptr<PhoneFs> phone;
};

TEST_F(PhoneFsTest, AliasesReachTheSameFolder) {
    std::string sd = root + "/phone/sdcard";
    EXPECT_EQ(phone->resolve("/sdcard/DCIM/a.jpg").host, sd + "/DCIM/a.jpg");
    EXPECT_EQ(phone->resolve("/storage/emulated/0/DCIM/a.jpg").host, sd + "/DCIM/a.jpg");
    EXPECT_EQ(phone->resolve("/mnt/sdcard").host, sd);
    EXPECT_EQ(phone->resolve("/data/local/tmp/x.apk").host, root + "/phone/data/local/tmp/x.apk");
    EXPECT_EQ(phone->resolve("/sdcard/a/../b").host, sd + "/b");
}

TEST_F(PhoneFsTest, NothingOutsideTheFolderIsReached) {
    for (const char* p : {"/sdcard/../../etc/passwd", "/system/bin/sh", "/sdcardx/a", "/",
                          "/data/data/x", "/storage/emulated/00", "relative"})
        EXPECT_FALSE(phone->resolve(p)) << p;

    std::string sd = root + "/phone/sdcard";
    fs::create_directories(root + "/outside");
    fs::create_symlink(root + "/outside", sd + "/out");
    fs::create_symlink("../../outside", sd + "/rel");
    fs::create_symlink(root + "/outside/nothing", sd + "/dangling");
    fs::create_directories(sd + "/in");
    fs::create_symlink(sd + "/in", sd + "/inner");
    EXPECT_EQ(phone->resolve("/sdcard/out/x").error, EACCES);
    EXPECT_EQ(phone->resolve("/sdcard/rel").error, EACCES);
    EXPECT_EQ(phone->resolve("/sdcard/dangling").error, EACCES);
    EXPECT_TRUE(phone->resolve("/sdcard/inner/x")); // a link that stays inside is fine
}
