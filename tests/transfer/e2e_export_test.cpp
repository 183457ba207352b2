// Export to a folder, end to end: the driver writes a phone's or a backup's
// data as plain files; an independent reader (export_check.py: Python's
// standard library and python3-icalendar) compares them with the source
// field by field and byte by byte; a second export adds nothing, and no
// partial file is ever left under a name of its own.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include "lab_session.h"

namespace {

QJsonObject kindReport(const QJsonObject& report, const QString& kind) {
    return report.value("kinds").toObject().value(kind).toObject();
}

// Every file below the folder with its size, hidden ones included.
QStringList listing(const QString& folder) {
    QStringList all;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        all << QDir(folder).relativeFilePath(path) + " " + QString::number(QFileInfo(path).size());
    }
    all.sort();
    return all;
}

void expectAllAlready(const QJsonObject& report) {
    const QJsonObject kinds = report.value("kinds").toObject();
    for (auto it = kinds.begin(); it != kinds.end(); ++it) {
        const QJsonObject k = it.value().toObject();
        EXPECT_EQ(k.value("outcome").toString(), "success") << it.key().toStdString();
        EXPECT_EQ(k.value("copied").toInt(), 0) << it.key().toStdString();
        EXPECT_EQ(k.value("already").toInt(), k.value("offered").toInt()) << it.key().toStdString();
    }
}

TEST(ExportToFolder, APhonesDataReadsBackWholeAndASecondExportAddsNothing) {
    LabSession lab({"--android", "1", "--seed", "61"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", "0", "--records", "15", "--photos", "3", "--videos", "2",
                               "--music", "2", "--apps", "1"})
                  .exitCode,
              0);
    const QString folder = lab.dir() + "/export";
    const QStringList job = {"--from", lab.androidPhone(0), "--to", "folder:" + folder, "--all"};
    ProgramRun run;
    const QJsonObject first = lab.transfer(job, &run);
    ASSERT_TRUE(first.value("success").toBool()) << run.out.toStdString();
    EXPECT_TRUE(QFile::exists(folder + "/README.txt"));
    EXPECT_TRUE(QDir(folder + "/Apps").entryList(QDir::Files).value(0).endsWith(".apk"));

    const QString dump = lab.dir() + "/source.json";
    QFile out(dump);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(lab.lab("dump", {"--phone", "0"}).out.toUtf8());
    out.close();
    QProcess check;
    check.start("/usr/bin/python3",
                {QString(KESTROVA_SOURCE_DIR) + "/tests/transfer/export_check.py", folder, dump});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString()
                                   << check.readAllStandardError().toStdString();

    // Photos keep the date they had on the phone.
    QDirIterator photos(lab.phoneDir(0) + "/sdcard", {"*.jpg"}, QDir::Files,
                        QDirIterator::Subdirectories);
    int dated = 0;
    while (photos.hasNext()) {
        const QFileInfo original(photos.next());
        const QFileInfo copy(folder + "/Photos/" + original.fileName());
        ASSERT_TRUE(copy.exists()) << original.fileName().toStdString();
        EXPECT_EQ(copy.lastModified().toSecsSinceEpoch(),
                  original.lastModified().toSecsSinceEpoch());
        ++dated;
    }
    EXPECT_GT(dated, 0);

    const QStringList before = listing(folder);
    for (const QString& file : before)
        EXPECT_FALSE(QFileInfo(file).fileName().startsWith('.')) << file.toStdString();
    const QJsonObject second = lab.transfer(job, &run);
    ASSERT_TRUE(second.value("success").toBool()) << run.out.toStdString();
    expectAllAlready(second);
    EXPECT_EQ(listing(folder), before);
}

TEST(ExportToFolder, ABackupExportsEveryKindItHolds) {
    LabSession lab({"--android", "1", "--seed", "62"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_TRUE(lab.makeBackup({"--format", "db", "--ios", "14", "--seed", "9", "--count", "8"}));
    const QString folder = lab.dir() + "/export";
    const QStringList job = {"--from",       "backup:0",
                             "--backup-dir", lab.backupDir(),
                             "--to",         "folder:" + folder,
                             "--kinds",      "contacts,sms,calllogs,calendar,photos,videos,music"};
    ProgramRun run;
    const QJsonObject first = lab.transfer(job, &run);
    ASSERT_TRUE(first.value("success").toBool()) << run.out.toStdString();
    EXPECT_GT(kindReport(first, "contacts").value("copied").toInt(), 0);
    EXPECT_GT(kindReport(first, "calendar").value("copied").toInt(), 0);
    for (const char* file : {"contacts.vcf", "messages.ndjson", "calls.json", "calendar.ics"})
        EXPECT_TRUE(QFile::exists(folder + "/" + file)) << file;
    const QJsonObject second = lab.transfer(job, &run);
    ASSERT_TRUE(second.value("success").toBool()) << run.out.toStdString();
    expectAllAlready(second);
}

} // namespace
