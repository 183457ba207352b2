// The exported operations end to end: a generated backup found through
// $HOME, loaded into the real database parser, and the media lists.
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>

#include "backup_fixtures.h"
#include "dbsifter.h"
#include "jukelink.h"
#include "test_folder.h"

using namespace jukelink_test;

namespace {

std::vector<char> buf(const std::string& s) {
    std::vector<char> b(s.begin(), s.end());
    b.push_back('\0');
    return b;
}

} // namespace

TEST(JukelinkApi, SupportIsEveryKindButApps) {
    for (int k = 0; k <= 6; ++k)
        EXPECT_EQ(iTunesTSF_CheckSupportEnabled(k), 0) << k;
    EXPECT_EQ(iTunesTSF_CheckSupportEnabled(7), -1);
    EXPECT_EQ(iTunesTSF_CheckSupportEnabled(-1), -1);
    EXPECT_EQ(iTunesTSF_CheckSupportEnabled(8), -1);
}

TEST(JukelinkApi, BackupInTheStandardFolderIsLoadedIntoTheParser) {
    TempFolder t;
    setenv("HOME", t.path().c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    std::string root = t.sub("Library/Application Support/MobileSync/Backup");
    backupfix::Options o;
    o.format = backupfix::Format::Db;
    o.iosVersion = 14;
    o.seed = 5;
    o.count = 10;
    o.mediaCount = 3;
    o.walTail = true; // the last records of each database lie only in its -wal file
    backupfix::Result r;
    ASSERT_TRUE(backupfix::writeBackup(root, o, &r));
    ASSERT_EQ(iTunesTSF_SetOtherBackupPath(nullptr), 0);

    ASSERT_EQ(iTunesTSF_BackupCount(), 1);
    BackupDeviceNode* node = nullptr;
    ASSERT_EQ(iTunesTSF_GetBackupDeviceByIndex(0, &node), 0);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(std::string(node->path), r.folder);
    BackupDeviceNode* none = node;
    EXPECT_EQ(iTunesTSF_GetBackupDeviceByIndex(1, &none), -1);
    EXPECT_EQ(none, nullptr);

    auto temp = buf(t.sub("work/tmp"));
    ASSERT_EQ(iTunesTSF_SetTempPath(temp.data()), 0);
    ASSERT_EQ(iTunesTSF_ScanBackupDeviceByIndex(0), 0);

    EXPECT_EQ(iTunesTSF_FlushPerson(), 0);
    EXPECT_EQ(DbsifterTSF_GetContactCount(), static_cast<int>(r.contacts.size()));
    EXPECT_EQ(iTunesTSF_FlushSMS(), 0);
    EXPECT_EQ(DbsifterTSF_GetSMSCount(), static_cast<int>(r.sms.size()));
    EXPECT_EQ(iTunesTSF_FlushCallLog(), 0);
    EXPECT_EQ(DbsifterTSF_GetCallLogCount(), static_cast<int>(r.calls.size()));
    EXPECT_EQ(iTunesTSF_FlushCalender(), 0);
    EXPECT_EQ(DbsifterTSF_GetRemindersCount(), static_cast<int>(r.events.size()));
    SMessage* sms = nullptr;
    DbsifterTSF_GetSMS(&sms);
    ASSERT_NE(sms, nullptr);

    DicmImageList* head = nullptr;
    EXPECT_EQ(iTunesTSF_GetDICMImage(&head), 3);
    ASSERT_NE(head, nullptr);
    int64_t photos = 0;
    for (const auto& m : r.media)
        photos += m.kind == 4 ? m.size : 0;
    EXPECT_EQ(iTunesTSF_GetDICMImage_TotalSize(), photos);
    EXPECT_EQ(iTunesTSF_GetDICMImage_TotalSize64(), photos);
    EXPECT_EQ(iTunesTSF_GetVideos(nullptr), 3);
    EXPECT_EQ(iTunesTSF_GetMusics(nullptr), 3);

    // Another backup that has no messages: the parser's list is emptied, not
    // left holding the first backup's messages.
    backupfix::Options o2 = o;
    o2.seed = 6;
    o2.missingFiles = true;
    o2.dateUnix = 1000000000; // older: listed second
    ASSERT_TRUE(backupfix::writeBackup(root, o2));
    ASSERT_EQ(iTunesTSF_BackupCount(), 2);
    ASSERT_EQ(iTunesTSF_ScanBackupDeviceByIndex(1), 0);
    EXPECT_EQ(iTunesTSF_FlushSMS(), -1);
    EXPECT_EQ(DbsifterTSF_GetSMSCount(), 0);
}
