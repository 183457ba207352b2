// The folder destination without phones: a file that breaks off leaves
// nothing under any name, a name already taken is never replaced, and the
// folder's own files are read back as the records that were written.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <string>

#include "folder_destination.h"
#include "source.h"

using namespace kestrova;

namespace {

// Bytes streamed in pieces; breaks off after `breakAfter` bytes when set.
class Stream : public SourceFile {
  public:
    Stream(std::string bytes, long breakAfter = -1)
        : m_bytes(std::move(bytes)), m_breakAfter(breakAfter) {}
    int read(char* buffer, int capacity) override {
        if (m_breakAfter >= 0 && m_done >= static_cast<size_t>(m_breakAfter))
            return -1;
        const size_t n = std::min<size_t>(static_cast<size_t>(capacity), m_bytes.size() - m_done);
        std::memcpy(buffer, m_bytes.data() + m_done, n);
        m_done += n;
        return static_cast<int>(n);
    }

  private:
    std::string m_bytes;
    long m_breakAfter;
    size_t m_done = 0;
};

QStringList everything(const QString& folder) {
    return QDir(folder + "/Photos").entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

TEST(FolderDestination, FilesArriveWholeUnderAFreeNameOrNotAtAll) {
    QTemporaryDir dir;
    FolderDestination folder(dir.path());
    folder.prepare();
    EXPECT_TRUE(QFile::exists(dir.path() + "/README.txt"));
    std::atomic<int64_t> done{0};
    FileProgress progress{&done, [] { return false; }};

    Stream broken(std::string(3000000, 'x'), 1500000);
    EXPECT_EQ(folder.addFile(Kind::Photos, broken, "a.jpg", 3000000, progress),
              AddResult::ReadFailed);
    EXPECT_TRUE(everything(dir.path()).isEmpty()) << everything(dir.path()).join(' ').toStdString();

    Stream first("first"), second("second");
    EXPECT_EQ(folder.addFile(Kind::Photos, first, "a.jpg", 5, progress), AddResult::Arrived);
    EXPECT_EQ(folder.addFile(Kind::Photos, second, "a.jpg", 6, progress), AddResult::Arrived);
    EXPECT_EQ(everything(dir.path()), (QStringList{"a(1).jpg", "a.jpg"}));
    QFile kept(dir.path() + "/Photos/a.jpg");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "first");

    std::vector<StoredFile> stored;
    ASSERT_TRUE(folder.listStored(Kind::Photos, &stored));
    EXPECT_EQ(stored.size(), 2u);
}

TEST(FolderDestination, RecordsAreKeptAtTheKindsEndAndReadBackAsWritten) {
    QTemporaryDir dir;
    std::string name = "Zoë; \"Z\", the\\first", mobile = "+49 30 1234567",
                note = std::string(200, 'n') + "\nsecond line", mail = "zoe@example.org";
    ABPerson p{};
    p.firstName = name.data();
    p.mobile = mobile.data();
    p.note = note.data();
    p.homeEmail = mail.data();
    std::string address = "+4917112345", body = "line one\nline two \"quoted\"",
                date = "1700000000123", type = "1";
    SMessage m{};
    m.address = address.data();
    m.body = body.data();
    m.date = date.data();
    m.type = type.data();
    std::string title = "Dentist", start = "1700000000000", end = "1700003600000",
                zone = "Europe/Berlin", rrule = "FREQ=WEEKLY;COUNT=3";
    Calendar e{};
    e.title = title.data();
    e.start = start.data();
    e.end = end.data();
    e.timeZone = zone.data();
    e.rrule = rrule.data();
    {
        FolderDestination folder(dir.path());
        folder.prepare();
        ASSERT_TRUE(folder.addRecord(&p));
        ASSERT_TRUE(folder.addRecord(&m));
        ASSERT_TRUE(folder.addRecord(&e));
        // Nothing has its final name before the kind ends.
        EXPECT_FALSE(QFile::exists(dir.path() + "/contacts.vcf"));
        for (Kind k : {Kind::Contacts, Kind::Sms, Kind::Calendar})
            ASSERT_TRUE(folder.finishKind(k));
    }
    FolderDestination again(dir.path());
    const NumberRules rules;
    std::vector<std::string> keys;
    for (Kind k : {Kind::Contacts, Kind::Sms, Kind::Calendar})
        ASSERT_TRUE(again.readRecords(k, [&](const RecordRef& r) {
            keys.push_back(identityKey(r, rules));
            return true;
        }));
    EXPECT_EQ(keys, (std::vector<std::string>{identityKey(&p, rules), identityKey(&m, rules),
                                              identityKey(&e, rules)}));
    // Every line of the vCard file fits 75 bytes.
    QFile cards(dir.path() + "/contacts.vcf");
    ASSERT_TRUE(cards.open(QIODevice::ReadOnly));
    for (const QByteArray& line : cards.readAll().split('\n'))
        EXPECT_LE(line.size(), 76) << line.toStdString();
}

} // namespace
