// The honest outcome of a kind: "Success" only when everything the source
// offered arrived, and words that say what happened otherwise.
#include <gtest/gtest.h>

#include "TransferOutcome.h"

using namespace kestrova;

namespace {

void finish(KindCounters& c, int64_t offered, int64_t copied, int64_t failed = 0,
            int64_t skipped = 0, Reason why = Reason::None) {
    c.reset();
    c.started = true;
    c.offered = offered;
    c.copied = copied;
    c.failed = failed;
    c.skipped = skipped;
    if (why != Reason::None)
        c.setReason(why);
    c.finished = true;
}

TEST(Outcome, SuccessOnlyWhenEverythingArrived) {
    KindCounters c;
    finish(c, 120, 120);
    EXPECT_EQ(evaluate(c, true), Outcome::Success);
    EXPECT_EQ(describe(c, true), "Success");

    finish(c, 0, 0); // the source had nothing: nothing was lost
    EXPECT_EQ(evaluate(c, true), Outcome::Success);

    finish(c, 120, 117, 3, 0, Reason::WriteFailed);
    EXPECT_EQ(evaluate(c, true), Outcome::Partial);
    EXPECT_EQ(describe(c, true), "Failed: 3 of 120 (refused by the destination)");

    finish(c, 120, 119, 0, 1, Reason::NotTransferable);
    EXPECT_EQ(evaluate(c, true), Outcome::Partial);
}

TEST(Outcome, SkippedFailedAndCancelledKindsSayWhy) {
    KindCounters c;
    finish(c, 40, 0, 0, 40, Reason::SmsPromptNotAccepted);
    EXPECT_EQ(evaluate(c, true), Outcome::Skipped);
    EXPECT_EQ(describe(c, true), "Skipped: not accepted on the phone");

    finish(c, -1, 0, 0, 0, Reason::RelayRefused); // the source could not even count
    EXPECT_EQ(evaluate(c, true), Outcome::Failed);
    EXPECT_EQ(describe(c, true), "Failed: the iPhone does not give out this data");

    finish(c, 10, 0, 10, 0, Reason::DestinationGone);
    EXPECT_EQ(evaluate(c, true), Outcome::Failed);
    EXPECT_EQ(describe(c, true), "Failed: 10 of 10 (destination phone disconnected)");

    finish(c, 10, 4, 6, 0, Reason::Cancelled);
    c.cancelled = true;
    EXPECT_EQ(evaluate(c, true), Outcome::Cancelled);
    EXPECT_EQ(describe(c, true), "Cancelled: 4 of 10 copied");

    c.reset(); // a later kind the cancel reached before it began
    c.cancelled = true;
    EXPECT_EQ(evaluate(c, true), Outcome::Cancelled);
    EXPECT_EQ(describe(c, true), "Cancelled before it started");
}

TEST(Outcome, WhatWasAlreadyThereCountsAsArrived) {
    KindCounters c;
    finish(c, 150, 120);
    c.already = 30;
    EXPECT_EQ(evaluate(c, true), Outcome::Success);
    EXPECT_EQ(describe(c, true), "Success: 120 copied, 30 already there");

    finish(c, 150, 0); // every item was there before
    c.already = 150;
    EXPECT_EQ(evaluate(c, true), Outcome::Success);
    EXPECT_EQ(describe(c, true), "Success: 0 copied, 150 already there");

    finish(c, 150, 117, 3, 0, Reason::WriteFailed);
    c.already = 30;
    EXPECT_EQ(evaluate(c, true), Outcome::Partial);
    EXPECT_EQ(describe(c, true), "Failed: 3 of 150 (refused by the destination), 30 already there");

    finish(c, 10, 0, 5, 0, Reason::DestinationGone); // nothing new arrived, half was there
    c.already = 5;
    EXPECT_EQ(evaluate(c, true), Outcome::Partial);

    finish(c, 10, 4, 2, 0, Reason::Cancelled);
    c.already = 4;
    c.cancelled = true;
    EXPECT_EQ(describe(c, true), "Cancelled: 4 of 10 copied, 4 already there");
}

TEST(Outcome, ADryRunSaysWhatItWouldCopy) {
    KindCounters c;
    finish(c, 150, 0);
    c.dryRun = true;
    c.planned = 120;
    c.already = 30;
    EXPECT_EQ(evaluate(c, true), Outcome::Success);
    EXPECT_EQ(describe(c, true), "Dry run: 120 to copy, 30 already there");
}

TEST(Outcome, FirstReasonIsKeptAndStatesBeforeTheEnd) {
    KindCounters c;
    EXPECT_EQ(evaluate(c, false), Outcome::NotSelected);
    EXPECT_EQ(evaluate(c, true), Outcome::Waiting);
    c.started = true;
    EXPECT_EQ(evaluate(c, true), Outcome::Running);
    c.setReason(Reason::SourceGone);
    c.setReason(Reason::WriteFailed); // a consequence, not the cause
    EXPECT_EQ(c.firstReason(), Reason::SourceGone);
}

TEST(Outcome, KindKeysRoundTrip) {
    for (Kind k : kAllKinds)
        EXPECT_EQ(kindFromKey(kindKey(k)), k);
    EXPECT_EQ(kindFromKey("notes"), std::nullopt);
    EXPECT_STREQ(kindName(Kind::Music), "Musics");
    // The table is in the libraries' category order.
    for (int i = 0; i < kKindCount; ++i)
        EXPECT_EQ(indexOf(kindAt(i)), i);
}

} // namespace
