// Pure conversions of the parser: dates, birthdays, archived message bodies,
// recurrence rules and the placement of labelled contact values.
#include "apple_time.h"
#include "attributed_body.h"
#include "common/keyed_archive.h"
#include "readers.h"
#include "rrule.h"
#include "src/archive_body.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

using namespace dbsifter;

namespace {

const uint8_t* u8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// An archived NSAttributedString (UID 1) with its text (2) and class (3).
std::string keyedArchive(const std::string& text, bool mutableString) {
    plist_t attributed = plist_new_dict();
    plist_dict_set_item(attributed, "NSString", plist_new_uid(2));
    plist_dict_set_item(attributed, "$class", plist_new_uid(3));
    plist_t string = plist_new_string(text.c_str());
    if (mutableString) {
        plist_t ms = plist_new_dict();
        plist_dict_set_item(ms, "NS.string", string);
        string = ms;
    }
    return lab::keyedArchive({attributed, string, lab::archiveClass("NSAttributedString")});
}

} // namespace

TEST(AppleTime, MessageDatesInSecondsAndNanosecondsGiveTheSameInstant) {
    // 2017-09-19 00:00:00 UTC is 527472000 s after 2001.
    EXPECT_EQ(messageDateToMs(527472000), 1505779200000LL);
    EXPECT_EQ(messageDateToMs(527472000LL * 1000000000LL + 123456789), 1505779200123LL);
    EXPECT_EQ(messageDateToMs(0), kCocoaEpochSeconds * 1000);
    // Call logs: Unix seconds, or reference-date seconds in a few builds.
    EXPECT_EQ(callDateToMs(1505779200.0), 1505779200000LL);
    EXPECT_EQ(callDateToMs(527472000.0), 1505779200000LL);
    EXPECT_EQ(cocoaSecondsToMs(527472000.1234), 1505779200123LL);
}

TEST(AppleTime, BirthdaysKeepTheirCalendarDay) {
    // 1985-03-14 at noon UTC, and at midnight in Berlin (23:00 UTC the day before).
    const int64_t day = 5551 * 86400LL - kCocoaEpochSeconds; // 1985-03-14 00:00 UTC
    EXPECT_EQ(birthdayFromCocoa(std::to_string(day + 43200)), "1985-03-14");
    EXPECT_EQ(birthdayFromCocoa(std::to_string(day - 3600) + ".000000"), "1985-03-14");
    EXPECT_EQ(birthdayFromCocoa(std::to_string(day + 5 * 3600)), "1985-03-14"); // UTC-5 midnight
    // Year 1604 marks a birthday without a year.
    EXPECT_EQ(birthdayFromCocoa("-12521822400"), "--03-14");
    EXPECT_EQ(birthdayFromCocoa("1e300"), std::nullopt); // out of range, not a crash
    EXPECT_EQ(birthdayFromCocoa("not a date"), std::nullopt);
    EXPECT_EQ(birthdayFromCocoa(""), std::nullopt);
}

TEST(AppleTime, AllDayInstantsRoundToMidnightUtc) {
    EXPECT_EQ(nearestMidnightMs(86400000LL * 100 - 3600000), 86400000LL * 100); // Berlin
    EXPECT_EQ(nearestMidnightMs(86400000LL * 100 + 5 * 3600000), 86400000LL * 100);
    EXPECT_EQ(nearestMidnightMs(86400000LL * 101 - 1000), 86400000LL * 101); // 23:59:59
    EXPECT_EQ(rruleUntil(1505779200000LL + 3723000), "20170919T010203Z");
}

TEST(AttributedBody, TypedStreamGivesTheWholeText) {
    for (const std::string& text :
         {std::string("hi"), std::string("Grüße 👨‍👩‍👧 你好"),
          std::string(127, 'a'), std::string(128, 'b'), std::string(40000, 'c'), std::string()}) {
        const std::string blob = iosfix::typedStreamBody(text);
        auto got = decodeAttributedBody(u8(blob), blob.size());
        ASSERT_TRUE(got.has_value()) << text.size();
        EXPECT_EQ(*got, text);
    }
}

