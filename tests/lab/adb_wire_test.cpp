// The packet and file-service records the virtual phone puts on the wire.
#include <gtest/gtest.h>

#include "android/adb_wire.h"
#include "android/sync_wire.h"

using namespace lab;

TEST(AdbWire, HeaderRoundTripAndChecks) {
    auto raw = adb::encodeHeader(adb::A_WRTE, 7, 9, "abc");
    adb::Header h = adb::decodeHeader(raw.data());
    EXPECT_EQ(h.command, adb::A_WRTE);
    EXPECT_EQ(h.arg0, 7u);
    EXPECT_EQ(h.arg1, 9u);
    EXPECT_EQ(h.length, 3u);
    EXPECT_EQ(h.check, 'a' + 'b' + 'c');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw.data()), 4), "WRTE");
    EXPECT_EQ(adb::checkHeader(h, 3), adb::HeaderError::None);
    // A length one past what was negotiated is refused before any allocation.
    EXPECT_EQ(adb::checkHeader(h, 2), adb::HeaderError::TooLong);
    h.magic ^= 1;
    EXPECT_EQ(adb::checkHeader(h, 3), adb::HeaderError::BadMagic);
    EXPECT_EQ(adb::decodeHeader(adb::encodeHeader(adb::A_OKAY, 1, 2, "x", false).data()).check, 0u);
}

TEST(AdbWire, BannerCarriesPropertiesAndFeatures) {
    std::string b = adb::deviceBanner("sargo", "Pixel 3a", "sargo", "shell_v2,cmd");
    EXPECT_EQ(b, "device::ro.product.name=sargo;ro.product.model=Pixel 3a;ro.product.device=sargo;"
                 "features=shell_v2,cmd");
}

TEST(SyncWire, RecordSizesMatchWhatAdbReads) {
    sync::FileStat st;
    st.mode = 0100644;
    st.size = 0x1'0000'0005ULL; // beyond 32 bits: the v2 records keep it whole
    st.mtime = 1234;
    std::string v1 = sync::statV1(st);
    ASSERT_EQ(v1.size(), 16u);
    EXPECT_EQ(sync::le32(v1.data() + 8), 5u);
    std::string v2 = sync::statV2("STA2", st);
    ASSERT_EQ(v2.size(), sync::kStatV2Size);
    EXPECT_EQ(static_cast<unsigned char>(v2[44]), 1u); // byte 4 of the 64-bit size
    EXPECT_EQ(sync::dentV2(st, "name").size(), sync::kDentV2Size + 4);
    EXPECT_EQ(sync::dentV1(st, "name").size(), 20u + 4);
    EXPECT_EQ(sync::doneV2().size(), sync::kDentV2Size);
    EXPECT_EQ(sync::doneV1().size(), 20u);
    EXPECT_EQ(sync::statV1(sync::FileStat::failed(2)), std::string("STAT") + std::string(12, '\0'));
    EXPECT_EQ(sync::le32(sync::statV2("LST2", sync::FileStat::failed(13)).data() + 4), 13u);
    EXPECT_EQ(sync::failMessage("no"), std::string("FAIL\x02\0\0\0no", 10));
}
