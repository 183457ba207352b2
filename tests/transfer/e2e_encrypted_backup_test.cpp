// Encrypted iTunes backups to an Android phone, end to end in the virtual
// lab with the headless driver: with the password every kind arrives exactly
// as from the same backup unencrypted; without it, or with a wrong one,
// every kind fails and the phone is left as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include "lab_session.h"

namespace {

const char kPassword[] = "Sommer 2026 / Kranich";
const char* const kKinds[] = {"contacts", "sms",    "calllogs", "calendar",
                              "photos",   "videos", "music"};
const char kKindList[] = "contacts,sms,calllogs,calendar,photos,videos,music";

QJsonObject kindReport(const QJsonObject& report, const char* kind) {
    return report.value("kinds").toObject().value(kind).toObject();
}

QString writePasswordFile(const LabSession& lab, const QString& name, const QString& password) {
    const QString path = lab.scratch("secrets") + "/" + name;
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(password.toUtf8() + "\n");
    return path;
}

} // namespace

class EncryptedBackupToAndroid : public ::testing::TestWithParam<QStringList> {};

TEST_P(EncryptedBackupToAndroid, EveryKindArrivesAsFromThePlainBackup) {
    LabSession lab({"--android", "2", "--seed", "15"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    const QStringList backup = GetParam() + QStringList{"--seed", "9", "--count", "12"};
    ASSERT_TRUE(lab.makeBackup(
        backup + QStringList{"--encrypted", "--password", kPassword, "--iterations", "1000"}));
    // The same backup unencrypted: its databases hold the same records.
    const QString plainDir = lab.scratch("plain");
    ASSERT_EQ(lab.run("kestrova-backupfixture", backup + QStringList{"--out", plainDir}).exitCode,
              0);

    ProgramRun run;
    const QJsonObject report = lab.transfer(
        {"--from", "backup:0", "--to", lab.androidPhone(1), "--backup-dir", lab.backupDir(),
         "--kinds", kKindList, "--password-file", writePasswordFile(lab, "pw", kPassword)},
        &run);
    ASSERT_FALSE(report.isEmpty()) << run.out.toStdString() << run.err.toStdString();
    for (const char* kind : kKinds)
        EXPECT_EQ(kindReport(report, kind).value("outcome").toString(), "success")
            << kind << ": " << kindReport(report, kind).value("text").toString().toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(lab.transfer({"--from", "backup:0", "--to", lab.androidPhone(0), "--backup-dir",
                              plainDir, "--kinds", "contacts,sms,calllogs,calendar"})
                    .value("success")
                    .toBool());

    const QJsonObject fromEncrypted = lab.dump(1);
    const QJsonObject fromPlain = lab.dump(0);
    for (const char* kind : {"contacts", "messages", "calls", "calendar"}) {
        EXPECT_FALSE(projectedRecords(fromEncrypted, kind).isEmpty()) << kind;
        EXPECT_EQ(projectedRecords(fromEncrypted, kind), projectedRecords(fromPlain, kind)) << kind;
    }
    // Files: byte for byte what the backup holds, as kestrova-backup
    // decrypts it (itself checked against what went in, in its own tests).
    const QString decrypted = lab.scratch("decrypted") + "/out";
    ProgramRun x = lab.run(
        "kestrova-backup",
        {"decrypt", "--password-file", writePasswordFile(lab, "pw2", kPassword),
         QDir(lab.backupDir()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot).first().filePath(),
         decrypted});
    ASSERT_EQ(x.exitCode, 0) << x.out.toStdString() << x.err.toStdString();
    const QStringList files = allFiles(fromEncrypted);
    EXPECT_EQ(files.size(), 36);
    // The camera roll and the music; thumbnails are no photos of their own.
    QStringList inBackup =
        folderContents(decrypted + "/CameraRollDomain/Media/DCIM", kIphoneMediaFiles) +
        folderContents(decrypted + "/MediaDomain", kIphoneMediaFiles);
    inBackup.sort();
    EXPECT_EQ(files, inBackup);
    // Nothing decrypted is left behind in the job's work folders.
    EXPECT_TRUE(folderContents(lab.dir(), {"sms.db", "AddressBook.sqlitedb", "Manifest.db"})
                    .filter("jukelink-")
                    .isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Manifests, EncryptedBackupToAndroid,
                         ::testing::Values(QStringList{"--format", "db", "--ios", "14"},
                                           QStringList{"--format", "mbdb", "--ios", "9"}),
                         [](const auto& p) {
                             return p.param.at(1) == "db" ? std::string("ManifestDb")
                                                          : std::string("ManifestMbdb");
                         });

// The real iteration counts (10,000,000 for the first step): the driver shows
// the unlocking step, and a wrong password or none changes nothing.
TEST(EncryptedBackupToAndroid, WithoutTheRightPasswordEveryKindFailsAndNothingIsWritten) {
    LabSession lab({"--android", "2", "--seed", "16"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_TRUE(lab.makeBackup({"--format", "db", "--ios", "17", "--seed", "10", "--count", "5",
                                "--encrypted", "--password", kPassword, "--iterations", "10000",
                                "--dp-iterations", "10000000"}));
    const QJsonObject before = lab.dump(1);
    const QStringList common = {"--from",       "backup:0",      "--to",    lab.androidPhone(1),
                                "--backup-dir", lab.backupDir(), "--kinds", kKindList};

    ProgramRun none;
    QJsonObject report = lab.transfer(common, &none);
    ASSERT_FALSE(report.isEmpty()) << none.out.toStdString();
    for (const char* kind : kKinds)
        EXPECT_EQ(kindReport(report, kind).value("text").toString(),
                  "Failed: backup is encrypted (password needed)")
            << kind;
    EXPECT_NE(none.exitCode, 0);

    ProgramRun wrong;
    report = lab.transfer(
        common + QStringList{"--password-file", writePasswordFile(lab, "wrong", "Sommer 2025")},
        &wrong);
    ASSERT_FALSE(report.isEmpty()) << wrong.out.toStdString();
    for (const char* kind : kKinds) {
        EXPECT_EQ(kindReport(report, kind).value("text").toString(),
                  "Failed: wrong backup password")
            << kind;
        EXPECT_EQ(kindReport(report, kind).value("reason").toString(), "wrong_password");
    }
    EXPECT_NE(wrong.exitCode, 0);
    EXPECT_TRUE(wrong.out.contains("Unlocking the backup...")) << wrong.out.toStdString();
    EXPECT_FALSE(wrong.out.contains("Sommer") || wrong.err.contains("Sommer"))
        << "the password is never printed";

    EXPECT_EQ(lab.dump(1), before) << "nothing was written to the phone";
    ProgramRun plainArgument =
        lab.run("kestrova-transfer", common + QStringList{"--password", kPassword});
    EXPECT_EQ(plainArgument.exitCode, 2) << "a password is never taken as an argument";
}
