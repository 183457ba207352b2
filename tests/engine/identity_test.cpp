// When two items are one: the identity rules the job uses to skip what the
// destination already holds (identity.h).
#include <gtest/gtest.h>

#include <string>

#include "identity.h"

using namespace kestrova;

namespace {

const NumberRules kNoCountry;
const NumberRules kGermany{"49"};

TEST(Identity, NumbersLoseTheirPunctuationAndKeepTheirPlus) {
    EXPECT_EQ(normalisedNumber("+49 (30) 123-45.67", kNoCountry), "+49301234567");
    EXPECT_EQ(normalisedNumber(" 030 / 1234567 ", kNoCountry), "0301234567");
    EXPECT_EQ(normalisedNumber("0049 30 1234567", kNoCountry), "+49301234567");
    EXPECT_EQ(normalisedNumber("*#06#", kNoCountry), "*#06#");
    EXPECT_EQ(normalisedNumber("", kNoCountry), "");
    // A sender name or an address is text, without regard to case.
    EXPECT_EQ(normalisedNumber("DHL Express", kNoCountry), "dhl express");
    EXPECT_EQ(normalisedNumber("Anna@Example.org", kNoCountry), "anna@example.org");
}

TEST(Identity, NationalAndInternationalFormsMeetOnlyWhereTheCountryIsKnown) {
    // Without the destination's country "030 ..." could be anywhere.
    EXPECT_NE(normalisedNumber("030 1234567", kNoCountry),
              normalisedNumber("+49 30 1234567", kNoCountry));
    EXPECT_EQ(normalisedNumber("030 1234567", kGermany),
              normalisedNumber("+49 30 1234567", kGermany));
    // Another country's number stays itself; a short code is left alone.
    EXPECT_EQ(normalisedNumber("+33 1 23 45 67 89", kGermany), "+33123456789");
    EXPECT_EQ(normalisedNumber("01234", kGermany), "01234");
    EXPECT_EQ(normalisedNumber("22222", kGermany), "22222");
}

TEST(Identity, TheTrunkZeroRuleIsKnownOnlyForCountriesWhereItHolds) {
    EXPECT_EQ(trunkZeroCallingCode("de"), "49");
    EXPECT_EQ(trunkZeroCallingCode(" GB "), "44");
    EXPECT_EQ(trunkZeroCallingCode("it"), "");    // the 0 is part of Italian numbers
    EXPECT_EQ(trunkZeroCallingCode("us"), "");    // the trunk prefix is 1
    EXPECT_EQ(trunkZeroCallingCode("ru"), "");    // the trunk prefix is 8
    EXPECT_EQ(trunkZeroCallingCode("de,fr"), ""); // two SIM cards: no single country
    EXPECT_EQ(trunkZeroCallingCode(""), "");
}

TEST(Identity, AContactIsItsNameNumbersAndAddressesWhateverTheirOrderAndForm) {
    std::string first = "Anna", last = "Berg", mobile = "+49 171 2345678", work = "030 999",
                mail = "Anna@Example.org";
    ABPerson a{};
    a.firstName = first.data();
    a.lastName = last.data();
    a.mobile = mobile.data();
    a.workNumber = work.data();
    a.homeEmail = mail.data();
    // The same person as a phone lists her: one display name, the numbers
    // in other fields and written otherwise, the address in small letters.
    std::string display = "  anna   BERG ", mobile2 = "+491712345678", home = "030-999",
                mail2 = "anna@example.org";
    ABPerson b{};
    b.firstName = display.data();
    b.homeNumber = mobile2.data();
    b.mobile = home.data();
    b.workEmail = mail2.data();
    EXPECT_EQ(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
    std::string other = "030 998";
    b.mobile = other.data();
    EXPECT_NE(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
}

TEST(Identity, AMessageIsItsAddressTypeTextAndSecond) {
    std::string address = "+49 171 2345678", body = "See you at 8", type = "1",
                date = "1700000000123";
    SMessage a{};
    a.address = address.data();
    a.body = body.data();
    a.type = type.data();
    a.date = date.data();
    std::string address2 = "+491712345678", date2 = "1700000000999";
    SMessage b = a;
    b.address = address2.data();
    b.date = date2.data(); // the same second
    EXPECT_EQ(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
    std::string date3 = "1700000001000", sent = "2", body2 = "See you at 9";
    b.date = date3.data();
    EXPECT_NE(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
    b.date = date2.data();
    b.type = sent.data();
    EXPECT_NE(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
    b.type = type.data();
    b.body = body2.data();
    EXPECT_NE(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
}

TEST(Identity, ACallIsItsNumberTypeInstantAndDuration) {
    std::string number = "0301234567", type = "2", date = "1700000000000", duration = "61";
    CallHistory a{};
    a.number = number.data();
    a.type = type.data();
    a.date = date.data();
    a.duration = duration.data();
    std::string international = "+49 30 1234567";
    CallHistory b = a;
    b.number = international.data();
    EXPECT_NE(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
    EXPECT_EQ(identityKey(&a, kGermany), identityKey(&b, kGermany));
    std::string longer = "62";
    b.duration = longer.data();
    EXPECT_NE(identityKey(&a, kGermany), identityKey(&b, kGermany));
}

TEST(Identity, AnEventIsItsTitleStartEndAndRecurrence) {
    std::string title = "Dentist", start = "1700000000000", end = "1700003600000",
                rrule = "FREQ=WEEKLY;BYDAY=MO";
    Calendar a{};
    a.title = title.data();
    a.start = start.data();
    a.end = end.data();
    a.rrule = rrule.data();
    Calendar b = a;
    std::string location = "Main Street"; // not part of the identity
    b.location = location.data();
    EXPECT_EQ(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
    std::string daily = "FREQ=DAILY";
    b.rrule = daily.data();
    EXPECT_NE(identityKey(&a, kNoCountry), identityKey(&b, kNoCountry));
    // An end before the start is stored as the start itself.
    std::string none = "";
    Calendar c = a, d = a;
    c.end = none.data();
    d.end = start.data();
    EXPECT_EQ(identityKey(&c, kNoCountry), identityKey(&d, kNoCountry));
}

TEST(Identity, HoldingsMatchEachItemOnce) {
    Holdings h;
    h.add("x");
    h.add("x");
    h.add("y");
    EXPECT_TRUE(h.take("x"));
    EXPECT_TRUE(h.take("x"));
    EXPECT_FALSE(h.take("x"));
    EXPECT_TRUE(h.holds("y"));
    EXPECT_EQ(h.size(), 1);
}

TEST(Identity, AClashSuffixIsRecognised) {
    EXPECT_EQ(withoutClashSuffix("IMG(12).jpg"), "IMG.jpg");
    EXPECT_EQ(withoutClashSuffix("song(1)"), "song");
    EXPECT_EQ(withoutClashSuffix("IMG.jpg"), "IMG.jpg");
    EXPECT_EQ(withoutClashSuffix("(1).jpg"), "(1).jpg");
    EXPECT_EQ(withoutClashSuffix("IMG().jpg"), "IMG().jpg");
    EXPECT_EQ(withoutClashSuffix("IMG(a).jpg"), "IMG(a).jpg");
}

} // namespace
