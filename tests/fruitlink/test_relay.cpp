// The database fetch through the file relay, against the virtual iPhone.
#include "lab_fixture.h"

#include <filesystem>
#include <fruitlink.h>
#include <sys/stat.h>
#include <thread>

using fltest::eventually;
using fltest::readFile;
using fltest::writeFile;

namespace {

class Relay : public fltest::IphoneLabTest {
  protected:
    std::string fetchFolder(const std::string& name) {
        std::string f = dir_ + "/" + name;
        std::filesystem::create_directories(f);
        return f;
    }
};

const char* const kSms = "var/mobile/Library/SMS/sms.db";
const char* const kBook = "var/mobile/Library/AddressBook/AddressBook.sqlitedb";

TEST_F(Relay, Ios7SendsTheDatabasesWhole) {
    auto cfg = phoneConfig(1);
    cfg.relay = viphone::RelayMode::Ios7;
    std::string sms = "SQLite format 3" + std::string(70000, 's');
    std::string book = "SQLite format 3" + std::string(3000, 'b');
    writeFile(cfg.root + "/" + kSms, sms);
    writeFile(cfg.root + "/" + kBook, book);
    writeFile(cfg.root + "/" + kBook + "-wal", "wal");
    addAndWait(cfg);

    EXPECT_EQ(IphoneTSF_FlushSMS(), -1); // no fetch yet
    std::string folder = fetchFolder("fetch");
    std::string withSlash = folder + "/";
    ASSERT_EQ(IphoneTSF_GetDeviceSqliteDB(withSlash.data(), 0), 0) << lastError();
    EXPECT_TRUE(std::filesystem::exists(folder + "/tmp.gz"));
    EXPECT_EQ(readFile(folder + "/" + kSms), sms);
    EXPECT_EQ(readFile(folder + "/" + kBook), book);
    EXPECT_EQ(readFile(folder + "/" + kBook + "-wal"), "wal");

    // A second fetch into the same folder replaces the files, and a link
    // planted where a database goes is not written through.
    std::string victim = dir_ + "/victim";
    writeFile(victim, "keep me");
    std::filesystem::remove(folder + "/" + kSms);
    std::filesystem::create_symlink(victim, folder + "/" + kSms);
    writeFile(folder + "/" + kBook, "stale");
    ASSERT_EQ(IphoneTSF_GetDeviceSqliteDB(withSlash.data(), 0), 0) << lastError();
    EXPECT_EQ(readFile(victim), "keep me");
    EXPECT_EQ(readFile(folder + "/" + kBook), book);

    // No call history on this phone: nothing for the parser, result 0.
    EXPECT_EQ(IphoneTSF_FlushCallLog(), 0);
    // A database only under folder/udid with its backup name is found and
    // handed to the parser (which rejects this junk with -1).
    writeFile(folder + "/" + udid(1) + "/2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca", "junk");
    EXPECT_EQ(IphoneTSF_FlushCallLog(), -1);
}

TEST_F(Relay, ModernPhoneRefusalIsReported) {
    auto cfg = phoneConfig(1);
    writeFile(cfg.root + "/" + kSms, "db");
    addAndWait(cfg);
    std::string folder = fetchFolder("fetch");
    EXPECT_EQ(IphoneTSF_GetDeviceSqliteDB(folder.data(), 0), -1);
    EXPECT_NE(lastError().find("PermissionDenied"), std::string::npos) << lastError();
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_SERVICE_REFUSED);
    EXPECT_FALSE(std::filesystem::exists(folder + "/tmp.gz"));
    EXPECT_EQ(IphoneTSF_GetDeviceSqliteDB(folder.data(), 1), -1); // no such device
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_NO_DEVICE);
}

