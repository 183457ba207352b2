// Backups through the phone's backup service, against the virtual iPhone:
// what a host owes the phone around one (the sync lock and notifications),
// and the phone saying no.
#include "afc_access.h"
#include "lab_fixture.h"
#include "mobile_device_access.h"

#include <chrono>
#include <filesystem>
#include <fruitlink.h>

using fltest::eventually;

namespace {

class Backup : public fltest::IphoneLabTest {
  protected:
    int phoneWithPhotos() {
        auto cfg = phoneConfig(1);
        std::filesystem::create_directories(cfg.root + "/DCIM/100APPLE");
        fltest::writeFile(cfg.root + "/DCIM/100APPLE/IMG_0001.HEIC", std::string(70000, 'p'));
        std::filesystem::create_directories(cfg.root + "/var/mobile/Library/SMS");
        fltest::writeFile(cfg.root + "/var/mobile/Library/SMS/sms.db", "not really a database");
        int index = addAndWait(cfg);
        IphoneTSF_SetBackupRoot((dir_ + "/backups").c_str());
        return index;
    }
};

TEST_F(Backup, TheSyncLockIsHeldDuringTheBackupAndLetGoAfter) {
    int index = phoneWithPhotos();
    ASSERT_EQ(IphoneTSF_TakeBackup(0), 0) << lastError();
    viphone::PhoneStats s = lab_->stats(index);
    EXPECT_EQ(s.backupsFinished, 1);
    EXPECT_FALSE(s.syncLockHeld);
    EXPECT_EQ(s.backupFileBytes, 70000u + 21u);
    ASSERT_GE(s.notifications.size(), 2u);
    EXPECT_EQ(s.notifications.front(), "com.apple.itunes-mobdev.syncWillStart");
    EXPECT_EQ(s.notifications.back(), "com.apple.itunes-mobdev.syncDidFinish");
    EXPECT_EQ(IphoneTSF_GetBackupProgress(), 1000);
    char folder[1024];
    IphoneTSF_GetBackupFolder(folder, sizeof folder);
    EXPECT_EQ(std::string(folder), dir_ + "/backups/" + udid(1));
    EXPECT_TRUE(std::filesystem::exists(std::string(folder) + "/Manifest.db"));
}

// A file of several pieces, none aligned to a piece or a page, lands whole;
// everything asked of the phone around the backup shares one session; and
// the notifications posted around it cost no waiting (each used to hold the
// backup up for more than a second).
TEST_F(Backup, AFileOfManyPiecesLandsWholeOnOneSessionWithoutWaiting) {
    auto cfg = phoneConfig(1);
    std::string body((5u << 20) / 2 + 4099, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::filesystem::create_directories(cfg.root + "/DCIM/100APPLE");
    fltest::writeFile(cfg.root + "/DCIM/100APPLE/IMG_0002.MOV", body);
    int index = addAndWait(cfg);
    IphoneTSF_SetBackupRoot((dir_ + "/backups").c_str());
    // Whether a post waited was a race: three backups (the later two with
    // nothing to send) all but always met it.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const viphone::PhoneStats before = lab_->stats(index);
        const auto t0 = std::chrono::steady_clock::now();
        ASSERT_EQ(IphoneTSF_TakeBackup(0), 0) << lastError();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1300));
        const viphone::PhoneStats after = lab_->stats(index);
        EXPECT_EQ(after.tlsSessions + after.plainSessions,
                  before.tlsSessions + before.plainSessions + 1);
        EXPECT_EQ(after.notifications.size(), before.notifications.size() + 4);
    }
    int found = 0;
    for (const auto& e :
         std::filesystem::recursive_directory_iterator(dir_ + "/backups/" + udid(1)))
        if (e.is_regular_file() && e.file_size() == body.size()) {
            ++found;
            EXPECT_TRUE(fltest::readFile(e.path().string()) == body) << e.path();
        }
    EXPECT_EQ(found, 1);
}

// Another host holding the lock (a sync or a second backup) is waited for,
// then reported as busy; the phone itself refuses a second backup service
// session while one runs.
TEST_F(Backup, APhoneBusyWithAnotherHostIsReportedAsBusy) {
    phoneWithPhotos();
    auto devs = fruitlink::MobileDeviceAccess::singleton().devices();
    ASSERT_FALSE(devs.empty());
    auto other = fruitlink::AFCMediaDirectory::create(devs[0]);
    ASSERT_TRUE(other && other->ensureConnectionIsOpen());
    uint64_t handle = 0;
    ASSERT_EQ(afc_file_open(other->handle(), "/com.apple.itunes.lock_sync", AFC_FOPEN_RW, &handle),
              AFC_E_SUCCESS);
    ASSERT_EQ(afc_file_lock(other->handle(), handle, AFC_LOCK_EX), AFC_E_SUCCESS);
    EXPECT_EQ(IphoneTSF_TakeBackup(0), -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_BUSY) << lastError();
    afc_file_lock(other->handle(), handle, AFC_LOCK_UN);
    afc_file_close(other->handle(), handle);
    EXPECT_EQ(IphoneTSF_TakeBackup(0), 0) << lastError();
}

