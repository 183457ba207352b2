// The job loop between a scripted source and destination: what the report
// says must be what arrived, whichever way a kind ends.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include <QDir>

#include "job.h"

using namespace kestrova;

namespace {

// Contacts held in memory, given out in pages of two, and files as strings.
class ScriptedSource : public Source {
  public:
    explicit ScriptedSource(int contacts) {
        for (int i = 0; i < contacts; ++i) {
            ids.push_back(std::to_string(i + 1));
            names.push_back("Person " + std::to_string(i + 1));
            people.push_back(ABPerson{});
        }
        for (size_t i = 0; i < people.size(); ++i) {
            people[i].contactId = ids[i].data();
            people[i].firstName = names[i].data();
            people[i].next = i + 1 < people.size() ? &people[i + 1] : nullptr;
        }
    }

    bool prepare(const JobContext&, const KindSet&) override { return true; }
    Reason unavailable(Kind) const override { return Reason::None; }
    Count count(Kind kind) override {
        if (kind == Kind::Contacts || kind == Kind::Sms)
            return {static_cast<int64_t>(people.size())};
        return {0, Reason::NotSupported};
    }
    RecordPage page(Kind, int64_t start) override {
        RecordPage page;
        if (start == failPageAt)
            return page;
        if (start == unreadablePageAt) {
            // Read and retried, still broken: the page's positions are known.
            page.span = 2;
            page.why = Reason::ReadFailed;
            return page;
        }
        // Pages of two: cut the list after the page and restore it later.
        for (ABPerson& p : people)
            p.next = nullptr;
        const auto end = std::min<size_t>(people.size(), static_cast<size_t>(start) + 2);
        for (size_t i = static_cast<size_t>(start); i + 1 < end; ++i)
            people[i].next = &people[i + 1];
        if (static_cast<size_t>(start) < end) {
            page.head = &people[static_cast<size_t>(start)];
            page.span = 2;
        }
        return page;
    }
    Count listFiles(Kind, std::vector<FileEntry>* out) override {
        int position = 0;
        for (const auto& [name, bytes] : files) {
            FileEntry e;
            e.name = name;
            e.location = name;
            e.size = static_cast<int64_t>(bytes.size());
            e.position = position++;
            out->push_back(e);
        }
        return {static_cast<int64_t>(files.size())};
    }
    OpenedFile open(Kind, const FileEntry& entry) override {
        if (!files.count(entry.location))
            return {nullptr, Reason::FileMissing};
        return {std::make_unique<Stream>(*this, files[entry.location]), Reason::None};
    }
    bool alive() override { return present; }

    // Streams a file in pieces; breaks off after `breakAfter` bytes.
    struct Stream : SourceFile {
        Stream(ScriptedSource& s, std::string b) : source(s), bytes(std::move(b)) {}
        int read(char* buffer, int capacity) override {
            if (source.breakAfter >= 0 && done >= static_cast<size_t>(source.breakAfter))
                return -1;
            const size_t n = std::min<size_t>(static_cast<size_t>(capacity), bytes.size() - done);
            std::memcpy(buffer, bytes.data() + done, n);
            done += n;
            if (source.onRead)
                source.onRead();
            return static_cast<int>(n);
        }
        ScriptedSource& source;
        std::string bytes;
        size_t done = 0;
    };