TEST_F(Relay, HostileArchiveStaysInsideTheFolder) {
    auto cfg = phoneConfig(1);
    cfg.relay = viphone::RelayMode::Ios7;
    using E = fltest::ArchiveEntry;
    cfg.relayPayload = fltest::makeArchive({{"./var/mobile/Library/SMS/sms.db", "good"},
                                            {"../escape.txt", "x"},
                                            {"/tmp/abs-escape.txt", "x"},
                                            {"ok/../../dotdot.txt", "x"},
                                            {"outlink", "", E::Symlink, "../../outside"},
                                            {"abslink", "", E::Symlink, "/etc"},
                                            {"inlink", "", E::Symlink, "var/mobile"},
                                            {"inlink/through.txt", "x"},
                                            {"hard", "", E::Hardlink, "../../etc/passwd"}},
                                           false);
    addAndWait(cfg);
    std::string folder = fetchFolder("fetch");
    ASSERT_EQ(IphoneTSF_GetDeviceSqliteDB(folder.data(), 0), 0) << lastError();
    EXPECT_EQ(readFile(folder + "/" + kSms), "good");
    EXPECT_TRUE(std::filesystem::is_symlink(folder + "/inlink"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/var/mobile/through.txt"));
    for (const char* gone : {"outlink", "abslink", "hard"})
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder + "/" + gone)))
            << gone;
    // Nothing landed next to the folder or one level up.
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        EXPECT_TRUE(e.path().filename() != "escape.txt" && e.path().filename() != "dotdot.txt")
            << e.path();
    EXPECT_FALSE(std::filesystem::exists("/tmp/abs-escape.txt"));
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST_F(Relay, DatabasesArePrivateAndCanBeRemoved) {
    auto cfg = phoneConfig(1);
    cfg.relay = viphone::RelayMode::Ios7;
    using E = fltest::ArchiveEntry;
    E sms{kSms, "sms"}, book{kBook, "book"}, dir{"var/mobile/Library/Calendar", "", E::Dir};
    sms.mode = 04777; // whatever the archive says
    book.mode = 0666;
    dir.mode = 0777;
    cfg.relayPayload = fltest::makeArchive(
        {sms, book, dir, {"var/mobile/Library/Calendar/link", "", E::Symlink, "../SMS/sms.db"}},
        true);
    addAndWait(cfg);
    std::string folder = fetchFolder("fetch");
    writeFile(folder + "/mine.txt", "the caller's own file");
    ASSERT_EQ(IphoneTSF_GetDeviceSqliteDB(folder.data(), 0), 0) << lastError();
    EXPECT_EQ(readFile(folder + "/" + kSms), "sms");
    EXPECT_EQ(modeOf(folder + "/" + kSms), 0600u);
    EXPECT_EQ(modeOf(folder + "/" + kBook), 0600u);
    EXPECT_EQ(modeOf(folder + "/tmp.gz"), 0600u);
    for (const char* d : {"var", "var/mobile", "var/mobile/Library", "var/mobile/Library/SMS",
                          "var/mobile/Library/Calendar"})
        EXPECT_EQ(modeOf(folder + "/" + d), 0700u) << d;

    EXPECT_EQ(readFile(folder + "/var/mobile/Library/Calendar/link"), "sms"); // a link inside

    ASSERT_EQ(IphoneTSF_RemoveDeviceSqliteDB(), 0) << lastError();
    EXPECT_FALSE(std::filesystem::exists(folder + "/var"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/tmp.gz"));
    EXPECT_EQ(readFile(folder + "/mine.txt"), "the caller's own file");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(IphoneTSF_FlushSMS(), -1);            // nothing fetched any more
    EXPECT_EQ(IphoneTSF_RemoveDeviceSqliteDB(), 0); // nothing to remove
}

TEST_F(Relay, CutArchiveIsNotTakenAsTheDatabases) {
    auto cfg = phoneConfig(1);
    cfg.relay = viphone::RelayMode::Ios7;
    std::string whole =
        fltest::makeArchive({{"var/mobile/Library/SMS/sms.db", std::string(200000, 'q')}}, true);
    cfg.relayPayload = whole.substr(0, whole.size() / 2);
    addAndWait(cfg);
    std::string folder = fetchFolder("fetch");
    EXPECT_EQ(IphoneTSF_GetDeviceSqliteDB(folder.data(), 0), -1);
    EXPECT_NE(lastError().find("not whole"), std::string::npos) << lastError();
    EXPECT_FALSE(std::filesystem::exists(folder + "/" + kSms));
}

TEST_F(Relay, StalledStreamEndsOnAbortOrUnplug) {
    for (int n = 1; n <= 2; ++n) {
        auto cfg = phoneConfig(n);
        cfg.relay = viphone::RelayMode::Ios7;
        writeFile(cfg.root + "/" + kSms, std::string(100000, 'z'));
        addAndWait(cfg);
        lab_->setStall(n - 1, true);
    }
    for (int i = 0; i < 2; ++i) {
        std::string folder = fetchFolder("fetch" + std::to_string(i));
        int result = 0;
        std::thread fetch([&] { result = IphoneTSF_GetDeviceSqliteDB(folder.data(), 0); });
        ASSERT_TRUE(eventually([&] { return lab_->stats(i).stalledNow == 1; }));
        if (i == 0)
            IphoneTSF_FlushAbort();
        else
            lab_->detach(1);
        fetch.join();
        EXPECT_EQ(result, -1) << "case " << i;
        EXPECT_FALSE(std::filesystem::exists(folder + "/" + kSms));
        EXPECT_EQ(IphoneTSF_GetLastErrorCategory(),
                  i == 0 ? IPHONE_ERROR_ABORTED : IPHONE_ERROR_NO_DEVICE)
            << lastError();
        if (i == 0) {
            EXPECT_NE(lastError().find("aborted"), std::string::npos) << lastError();
            lab_->setStall(0, false);
            lab_->detach(0); // phone 2 becomes index 0
            ASSERT_TRUE(eventually([] { return IphoneTSF_ConnectDeviceCount() == 1; }));
        }
    }
}

} // namespace