// A file the phone fails to read is left out, and the backup finishes with
// everything else.
TEST_F(Backup, AFileThePhoneCannotReadIsLeftOutOfAFinishedBackup) {
    auto cfg = phoneConfig(1);
    std::filesystem::create_directories(cfg.root + "/DCIM/100APPLE");
    fltest::writeFile(cfg.root + "/DCIM/100APPLE/IMG_0001.HEIC", std::string(70000, 'p'));
    std::filesystem::create_directories(cfg.root + "/var/mobile/Library/SMS");
    fltest::writeFile(cfg.root + "/var/mobile/Library/SMS/sms.db", "not really a database");
    cfg.backupUnreadable = {"Library/SMS/sms.db"};
    int index = addAndWait(cfg);
    IphoneTSF_SetBackupRoot((dir_ + "/backups").c_str());
    ASSERT_EQ(IphoneTSF_TakeBackup(0), 0) << lastError();
    EXPECT_EQ(lab_->stats(index).backupsFinished, 1);
    const std::string folder = dir_ + "/backups/" + udid(1);
    // sms.db's name in a backup: the SHA-1 of "HomeDomain-Library/SMS/sms.db".
    EXPECT_FALSE(std::filesystem::exists(folder + "/3d/3d0d7e5fb2ce288813306e4d4636395e047a3d28"));
    int photos = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        photos += e.is_regular_file() && e.file_size() == 70000;
    EXPECT_EQ(photos, 1);
    EXPECT_TRUE(std::filesystem::exists(folder + "/Status.plist"));
}

// On a cable of USB 2's kind of speed (the lab's relay) a backup arrives
// whole, no faster than the cable allows, and a pulled cable ends it.
TEST_F(Backup, ThroughASlowCableTheBackupIsWholeAndAnUnplugEndsIt) {
    auto cfg = phoneConfig(1);
    cfg.linkBytesPerSecond = 20'000'000;
    std::string body(3'000'000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>((i * 2654435761u) >> 11);
    std::filesystem::create_directories(cfg.root + "/DCIM/100APPLE");
    const std::string photo = cfg.root + "/DCIM/100APPLE/IMG_0003.HEIC";
    fltest::writeFile(photo, body);
    int index = addAndWait(cfg);
    IphoneTSF_SetBackupRoot((dir_ + "/backups").c_str());
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(IphoneTSF_TakeBackup(0), 0) << lastError();
    // A lower bound only: the cable may not be faster than it says.
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(150));
    int found = 0;
    for (const auto& e :
         std::filesystem::recursive_directory_iterator(dir_ + "/backups/" + udid(1)))
        if (e.is_regular_file() && e.file_size() == body.size())
            found += fltest::readFile(e.path().string()) == body;
    EXPECT_EQ(found, 1);

    body += "x"; // changed, so the next backup sends it again
    fltest::writeFile(photo, body);
    lab_->unplugAfterBackupBytes(index, 1'000'000);
    EXPECT_EQ(IphoneTSF_TakeBackup(0), -1);
    const int category = IphoneTSF_GetLastErrorCategory();
    EXPECT_TRUE(category == IPHONE_ERROR_NO_DEVICE || category == IPHONE_ERROR_CONNECTION)
        << category << " " << lastError();
}

TEST_F(Backup, EncryptionAndAFullDiskAreRefusedBeforeTheBackup) {
    auto cfg = phoneConfig(1);
    cfg.willEncrypt = true;
    addAndWait(cfg);
    IphoneTSF_SetBackupRoot((dir_ + "/backups").c_str());
    EXPECT_EQ(IphoneTSF_GetBackupWillEncrypt(0), 1);
    EXPECT_EQ(IphoneTSF_TakeBackup(0), -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_BACKUP_ENCRYPTED);
    EXPECT_EQ(lab_->stats(0).backupsStarted, 0);

    auto big = phoneConfig(2);
    big.diskUsedBytes = 1ull << 62;
    addAndWait(big);
    EXPECT_EQ(IphoneTSF_TakeBackup(1), -1);
    EXPECT_EQ(IphoneTSF_GetLastErrorCategory(), IPHONE_ERROR_NO_SPACE);
    EXPECT_NE(lastError().find("needs about"), std::string::npos) << lastError();
    EXPECT_EQ(lab_->stats(1).backupsStarted, 0);
}

} // namespace
