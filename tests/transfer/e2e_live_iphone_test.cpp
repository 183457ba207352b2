// A live iPhone of today (its file relay refused) read through a backup the
// driver takes with the real libimobiledevice from the virtual iPhone's
// backup service, end to end onto a virtual Android phone.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>

#include <archive.h>
#include <archive_entry.h>
#include <csignal>

#include "../gui/ios_records.h"
#include "lab_session.h"

namespace {

QJsonObject kindReport(const QJsonObject& report, const char* kind) {
    return report.value("kinds").toObject().value(kind).toObject();
}

QString outcomeOf(const QJsonObject& report, const char* kind) {
    return kindReport(report, kind).value("outcome").toString();
}

QString reasonOf(const QJsonObject& report, const char* kind) {
    return kindReport(report, kind).value("reason").toString();
}

QString statusOf(const QString& backupFolder) {
    QFile f(backupFolder + "/Status.plist");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

// The last JSON line a running driver printed.
QJsonObject lastReport(const QString& out) {
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QJsonObject()
                           : QJsonDocument::fromJson(lines.last().toUtf8()).object();
}

// Unpacks the address book files of a zip (stored under long paths) into dir.
int unpackAddressBook(const QString& zip, const QString& dir) {
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    int written = 0;
    archive_entry* entry = nullptr;
    if (archive_read_open_filename(a, zip.toUtf8().constData(), 1 << 16) == ARCHIVE_OK) {
        while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
            const QString name =
                QFileInfo(QString::fromUtf8(archive_entry_pathname(entry))).fileName();
            if (!name.startsWith("AddressBook.sqlitedb"))
                continue;
            QFile out(dir + "/" + name);
            if (!out.open(QIODevice::WriteOnly))
                break;
            char buf[1 << 16];
            for (la_ssize_t n; (n = archive_read_data(a, buf, sizeof buf)) > 0;)
                out.write(buf, n);
            ++written;
        }
    }
    archive_read_free(a);
    return written;
}

// Starts a driver and waits until it reports the backup under way.
std::unique_ptr<QProcess> startedBackup(LabSession& lab, const QStringList& arguments,
                                        QString* out) {
    auto driver = lab.start("kestrova-transfer", arguments);
    for (int i = 0; i < 600 && driver->state() != QProcess::NotRunning; ++i) {
        driver->waitForReadyRead(100);
        *out += QString::fromUtf8(driver->readAllStandardOutput());
        if (out->contains("progress Reading the iPhone"))
            break;
    }
    return driver;
}

QString finish(QProcess& driver, QString out) {
    waitForExit(driver, 60000);
    return out + QString::fromUtf8(driver.readAllStandardOutput());
}

TEST(LiveIphone, FourKindsAndMediaArriveAndTheSecondBackupIsIncremental) {
    LabSession lab({"--android", "2", "--seed", "21"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_TRUE(lab.startIphone("ios=17.2,count=12,large-mb=8"));
    const QStringList args{"--from",  "iphone:0",
                           "--to",    lab.androidPhone(1),
                           "--kinds", "contacts,sms,calllogs,calendar,photos,videos"};
    ProgramRun run;
    const QJsonObject report = lab.transfer(args, &run);
    ASSERT_FALSE(report.isEmpty()) << run.out.toStdString() << run.err.toStdString();
    for (const char* kind : {"contacts", "sms", "calllogs", "calendar", "photos", "videos"})
        EXPECT_EQ(outcomeOf(report, kind), "success")
            << kind << ": " << kindReport(report, kind).value("text").toString().toStdString();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("progress Reading the iPhone: ")) << run.out.toStdString();

    // The backup is a real one in the user's backup folder, finished.
    const QJsonObject backup = report.value("backup").toObject();
    const QString folder = backup.value("folder").toString();
    EXPECT_TRUE(folder.endsWith("/MobileSync/Backup/00008030-0011223344556601"))
        << folder.toStdString();
    EXPECT_TRUE(statusOf(folder).contains("finished"));
    EXPECT_FALSE(QFileInfo::exists(folder + "/.pending-backup"));
    EXPECT_GT(backup.value("seconds").toDouble(), 0.0);

    // Record by record what the phone's databases hold.
    const QJsonObject to = lab.dump(1);
    const QString library = lab.iphoneRoot() + "/var/mobile/Library";
    const QStringList contacts =
        iosrecords::contacts(library + "/AddressBook/AddressBook.sqlitedb");
    EXPECT_FALSE(contacts.isEmpty());
    EXPECT_EQ(iosrecords::dumpKeys(to, "contacts", {"firstName", "lastName", "mobile"}), contacts);
    const QStringList messages = iosrecords::messages(library + "/SMS/sms.db");
    EXPECT_FALSE(messages.isEmpty());
    EXPECT_EQ(iosrecords::dumpKeys(to, "messages", {"address", "date", "type", "body"}), messages);
    const QStringList events = iosrecords::events(library + "/Calendar/Calendar.sqlitedb");
    EXPECT_EQ(iosrecords::dumpKeys(to, "calendar", {"title", "start", "end"}), events);
    EXPECT_EQ(to.value("calls").toArray().size(),
              kindReport(report, "calllogs").value("copied").toInt());
    EXPECT_GT(to.value("calls").toArray().size(), 0);
    // Photos (HEIC among them) and videos byte for byte, from the file service.
    const QStringList media = folderContents(lab.iphoneRoot() + "/DCIM", kIphoneMediaFiles);
    EXPECT_TRUE(media.join('\n').contains(".HEIC", Qt::CaseInsensitive));
    EXPECT_EQ(allFiles(to), media);

    // Nothing changed on the phone: the second backup moves almost nothing.
    ProgramRun again;
    // (named by its UDID this time)
    const QJsonObject second = lab.transfer({"--from", "iphone:00008030-0011223344556601", "--to",
                                             lab.androidPhone(0), "--kinds", "contacts,sms"},
                                            &again);
    ASSERT_FALSE(second.isEmpty()) << again.out.toStdString();
    EXPECT_EQ(outcomeOf(second, "contacts"), "success");
    EXPECT_EQ(outcomeOf(second, "sms"), "success");
    const double first = backup.value("bytes").toDouble();
    const double next = second.value("backup").toObject().value("bytes").toDouble();
    std::printf("backup bytes: first %.0f, second %.0f (%.2f%%)\n", first, next,
                first > 0 ? 100.0 * next / first : 0.0);
    EXPECT_GT(first, 8e6);
    EXPECT_LE(next, first * 0.10);
}

TEST(LiveIphone, ACancelledBackupLeavesTheEarlierOneReadable) {
    LabSession lab({"--android", "2", "--seed", "22"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_TRUE(lab.startIphone("ios=16.1,count=6"));
    const QStringList args{"--from",  "iphone:0", "--to", lab.androidPhone(1),
                           "--kinds", "contacts"};
    const QJsonObject first = lab.transfer(args);
    ASSERT_EQ(outcomeOf(first, "contacts"), "success");
    const QString folder = first.value("backup").toObject().value("folder").toString();
    const int contacts = kindReport(first, "contacts").value("copied").toInt();

    // Something new on the phone, and the backup held mid-way: cancel it.
    QFile extra(lab.iphoneRoot() + "/DCIM/100APPLE/IMG_9000.HEIC");
    ASSERT_TRUE(extra.open(QIODevice::WriteOnly));
    extra.write(QByteArray(3 << 20, 'x'));
    extra.close();
    ASSERT_TRUE(lab.iphoneCommand("stall 0 on"));
    QString out;
    auto driver = startedBackup(lab, args, &out);
    QThread::msleep(1500);
    ::kill(static_cast<pid_t>(driver->processId()), SIGTERM);
    out = finish(*driver, out);
    ASSERT_TRUE(lab.iphoneCommand("stall 0 off"));
    EXPECT_EQ(outcomeOf(lastReport(out), "contacts"), "cancelled") << out.toStdString();
    // The earlier backup is still the finished one, and reads as before.
    EXPECT_TRUE(statusOf(folder).contains("finished"));
    const QJsonObject reread =
        lab.transfer({"--from", "backup:0", "--to", lab.androidPhone(0), "--backup-dir",
                      QFileInfo(folder).path(), "--kinds", "contacts"});
    EXPECT_EQ(outcomeOf(reread, "contacts"), "success");
    EXPECT_EQ(kindReport(reread, "contacts").value("copied").toInt(), contacts);
    // And the next live run takes its backup again from there.
    const QJsonObject next = lab.transfer(args);
    EXPECT_EQ(outcomeOf(next, "contacts"), "success");
}

TEST(LiveIphone, AnUnplugMidBackupIsReportedAsDisconnectedAtOnce) {
    LabSession lab({"--android", "2", "--seed", "23"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_TRUE(lab.startIphone("ios=17.2,count=6"));
    ASSERT_TRUE(lab.iphoneCommand("stall 0 on"));
    QString out;
    auto driver = startedBackup(
        lab, {"--from", "iphone:0", "--to", lab.androidPhone(1), "--kinds", "contacts,photos"},
        &out);
    QThread::msleep(500);
    QElapsedTimer sinceUnplug;
    ASSERT_TRUE(lab.iphoneCommand("detach 0"));
    sinceUnplug.start();
    out = finish(*driver, out);
    EXPECT_LT(sinceUnplug.elapsed(), 5000);
    const QJsonObject report = lastReport(out);
    EXPECT_EQ(reasonOf(report, "contacts"), "source_gone") << out.toStdString();
    EXPECT_EQ(kindReport(report, "contacts").value("text").toString(),
              "Failed: source phone disconnected");
    EXPECT_EQ(reasonOf(report, "photos"), "source_gone");
}

// Pulled out while its files stream: the kind in hand says the phone was
// disconnected (usbmuxd is asked at once, not the device list, which hears of
// the unplug only later), not that a read failed.
TEST(LiveIphone, AnUnplugWhileFilesStreamSaysThePhoneWasDisconnected) {
    LabSession lab({"--android", "2", "--seed", "27"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_TRUE(lab.startIphone("ios=17.2,count=6,large-mb=8"));
    ASSERT_TRUE(lab.iphoneCommand("unplug 0 3000000"));
    ProgramRun run;
    const QJsonObject report = lab.transfer(
        {"--from", "iphone:0", "--to", lab.androidPhone(1), "--kinds", "videos"}, &run);
    EXPECT_EQ(reasonOf(report, "videos"), "source_gone") << run.out.toStdString();
    EXPECT_EQ(run.exitCode, 1);
}

// An encrypting phone, a locked one and a full disk end the personal kinds
// with their own words; media still arrive where the phone gives them.
TEST(LiveIphone, EncryptionLockAndFullDiskEndThePersonalKindsWithTheirReason) {
    struct Case {
        const char* options;
        const char* reason;
    } cases[] = {{"ios=17.2,encrypt=1", "backup_encryption_on"},
                 {"ios=17.2,backup-error=208", "not_trusted"},
                 {"ios=17.2,used-mb=900000000", "no_space"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        LabSession lab({"--android", "2", "--seed", "24"});
        ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
        ASSERT_TRUE(lab.startIphone(c.options));
        ProgramRun run;
        const QJsonObject report = lab.transfer(
            {"--from", "iphone:0", "--to", lab.androidPhone(1), "--kinds", "contacts,photos"},
            &run);
        EXPECT_EQ(reasonOf(report, "contacts"), c.reason) << run.out.toStdString();
        EXPECT_EQ(outcomeOf(report, "photos"), "success");
        if (QString(c.reason) == "backup_encryption_on") {
            EXPECT_EQ(kindReport(report, "contacts").value("text").toString(),
                      "Failed: backup encryption is on (password needed)");
        }
        if (QString(c.reason) == "no_space") {
            // The iPhone library's reason is in the program's log.
            QFile log(lab.dir() + "/state/kestrova/kestrova.log");
            ASSERT_TRUE(log.open(QIODevice::ReadOnly));
            EXPECT_TRUE(log.readAll().contains("needs about"));
            EXPECT_FALSE(run.out.contains("needs about")) << "never on standard output";
        }
    }
}

// A phone that encrypts its backups: with its password the backup is taken
// encrypted (nothing of the phone's lies in plain on this computer) and the
// four kinds are read from it; a wrong password says so after the backup.
TEST(LiveIphone, AnEncryptingPhoneIsReadWithItsBackupPassword) {
    LabSession lab({"--android", "2", "--seed", "26"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_TRUE(lab.startIphone("ios=17.2,count=8,encrypt=1,password=open sesame 7"));
    const QString passwordFile = lab.scratch("secret") + "/password";
    auto writePassword = [&](const QByteArray& text) {
        QFile f(passwordFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text + "\n");
    };
    writePassword("open sesame 7");
    const QStringList args{"--from",
                           "iphone:0",
                           "--to",
                           lab.androidPhone(1),
                           "--kinds",
                           "contacts,sms,calendar,photos",
                           "--password-file",
                           passwordFile};
    ProgramRun run;
    const QJsonObject report = lab.transfer(args, &run);
    ASSERT_FALSE(report.isEmpty()) << run.out.toStdString() << run.err.toStdString();
    for (const char* kind : {"contacts", "sms", "calendar", "photos"})
        EXPECT_EQ(outcomeOf(report, kind), "success")
            << kind << ": " << kindReport(report, kind).value("text").toString().toStdString();
    const QString library = lab.iphoneRoot() + "/var/mobile/Library";
    const QJsonObject to = lab.dump(1);
    EXPECT_EQ(iosrecords::dumpKeys(to, "contacts", {"firstName", "lastName", "mobile"}),
              iosrecords::contacts(library + "/AddressBook/AddressBook.sqlitedb"));
    EXPECT_EQ(iosrecords::dumpKeys(to, "messages", {"address", "date", "type", "body"}),
              iosrecords::messages(library + "/SMS/sms.db"));

    // The backup on disk is encrypted: no database in it opens as one.
    const QString folder = report.value("backup").toObject().value("folder").toString();
    QFile manifest(folder + "/Manifest.plist");
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    EXPECT_TRUE(manifest.readAll().contains("BackupKeyBag"));
    int plainDatabases = 0, files = 0;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        ++files;
        plainDatabases += f.read(16).startsWith("SQLite format 3") ? 1 : 0;
    }
    EXPECT_GT(files, 4);
    EXPECT_EQ(plainDatabases, 0);

    // A wrong password: the backup is taken, the personal kinds say why.
    writePassword("open sesame 8");
    ProgramRun wrong;
    const QJsonObject refused = lab.transfer(args, &wrong);
    EXPECT_EQ(reasonOf(refused, "contacts"), "wrong_password") << wrong.out.toStdString();
    EXPECT_EQ(outcomeOf(refused, "photos"), "success");
    EXPECT_EQ(wrong.exitCode, 1);
}

// Databases of a real iPhone (public forensic samples, with their -wal
// files) in a virtual iPhone's content folder arrive record for record.
TEST(LiveIphone, ARealIphonesAddressBookArrivesRecordForRecord) {
    const QString zip = QStringLiteral(KESTROVA_SOURCE_DIR
                                       "/../shared/fixtures/ios/addressbook/josh_ios15_ffs.zip");
    if (!QFileInfo::exists(zip))
        GTEST_SKIP() << "no public sample at " << zip.toStdString();
    LabSession lab({"--android", "2", "--seed", "25"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    const QString content = lab.scratch("content");
    QDir().mkpath(content + "/Library/AddressBook");
    QDir().mkpath(content + "/Media/DCIM/100APPLE");
    ASSERT_GE(unpackAddressBook(zip, content + "/Library/AddressBook"), 1);
    QFile photo(content + "/Media/DCIM/100APPLE/IMG_0001.HEIC");
    ASSERT_TRUE(photo.open(QIODevice::WriteOnly));
    photo.write(QByteArray("\0\0\0\x18"
                           "ftypheic",
                           12) +
                QByteArray(5000, 'h'));
    photo.close();
    ASSERT_TRUE(lab.startIphone("ios=15.3,content=" + content));
    ProgramRun run;
    const QJsonObject report = lab.transfer(
        {"--from", "iphone:0", "--to", lab.androidPhone(1), "--kinds", "contacts,photos"}, &run);
    EXPECT_EQ(outcomeOf(report, "contacts"), "success") << run.out.toStdString();
    EXPECT_EQ(outcomeOf(report, "photos"), "success");
    const QStringList expected =
        iosrecords::contacts(content + "/Library/AddressBook/AddressBook.sqlitedb");
    EXPECT_GE(expected.size(), 9);
    EXPECT_EQ(iosrecords::dumpKeys(lab.dump(1), "contacts", {"firstName", "lastName", "mobile"}),
              expected);
}

} // namespace
