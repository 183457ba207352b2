// Date conversions, in fixed time zones so results do not depend on the
// machine running the tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "greenlink_time.h"

namespace {

class TimeZone {
  public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ"))
            old_ = old, hadOld_ = true;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string old_;
    bool hadOld_ = false;
};

TEST(ConvertStrToTime, MillisecondsFormIsExactInAnyZone) {
    for (const char* tz : {"UTC", "Europe/Berlin", "America/New_York", "Asia/Kolkata"}) {
        TimeZone zone(tz);
        EXPECT_EQ(convertstrTotimee("1700000000999"), 1700000000) << tz;
    }
}

TEST(ConvertStrToTime, LocalTextOnEitherSideOfADaylightSavingChange) {
    TimeZone zone("Europe/Berlin");
    // Winter (CET, +1) and summer (CEST, +2) dates convert with their own
    // offset, whatever season the test runs in.
    EXPECT_EQ(convertstrTotimee("2024-01-15 12:00:00"), 1705316400);
    EXPECT_EQ(convertstrTotimee("2024-07-15 12:00:00"), 1721037600);
    // The hour after the spring change exists only in summer time.
    EXPECT_EQ(convertstrTotimee("2024-03-31 03:30:00"), 1711848600);
}

TEST(ConvertStrToTime, FixedPositionsAndShortOrEmptyTexts) {
    TimeZone zone("UTC");
    EXPECT_EQ(convertstrTotimee("2001/01/01T00.00.00"), 978307200);
    // two spaces between date and time shift every time field by one
    EXPECT_NE(convertstrTotimee("2001-01-01  10:20:30"), convertstrTotimee("2001-01-01 10:20:30"));
    EXPECT_EQ(convertstrTotimee(""), 0);
    EXPECT_EQ(convertstrTotimee(nullptr), 0);
    EXPECT_EQ(convertstrTotimee("2001-01"), 0); // no read past the end
}

TEST(TimeTexts, LocalTextsAndThe2001Epoch) {
    TimeZone zone("UTC");
    EXPECT_STREQ(GettimeString2(978307200), "2001-01-01  00:00:00");
    EXPECT_STREQ(GetTimeFor2000String("0"), "Mon 00:00:00 01/01/2001");
    EXPECT_STREQ(GetTimeFor2000String("99999999999999999999999"), "00:00:00 1/1/1970");
}

TEST(TimeTexts, DecimalTextTo64Bit) {
    EXPECT_EQ(charConvert8uint64_t("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(charConvert8uint64_t("99999999999999999999"), UINT64_MAX);
    EXPECT_EQ(charConvert8uint64_t("4294967296"), 4294967296ULL);
    EXPECT_EQ(charConvert8uint64_t("12ab"), 12u);
    EXPECT_EQ(charConvert8uint64_t(nullptr), 0u);
}

} // namespace