    std::vector<std::string> ids;
    std::vector<std::string> names;
    std::deque<ABPerson> people;
    std::map<std::string, std::string> files;
    int64_t failPageAt = -1;
    int64_t unreadablePageAt = -1;
    long breakAfter = -1;
    bool present = true;
    std::function<void()> onRead;
};

class ScriptedDestination : public Destination {
  public:
    bool addRecord(const RecordRef& record) override {
        if (refuseAfter >= 0 && static_cast<int>(stored.size()) >= refuseAfter) {
            present = false;
            return false;
        }
        const ABPerson* p = std::get<ABPerson*>(record);
        stored.push_back(p->contactId);
        storedNames.push_back(p->firstName ? p->firstName : "");
        // Stored, but the reply is lost on the way back.
        return static_cast<int>(stored.size()) != loseReplyOf;
    }
    int64_t countRecords(Kind) override { return static_cast<int64_t>(stored.size()); }
    int64_t incompleteRecords(Kind) const override { return partial; }
    bool readRecords(Kind, const std::function<bool(const RecordRef&)>& each) override {
        if (unreadable)
            return false;
        for (std::string& name : storedNames) {
            ABPerson p{};
            p.firstName = name.data();
            if (!each(&p))
                return false;
        }
        return true;
    }
    bool listStored(Kind, std::vector<StoredFile>* out) override {
        if (unreadable)
            return false;
        for (const auto& [name, bytes] : files)
            out->push_back(StoredFile{name, static_cast<int64_t>(bytes.size()), 0, name});
        return true;
    }
    bool fetchStored(Kind, const StoredFile& file, const std::string& localPath) override {
        FILE* f = std::fopen(localPath.c_str(), "wb");
        if (!f)
            return false;
        const std::string& bytes = files[file.name];
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return true;
    }
    AddResult addFile(Kind, SourceFile& file, const std::string& name, int64_t expected,
                      FileProgress& progress) override {
        std::string bytes;
        char buffer[4];
        for (;;) {
            const int got = file.read(buffer, sizeof buffer);
            if (got <= 0)
                break;
            if (progress.stopped())
                return AddResult::Interrupted;
            bytes.append(buffer, static_cast<size_t>(got));
        }
        if (static_cast<int64_t>(bytes.size()) != expected)
            return AddResult::ReadFailed; // nothing partial is kept
        files[name] = bytes;
        return AddResult::Arrived;
    }
    bool beginMessages(SmsPrompt& prompt, bool* changed) override {
        asked = true;
        *changed = true;
        return acceptMessages;
    }
    void endMessages(bool changed) override { handedBack = changed; }
    bool alive() override { return present; }

