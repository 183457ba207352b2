// Value encoding and reply records of the agent channel.
#include "wire.h"

#include <gtest/gtest.h>

namespace {

TEST(LabAgentWire, HexRoundTripsAnyBytesAndRefusesMalformedText) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    std::string hex = lab::hexEncode(all);
    EXPECT_EQ(hex.substr(0, 8), "00010203");
    EXPECT_EQ(hex.substr(hex.size() - 4), "FEFF");
    EXPECT_EQ(lab::hexDecode(hex), all);
    EXPECT_EQ(lab::hexDecode("c3bC"), std::string("\xC3\xBC"));
    EXPECT_EQ(lab::hexDecode(""), std::string());
    EXPECT_FALSE(lab::hexDecode("ABC").has_value());
    EXPECT_FALSE(lab::hexDecode("G0").has_value());
    EXPECT_FALSE(lab::hexDecode("0;").has_value());
}

TEST(LabAgentWire, RecordsLeaveOutEmptyValues) {
    lab::RecordWriter w;
    w.item("ID", 12LL);
    w.item("BODY", "");
    w.item("ADDRESS", "+1");
    w.endRecord();
    w.endRecord();
    EXPECT_EQ(w.text(), "ID:3132;ADDRESS:2B31;..");
}

TEST(LabAgentWire, IntegersAndSplitting) {
    EXPECT_EQ(lab::intReply(-2), std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_EQ(lab::int64Reply(0x0102030405060708LL),
              std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
    EXPECT_EQ(lab::frame("ab"), std::string("\x02\0\0\0ab", 6));
    EXPECT_EQ(lab::parseInteger("-15"), -15);
    EXPECT_FALSE(lab::parseInteger("1e3").has_value());
    EXPECT_FALSE(lab::parseInteger("").has_value());
    EXPECT_FALSE(lab::parseInteger("-").has_value());
    EXPECT_FALSE(lab::parseInteger("1234567890123456789").has_value());
    auto parts = lab::splitOn("a--b-", '-');
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[1], "");
    EXPECT_EQ(parts[3], "");
}

} // namespace
