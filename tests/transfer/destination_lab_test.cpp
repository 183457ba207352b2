// What an Android phone as the destination tells the job about what it
// already holds, against one virtual phone: its records as the job reads
// them back, its files by name and size, their contents, and the rule for
// its phone numbers from the country of its SIM card.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <set>
#include <string>

#include "android_destination.h"
#include "greenlink.h"
#include "lab_session.h"
#include "source.h"

using namespace kestrova;

namespace {

// A file of this computer, as a backup source hands it to a destination.
class LocalFile : public SourceFile {
  public:
    explicit LocalFile(std::string path) : m_path(std::move(path)) {}
    std::string localPath() const override { return m_path; }

  private:
    std::string m_path;
};

bool preparePhone(int index) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        if (AndroidTSF_CheckConnectDeviceToPC_Count() > 0 &&
            AndroidTSF_CheckDeviceDetected(index) == 0)
            return AndroidTSF_ReadyTodoing(index) == 0;
        QThread::msleep(250);
    }
    return false;
}

std::string writeLocal(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.close();
    return path.toStdString();
}

TEST(AndroidDestinationHoldings, RecordsFilesAndNumbersAsTheJobComparesThem) {
    LabSession lab({"--android", "1", "--scenario", "legacy", "--sim-country", "de"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    lab.applyToProcess();
    AndroidTSF_Init();
    ASSERT_TRUE(preparePhone(0));
    AndroidDestination phone(0);

    // A German SIM card: "030 ..." and "+49 30 ..." are one number there.
    const NumberRules rules = phone.numberRules();
    EXPECT_EQ(rules.callingCode, "49");

    std::string first = "Anna", last = "Berg", international = "+49 30 1234567",
                mail = "anna@example.org";
    ABPerson stored{};
    stored.firstName = first.data();
    stored.lastName = last.data();
    stored.mobile = international.data();
    stored.homeEmail = mail.data();
    stored.contactId = first.data();
    ASSERT_TRUE(phone.addRecord(&stored));

    std::multiset<std::string> keys;
    ASSERT_TRUE(phone.readRecords(Kind::Contacts, [&](const RecordRef& r) {
        keys.insert(identityKey(r, rules));
        return true;
    }));
    std::string national = "030 1234567";
    ABPerson fromOldPhone = stored;
    fromOldPhone.mobile = national.data();
    EXPECT_EQ(keys, (std::multiset<std::string>{identityKey(&fromOldPhone, rules)}));
    EXPECT_NE(identityKey(&fromOldPhone, NumberRules{}), *keys.begin());

    // Files: the same name twice is stored beside itself with a suffix.
    const QString local = lab.scratch("files");
    LocalFile a(writeLocal(local + "/a.jpg", QByteArray(5000, 'a')));
    LocalFile b(writeLocal(local + "/b.jpg", QByteArray(5000, 'b')));
    std::atomic<int64_t> done{0};
    FileProgress progress{&done, [] { return false; }};
    ASSERT_EQ(phone.addFile(Kind::Photos, a, "a.jpg", 5000, progress), AddResult::Arrived);
    ASSERT_EQ(phone.addFile(Kind::Photos, b, "a.jpg", 5000, progress), AddResult::Arrived);
    std::vector<StoredFile> files;
    ASSERT_TRUE(phone.listStored(Kind::Photos, &files));
    std::set<std::string> names;
    for (const StoredFile& f : files) {
        names.insert(f.name + " " + std::to_string(f.size));
        if (f.name == "a(1).jpg") {
            const std::string copy = (local + "/copy").toStdString();
            ASSERT_TRUE(phone.fetchStored(Kind::Photos, f, copy));
            QFile back(QString::fromStdString(copy));
            ASSERT_TRUE(back.open(QIODevice::ReadOnly));
            EXPECT_EQ(back.readAll(), QByteArray(5000, 'b'));
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{"a.jpg 5000", "a(1).jpg 5000"}));
    EXPECT_EQ(phone.storedName(Kind::Photos, "x;y/z.jpg"), "x_y_z.jpg");
    AndroidTSF_UnInit();
}

} // namespace