    std::vector<std::string> stored;
    std::vector<std::string> storedNames;
    std::map<std::string, std::string> files;
    bool unreadable = false;
    bool asked = false;
    int refuseAfter = -1;
    int loseReplyOf = -1;
    int64_t partial = 0;
    bool present = true;
    bool acceptMessages = true;
    bool handedBack = false;
};

struct Job {
    ScriptedSource source;
    ScriptedDestination destination;
    JobProgress progress;
    PerKind<KindCounters> outcomes;
    bool stop = false;
    JobLoop loop;
    explicit Job(int contacts, JobOptions options = {})
        : source(contacts), loop(
                                source, destination, progress, outcomes, [this] { return stop; },
                                SmsPrompt{}, withScratch(options)) {}
    static JobOptions withScratch(JobOptions options) {
        options.workFolder = QDir::tempPath();
        return options;
    }
    std::string text(Kind kind) const { return describe(outcomes[kind], true); }
};

TEST(JobLoop, RecordsArriveAcrossPagesAndTheReportMatches) {
    Job run(5);
    run.source.ids[2].clear(); // a contact without an id cannot be stored
    run.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(run.destination.stored, (std::vector<std::string>{"1", "2", "4", "5"}));
    const KindCounters& c = run.outcomes[Kind::Contacts];
    EXPECT_EQ(c.offered, 5);
    EXPECT_EQ(c.copied, 4);
    EXPECT_EQ(c.skipped, 1);
    EXPECT_EQ(run.text(Kind::Contacts), "Failed: 1 of 5 (incomplete records)");
    EXPECT_TRUE(run.progress.kinds[Kind::Contacts].finished);
    EXPECT_EQ(run.progress.kinds[Kind::Contacts].current, 5u);
}

TEST(JobLoop, APageThatDoesNotComeCountsTheRestAsFailedAndAGoneSourceEndsLaterKinds) {
    Job run(6);
    run.source.failPageAt = 2;
    run.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(run.destination.stored.size(), 2u);
    EXPECT_EQ(run.text(Kind::Contacts), "Failed: 4 of 6 (could not be read)");

    run.source.present = false;
    run.source.failPageAt = 0;
    run.loop.copyKind(Kind::Sms);
    EXPECT_EQ(run.outcomes[Kind::Sms].firstReason(), Reason::SourceGone);
    // The next kind does not even ask a source that is gone.
    run.loop.copyKind(Kind::Photos);
    EXPECT_EQ(run.text(Kind::Photos), "Failed: source phone disconnected");
}

// One page that cannot be read loses its own records only: the loop goes on
// with the next page, and the report names them.
TEST(JobLoop, AnUnreadablePageFailsItsRecordsAndTheNextPagesStillCome) {
    Job run(7);
    run.source.unreadablePageAt = 2;
    run.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(run.destination.stored, (std::vector<std::string>{"1", "2", "5", "6", "7"}));
    EXPECT_EQ(run.text(Kind::Contacts), "Failed: 2 of 7 (could not be read)");
    // The last page is short: only the positions that exist fail.
    Job tail(5);
    tail.source.unreadablePageAt = 4;
    tail.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(tail.destination.stored.size(), 4u);
    EXPECT_EQ(tail.text(Kind::Contacts), "Failed: 1 of 5 (could not be read)");
}

TEST(JobLoop, ADestinationThatGoesEndsTheKindAndTheJob) {
    Job run(5);
    run.destination.refuseAfter = 3;
    run.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(run.destination.stored.size(), 3u);
    EXPECT_EQ(run.text(Kind::Contacts), "Failed: 2 of 5 (destination phone disconnected)");
    run.source.files = {{"a.jpg", "aaaa"}};
    run.loop.copyKind(Kind::Photos);
    EXPECT_TRUE(run.destination.files.empty());
    EXPECT_EQ(run.outcomes[Kind::Photos].firstReason(), Reason::DestinationGone);
}

TEST(JobLoop, ARecordStoredWhoseReplyWasLostCountsAsCopied) {
    Job run(4);
    run.destination.loseReplyOf = 2;
    run.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(run.destination.stored.size(), 4u);
    EXPECT_EQ(run.outcomes[Kind::Contacts].copied, 4);
    EXPECT_EQ(run.text(Kind::Contacts), "Success");

    // The same lost reply, but the destination knows the record is there only
    // in part: it stays failed.
    Job partial(4);
    partial.destination.loseReplyOf = 2;
    partial.destination.partial = 1;
    partial.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(partial.outcomes[Kind::Contacts].copied, 3);
    EXPECT_EQ(partial.outcomes[Kind::Contacts].failed, 1);
}

TEST(JobLoop, MessagesWaitForTheDestinationsConsent) {
    Job run(3);
    run.destination.acceptMessages = false;
    run.loop.copyKind(Kind::Sms);
    EXPECT_TRUE(run.destination.stored.empty());
    EXPECT_TRUE(run.destination.handedBack);
    EXPECT_EQ(run.text(Kind::Sms), "Skipped: not accepted on the phone");
}

TEST(JobLoop, FilesArriveWholeOrAreCountedWithTheirReason) {
    Job run(0);
    run.source.files = {{"a.jpg", "aaaaaaaaa"}, {"b.jpg", "bbbbbbbbbbbb"}};
    run.source.breakAfter = 8; // every file breaks off after eight bytes: b.jpg and a.jpg
    run.loop.copyKind(Kind::Photos);
    EXPECT_TRUE(run.destination.files.empty());
    EXPECT_EQ(run.text(Kind::Photos), "Failed: 2 of 2 (could not be read)");

    Job whole(0);
    whole.source.files = {{"a.jpg", "aaaaaaaaa"}, {"b.jpg", ""}};
    whole.loop.copyKind(Kind::Videos);
    EXPECT_EQ(whole.destination.files.size(), 2u);
    EXPECT_EQ(whole.text(Kind::Videos), "Success");
    EXPECT_EQ(whole.progress.kinds[Kind::Videos].totalSize, 9);
}

TEST(JobLoop, ACancelDuringAFileLeavesItUncountedAndTheRestUnstarted) {
    Job run(0);
    run.source.files = {{"a.mp4", std::string(40, 'a')}, {"b.mp4", std::string(40, 'b')}};
    run.source.onRead = [&] { run.stop = true; };
    run.loop.copyKind(Kind::Videos);
    EXPECT_TRUE(run.destination.files.empty());
    const KindCounters& c = run.outcomes[Kind::Videos];
    EXPECT_EQ(c.copied, 0);
    EXPECT_EQ(c.firstReason(), Reason::Cancelled);
}

TEST(JobLoop, ANameTooLongForThePhoneIsShortenedKeepingItsExtension) {
    Job run(0);
    std::string longName;
    while (longName.size() < 300)
        longName += "\xC3\xA9t\xC3\xA9 "; // "été " in UTF-8
    run.source.files = {{longName + ".heic", "pixels"}, {"short.jpg", "pixels"}};
    run.loop.copyKind(Kind::Photos);
    ASSERT_EQ(run.destination.files.size(), 2u);
    const std::string stored = run.destination.files.begin()->first == "short.jpg"
                                   ? std::next(run.destination.files.begin())->first
                                   : run.destination.files.begin()->first;
    EXPECT_LE(stored.size(), 255u);
    EXPECT_EQ(stored.substr(stored.size() - 5), ".heic");
    // The cut fell between characters: no lone continuation byte before the extension.
    const std::string stem = stored.substr(0, stored.size() - 5);
    EXPECT_NE(static_cast<unsigned char>(stem.back()) & 0xC0, 0xC0u) << "a character cut in two";
    EXPECT_EQ(longName.compare(0, stem.size(), stem), 0);
    EXPECT_EQ(run.outcomes[Kind::Photos].renamed, 1);
    EXPECT_EQ(run.text(Kind::Photos), "Success (1 names too long for the phone were shortened)");
}

// Skipping what already arrived --------------------------------------------------

TEST(JobLoop, ASecondRunFindsEverythingThereAndWritesNothing) {
    Job first(5);
    first.loop.copyKind(Kind::Contacts);
    ASSERT_EQ(first.destination.stored.size(), 5u);

    Job again(5);
    again.destination = first.destination;
    again.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(again.destination.stored.size(), 5u);
    const KindCounters& c = again.outcomes[Kind::Contacts];
    EXPECT_EQ(c.copied, 0);
    EXPECT_EQ(c.already, 5);
    EXPECT_EQ(evaluate(c, true), Outcome::Success);
    EXPECT_EQ(again.text(Kind::Contacts), "Success: 0 copied, 5 already there");
}

TEST(JobLoop, ARunAfterAnInterruptionCopiesOnlyWhatIsMissing) {
    Job run(5);
    run.destination.stored = {"1", "2"};
    run.destination.storedNames = {"Person 1", "Person 2"};
    run.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(
        run.destination.storedNames,
        (std::vector<std::string>{"Person 1", "Person 2", "Person 3", "Person 4", "Person 5"}));
    EXPECT_EQ(run.text(Kind::Contacts), "Success: 3 copied, 2 already there");
}

TEST(JobLoop, TwoEqualItemsOfTheSourceNeedTwoOnTheDestination) {
    Job run(3);
    run.source.names[2] = "Person 1"; // the source holds Person 1 twice
    run.destination.stored = {"1"};
    run.destination.storedNames = {"Person 1"};
    run.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(run.destination.storedNames,
              (std::vector<std::string>{"Person 1", "Person 2", "Person 1"}));
    EXPECT_EQ(run.outcomes[Kind::Contacts].already, 1);
    EXPECT_EQ(run.outcomes[Kind::Contacts].copied, 2);
}

TEST(JobLoop, KeepingDuplicatesCopiesEverythingAgain) {
    JobOptions keep;
    keep.skipExisting = false;
    Job run(3, keep);
    run.destination.stored = {"1", "2", "3"};
    run.destination.storedNames = {"Person 1", "Person 2", "Person 3"};
    run.destination.unreadable = true; // never asked
    run.loop.copyKind(Kind::Contacts);
    EXPECT_EQ(run.destination.stored.size(), 6u);
    EXPECT_EQ(run.text(Kind::Contacts), "Success");
}

TEST(JobLoop, ADestinationThatCannotBeReadIsNotWrittenBlindly) {
    Job run(3);
    run.destination.unreadable = true;
    run.loop.copyKind(Kind::Contacts);
    EXPECT_TRUE(run.destination.stored.empty());
    EXPECT_EQ(run.outcomes[Kind::Contacts].firstReason(), Reason::DestinationUnreadable);
    EXPECT_EQ(run.text(Kind::Contacts),
              "Failed: 3 of 3 (what the destination holds could not be read)");
}

TEST(JobLoop, MessagesAllThereDoNotAskForTheSmsApp) {
    Job run(3);
    run.destination.storedNames = {"Person 1", "Person 2", "Person 3"};
    run.destination.stored = {"1", "2", "3"};
    run.loop.copyKind(Kind::Sms);
    EXPECT_FALSE(run.destination.asked);
    EXPECT_EQ(run.text(Kind::Sms), "Success: 0 copied, 3 already there");

    Job some(3);
    some.destination.storedNames = {"Person 2"};
    some.destination.stored = {"2"};
    some.loop.copyKind(Kind::Sms);
    EXPECT_TRUE(some.destination.asked);
    EXPECT_EQ(some.text(Kind::Sms), "Success: 2 copied, 1 already there");
}

TEST(JobLoop, AFileIsThereByNameAndSizeOrByContentBesideAClashSuffix) {
    Job run(0);
    run.source.files = {{"a.jpg", "aaaa"}, {"b.jpg", "bbbb"}, {"c.jpg", "cccc"}, {"d.jpg", "dddd"}};
    run.destination.files = {
        {"a.jpg", "aaaa"},    // the same name and size: there
        {"b(1).jpg", "bbbb"}, // stored beside another b.jpg, same bytes: there
        {"c(1).jpg", "xxxx"}, // the same size, other bytes: not there
        {"d.jpg", "ddddd"},   // another size: not there
    };
    run.loop.copyKind(Kind::Photos);
    const KindCounters& c = run.outcomes[Kind::Photos];
    EXPECT_EQ(c.already, 2);
    EXPECT_EQ(c.copied, 2);
    EXPECT_EQ(run.destination.files.count("c.jpg"), 1u);
    EXPECT_EQ(run.text(Kind::Photos), "Success: 2 copied, 2 already there");
}

TEST(JobLoop, ADryRunCountsWhatItWouldCopyAndWritesNothing) {
    JobOptions dry;
    dry.dryRun = true;
    Job run(4, dry);
    run.destination.stored = {"1"};
    run.destination.storedNames = {"Person 1"};
    run.loop.copyKind(Kind::Contacts);
    run.loop.copyKind(Kind::Sms);
    EXPECT_EQ(run.destination.stored.size(), 1u);
    EXPECT_FALSE(run.destination.asked);
    EXPECT_EQ(run.outcomes[Kind::Contacts].planned, 3);
    EXPECT_EQ(run.outcomes[Kind::Contacts].already, 1);
    EXPECT_EQ(evaluate(run.outcomes[Kind::Contacts], true), Outcome::Success);
    EXPECT_EQ(run.text(Kind::Contacts), "Dry run: 3 to copy, 1 already there");

    run.source.files = {{"a.jpg", "aaaa"}, {"b.jpg", "bbbbbb"}};
    run.destination.files = {{"a.jpg", "aaaa"}};
    run.loop.copyKind(Kind::Photos);
    EXPECT_EQ(run.destination.files.size(), 1u);
    EXPECT_EQ(run.outcomes[Kind::Photos].planned, 1);
    EXPECT_EQ(run.outcomes[Kind::Photos].plannedBytes, 6);
}

} // namespace
