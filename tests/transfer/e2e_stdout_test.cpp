// What a script gets on standard output from each program: kestrova-transfer
// prints progress lines and, last, its JSON report, and nothing else, whether
// the copy succeeds or cannot begin (no phone, no such backup, a wrong
// command line, a phone that cannot be prepared), with the documented exit
// status; --list names the lab's phones and backups the way --from takes
// them; --help and --version answer in every program; the libraries' log
// lines land in the private log file instead.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

#include <sys/stat.h>

#include "kestrova_version.h"
#include "lab_session.h"

namespace {

// Every line but the last is a progress line; the last is a JSON object,
// which is returned.
QJsonObject onlyProgressAndReport(const ProgramRun& run) {
    QStringList lines = run.out.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty()) {
        ADD_FAILURE() << "nothing on standard output; stderr: " << run.err.toStdString();
        return {};
    }
    const QString report = lines.takeLast();
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith("progress ")) << "not a progress line: " << line.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(report.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << report.toStdString();
    EXPECT_TRUE(doc.isObject()) << report.toStdString();
    return doc.object();
}

QString kindOutcome(const QJsonObject& report, const QString& kind) {
    return report.value("kinds").toObject().value(kind).toObject().value("outcome").toString();
}

TEST(DriverOutput, OnlyProgressAndTheReportInSuccessAndInEveryFailure) {
    LabSession lab({"--android", "2", "--seed", "31"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", "0", "--records", "6"}).exitCode, 0);
    const QString from = lab.androidPhone(0), to = lab.androidPhone(1);

    ProgramRun run = lab.run("kestrova-transfer",
                             {"--from", from, "--to", to, "--kinds", "contacts,photos", "--json"});
    QJsonObject report = onlyProgressAndReport(run);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(report.value("success").toBool()) << run.out.toStdString();
    EXPECT_GT(report.value("kinds").toObject().value("photos").toObject().value("copied").toInt(),
              0);
    // A photos line (when the copy was slow enough for one) gives the bytes.
    for (const QString& line : run.out.split('\n')) {
        if (line.startsWith("progress photos ") && !line.endsWith("/-1")) {
            EXPECT_TRUE(line.contains(
                QRegularExpression("^progress photos \\d+/\\d+ \\d+(\\.\\d)? (B|kB|MB)")))
                << line.toStdString();
        }
    }

    // The libraries logged, into the private log file and not onto stdout.
    const QString log = lab.dir() + "/state/kestrova/kestrova.log";
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << log.toStdString();
    EXPECT_TRUE(file.readAll().contains("Call Function: AndroidTSF_")) << "greenlink's lines";
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(log).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // No phone with that serial: exit 3, every kind failed, and why.
    run = lab.run("kestrova-transfer", {"--from", "android:no-such-phone", "--to", to, "--kinds",
                                        "contacts", "--wait", "1"});
    report = onlyProgressAndReport(run);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(kindOutcome(report, "contacts"), "failed") << run.out.toStdString();
    EXPECT_FALSE(report.value("error").toString().isEmpty());

    // No backup at that index.
    run = lab.run("kestrova-transfer", {"--from", "backup:7", "--to", to, "--kinds", "sms",
                                        "--backup-dir", lab.scratch("no-backups")});
    report = onlyProgressAndReport(run);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(kindOutcome(report, "sms"), "failed") << run.out.toStdString();

    // A wrong command line still ends with a report a script can read.
    for (const QStringList& arguments :
         {QStringList{"--from", from, "--to", to}, QStringList{"--bogus", "--all"},
          QStringList{"--from", "0", "--to", to, "--all"}}) {
        run = lab.run("kestrova-transfer", arguments);
        report = onlyProgressAndReport(run);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(report.value("error").toString(), "usage");
        EXPECT_FALSE(run.err.isEmpty()) << "and a line for people on stderr";
    }

    // A phone that cannot be prepared: without the agent's package.
    const QString apk = lab.dir() + "/tools/kestrova2.apk";
    const QString hidden = lab.scratch("apk") + "/kestrova2.apk";
    ASSERT_TRUE(QFile::rename(apk, hidden)) << apk.toStdString();
    run = lab.run("kestrova-transfer", {"--from", from, "--to", to, "--kinds", "calllogs"});
    ASSERT_TRUE(QFile::rename(hidden, apk));
    report = onlyProgressAndReport(run);
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_EQ(kindOutcome(report, "calllogs"), "failed") << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("is missing"))
        << "the reason, for people: " << run.err.toStdString();
}

// What --list prints is what --from takes, in words and as JSON.
TEST(DriverOutput, ListNamesPhonesAndBackupsAsFromTakesThem) {
    LabSession lab({"--android", "1", "--iphone", "1"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    const QString backups = lab.scratch("list-backups");
    ASSERT_EQ(lab.run("kestrova-backupfixture", {"--seed", "5", "--count", "1", "--out", backups})
                  .exitCode,
              0);

    ProgramRun json = lab.run("kestrova-transfer", {"--list", "--json", "--backup-dir", backups});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject list = QJsonDocument::fromJson(json.out.toUtf8()).object();
    const QJsonArray phones = list.value("phones").toArray();
    ASSERT_EQ(phones.size(), 2) << json.out.toStdString();
    const QJsonObject android = phones[0].toObject();
    EXPECT_EQ(android.value("argument").toString(), "android:0");
    EXPECT_EQ(android.value("id").toString(), lab.serial(0));
    EXPECT_TRUE(android.value("ready").toBool()) << json.out.toStdString();
    EXPECT_FALSE(android.value("model").toString().isEmpty());
    const QJsonObject iphone = phones[1].toObject();
    EXPECT_EQ(iphone.value("argument").toString(), "iphone:0");
    EXPECT_FALSE(iphone.value("id").toString().isEmpty());
    EXPECT_FALSE(iphone.value("state").toString().isEmpty());
    const QJsonArray found = list.value("backups").toArray();
    ASSERT_EQ(found.size(), 1) << json.out.toStdString();
    EXPECT_EQ(found[0].toObject().value("argument").toString(), "backup:0");
    EXPECT_FALSE(found[0].toObject().value("name").toString().isEmpty());
    EXPECT_FALSE(found[0].toObject().value("encrypted").toBool(true));

    const ProgramRun text = lab.run("kestrova-transfer", {"--list", "--backup-dir", backups});
    EXPECT_EQ(text.exitCode, 0);
    for (const QString& part :
         {QString("android:0  ") + lab.serial(0), QString("iphone:0  "), QString("backup:0  ")})
        EXPECT_TRUE(text.out.contains(part))
            << part.toStdString() << " in " << text.out.toStdString();

    // The serial alone, as --list shows it, names the phone: here it is no
    // destination for itself.
    const ProgramRun same = lab.run(
        "kestrova-transfer", {"--from", lab.serial(0), "--to", "android:0", "--kinds", "contacts"});
    EXPECT_EQ(same.exitCode, 3) << same.out.toStdString() << same.err.toStdString();
}

ProgramRun runAlone(const QString& program, const QStringList& arguments, bool offscreen = false) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY"); // --help and --version need no window system
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    if (offscreen) // the window's program checks its options once Qt has taken its own
        env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KESTROVA_BIN_DIR "/") + program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(ProgramOptions, HelpAndVersionInEveryProgram) {
    for (const QString program : {"kestrova", "kestrova-transfer", "kestrova-backup"}) {
        SCOPED_TRACE(program.toStdString());
        const ProgramRun version = runAlone(program, {"--version"});
        EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
        EXPECT_EQ(version.out, program + " " KESTROVA_VERSION "\n");
        const ProgramRun help = runAlone(program, {"--help"});
        EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
        EXPECT_TRUE(help.out.contains("--version")) << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("kestrova/kestrova.log")) << "says where the log is";
        const ProgramRun wrong = runAlone(program, {"--no-such-option"}, true);
        EXPECT_EQ(wrong.exitCode, 2);
        EXPECT_TRUE(wrong.err.contains("no-such-option")) << wrong.err.toStdString();
    }
}

} // namespace