TEST(AttributedBody, CutOrLyingBlobsAreRefusedWithoutReadingPastTheEnd) {
    const std::string text = "a message long enough to cut " + std::string(300, 'x');
    const std::string blob = iosfix::typedStreamBody(text);
    const size_t textStart = blob.find(text);
    ASSERT_NE(textStart, std::string::npos);
    // Every cut inside the header or the text must fail cleanly (the copy
    // makes AddressSanitizer see a read past the end).
    for (size_t cut = 0; cut < textStart + text.size(); ++cut) {
        std::string part = blob.substr(0, cut);
        auto got = decodeAttributedBody(u8(part), part.size());
        EXPECT_FALSE(got.has_value()) << "cut at " << cut;
    }
    // A length field claiming more than the blob holds.
    std::string lying = blob;
    const size_t lenAt = textStart - 2; // 0x81 and two bytes of length
    lying[lenAt - 1] = '\x82';
    lying[lenAt] = '\xff';
    lying[lenAt + 1] = '\xff';
    EXPECT_FALSE(decodeAttributedBody(u8(lying), lying.size()).has_value());
    // Bytes that are not UTF-8 are not a text.
    std::string bad = iosfix::typedStreamBody("abc");
    bad[bad.find("abc")] = '\xff';
    EXPECT_FALSE(decodeAttributedBody(u8(bad), bad.size()).has_value());
    EXPECT_FALSE(decodeAttributedBody(nullptr, 0).has_value());
    const std::string noise = "streamtyped NSString \x84\x01+";
    EXPECT_FALSE(decodeAttributedBody(u8(noise), noise.size()).has_value());
}

TEST(AttributedBody, KeyedArchivesGiveTheirString) {
    const std::string plain = keyedArchive("héllo 🙈", false);
    EXPECT_EQ(decodeAttributedBody(u8(plain), plain.size()), "héllo 🙈");
    const std::string mut = keyedArchive("mutable", true);
    EXPECT_EQ(decodeAttributedBody(u8(mut), mut.size()), "mutable");
    for (size_t cut = 8; cut < plain.size(); cut += 3) {
        std::string part = plain.substr(0, cut);
        EXPECT_FALSE(decodeKeyedArchive(u8(part), part.size()).has_value()) << cut;
    }
}

TEST(Rrule, RecurrenceRowsBecomeRrules) {
    RecurrenceRow weekly{2, 2, 0, std::nullopt, "D=0MO,0WE"};
    EXPECT_EQ(buildRrule(weekly), "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE");
    RecurrenceRow monthly{3, 1, 5, std::nullopt, "D=+1MO,-1FR;S=-1"};
    EXPECT_EQ(buildRrule(monthly), "FREQ=MONTHLY;COUNT=5;BYDAY=1MO,-1FR;BYSETPOS=-1");
    RecurrenceRow yearly{4, 1, 0, 1505779200000LL, "M=14;O=3"};
    EXPECT_EQ(buildRrule(yearly), "FREQ=YEARLY;UNTIL=20170919T000000Z;BYMONTHDAY=14;BYMONTH=3");
    RecurrenceRow junk{1, 1, 0, std::nullopt, "D=XX,1;M=abc;Q"};
    EXPECT_EQ(buildRrule(junk), "FREQ=DAILY");
    EXPECT_EQ(buildRrule(RecurrenceRow{9, 1, 0, std::nullopt, ""}), "");
}

TEST(ContactLabels, EveryNumberFindsAPlaceAndLabelsWin) {
    ContactRow row;
    placeValues(row, ValueKind::Phone,
                {{"_$!<Pager>!$_", "111"},
                 {"_$!<Mobile>!$_", "222"},
                 {"iPhone", "333"},
                 {"_$!<WorkFAX>!$_", "444"},
                 {"", "555"},
                 {"Boat", "666"}});
    EXPECT_EQ(row.mobile, "222");     // its label wins over the pager listed first
    EXPECT_EQ(row.homeNumber, "111"); // then the first free number fields
    EXPECT_EQ(row.workNumber, "333");
    EXPECT_EQ(row.workFax, "444");
    EXPECT_EQ(row.homeFax, std::nullopt);
    EXPECT_EQ(row.extraText1, "Other: 555\nBoat: 666");
    placeValues(row, ValueKind::Email, {{"iCloud", "a@x"}, {"_$!<Work>!$_", "b@x"}});
    EXPECT_EQ(row.homeEmail, "a@x");
    EXPECT_EQ(row.workEmail, "b@x");
}
