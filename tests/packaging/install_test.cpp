// The installed program: `cmake --install` of this build into a staging
// prefix, its layout checked against the build's bin/, then the installed
// driver and window run from there against the virtual lab.
#include <gtest/gtest.h>

#include "kestrova_version.h"
#include "lab_session.h"
#include "program_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>

namespace {

const QString kBuildBin = QStringLiteral(KESTROVA_BIN_DIR);

// One staging install for every test of this binary.
class Installed : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_stage = std::make_unique<QTemporaryDir>(
            QStringLiteral(KESTROVA_TEST_BUILD_DIR "/stage-XXXXXX"));
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(KESTROVA_CMAKE),
                      {"--install", KESTROVA_BUILD_ROOT, "--prefix", s_stage->path()});
        s_installed = install.waitForFinished(120000) &&
                      install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0;
        s_installLog = QString::fromUtf8(install.readAll());
    }
    static void TearDownTestSuite() { s_stage.reset(); }
    void SetUp() override { ASSERT_TRUE(s_installed) << s_installLog.toStdString(); }

    static QString prefix() { return s_stage->path(); }
    static QString program(const QString& name) { return prefix() + "/bin/" + name; }
    static QString programFolder() {
        return prefix() + QStringLiteral("/" KESTROVA_INSTALL_PROGRAM_DIR);
    }

    static std::unique_ptr<QTemporaryDir> s_stage;
    static bool s_installed;
    static QString s_installLog;
};
std::unique_ptr<QTemporaryDir> Installed::s_stage;
bool Installed::s_installed = false;
QString Installed::s_installLog;

// Paths below root, relative, of the files (and links) a folder holds.
QStringList filesBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

TEST_F(Installed, ProgramFolderHoldsWhatTheBuildsBinHoldsAndTheProgramsFindIt) {
    EXPECT_EQ(QDir(prefix() + "/bin").entryList(QDir::Files, QDir::Name),
              QStringList({"kestrova", "kestrova-backup", "kestrova-transfer"}));
    // The choice the installed executables make from their own place.
    EXPECT_EQ(
        QString::fromStdString(kestrova::programFolderFor((prefix() + "/bin/").toStdString())),
        programFolder() + "/");
    // And the build's own programs keep their folder.
    EXPECT_EQ(QString::fromStdString(kestrova::programFolderFor((kBuildBin + "/").toStdString())),
              kBuildBin + "/");

    // Everything the program reads at run time from the build's bin/ is at
    // the same place in the installed folder (a link to the system's copy
    // where the build copied one), and usable.
    QStringList wanted;
    for (const QString lib : {"greenlink", "fruitlink", "jukelink", "dbsifter"})
        wanted << "lib" + lib + ".so";
    for (const QString sub : {"root", "plugins", "docs", "translations"})
        for (const QString& file : filesBelow(kBuildBin + "/" + sub))
            wanted << sub + "/" + file;
    EXPECT_TRUE(wanted.contains("root/adb") && wanted.contains("plugins/font/Lato-Regular.ttf"));
    for (const QString& file : wanted) {
        const QFileInfo installed(programFolder() + "/" + file);
        EXPECT_TRUE(installed.exists() && installed.isReadable()) << file.toStdString();
        if (file.startsWith("root/")) {
            EXPECT_TRUE(installed.isExecutable()) << file.toStdString();
        }
        // Links go to the system, never back into this build or source tree.
        if (installed.isSymLink()) {
            EXPECT_FALSE(installed.symLinkTarget().startsWith(KESTROVA_BUILD_ROOT))
                << file.toStdString();
            EXPECT_FALSE(installed.symLinkTarget().startsWith(KESTROVA_SOURCE_DIR))
                << file.toStdString();
        }
    }
}

TEST_F(Installed, DesktopFilesAndManualPagesAreInTheirPlaces) {
    const QString share = prefix() + "/share";
    const QString id = QStringLiteral(KESTROVA_APP_ID);
    EXPECT_TRUE(QFileInfo::exists(share + "/applications/" + id + ".desktop"));
    EXPECT_TRUE(QFileInfo::exists(share + "/metainfo/" + id + ".metainfo.xml"));
    EXPECT_TRUE(QFileInfo::exists(share + "/icons/hicolor/scalable/apps/" + id + ".svg"));
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path =
            QString("%1/icons/hicolor/%2x%2/apps/%3.png").arg(share).arg(size).arg(id);
        const QImage icon(path);
        EXPECT_EQ(icon.size(), QSize(size, size)) << path.toStdString();
        // Drawn, not blank: the middle of the icon is opaque.
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << path.toStdString();
    }
    // The installed tree as the desktop's software centre reads it: the
    // metainfo's launcher entry and icon found where it says they are.
    const QString appstream = QStandardPaths::findExecutable("appstreamcli");
    if (appstream.isEmpty()) {
        std::printf("appstreamcli not installed: installed tree not validated\n");
    } else {
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(appstream, {"validate-tree", "--no-net", "--strict", prefix()});
        ASSERT_TRUE(validate.waitForFinished(60000));
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAll().toStdString();
    }
    for (const QString page : {"kestrova", "kestrova-transfer", "kestrova-backup"})
        EXPECT_TRUE(QFileInfo::exists(share + "/man/man1/" + page + ".1.gz")) << page.toStdString();
}

// Pid's memory map names the file each shared library was loaded from.
QString loadedFrom(qint64 pid, const QString& library) {
    QFile maps(QString("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const qsizetype at = line.indexOf('/');
        if (at >= 0 && line.endsWith("/" + library.toUtf8()))
            return QString::fromUtf8(line.mid(at));
    }
    return {};
}

// The installed driver copies between the lab's two phones; the installed
// window starts from its own folder on the offscreen platform.
TEST_F(Installed, InstalledDriverAndWindowRunAgainstTheLab) {
    LabSession lab({"--android", "2", "--seed", "11"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", "0", "--records", "6"}).exitCode, 0);

    const ProgramRun backup = lab.run(program("kestrova-backup"), {"--version"});
    EXPECT_EQ(backup.exitCode, 0) << backup.err.toStdString();
    EXPECT_EQ(backup.out.trimmed(), QStringLiteral("kestrova-backup " KESTROVA_VERSION));
    const ProgramRun version = lab.run(program("kestrova-transfer"), {"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out.trimmed(), QStringLiteral("kestrova-transfer " KESTROVA_VERSION));

    const ProgramRun run = lab.run(program("kestrova-transfer"),
                                   {"--from", lab.androidPhone(0), "--to", lab.androidPhone(1),
                                    "--kinds", "contacts,sms,photos"});
    const QJsonObject report =
        QJsonDocument::fromJson(run.out.trimmed().split('\n').last().toUtf8()).object();
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(report.value("success").toBool()) << run.out.toStdString();
    const QJsonObject source = lab.dump(0), destination = lab.dump(1);
    for (const QString kind : {"contacts", "messages"}) {
        EXPECT_FALSE(projectedRecords(source, kind).isEmpty()) << kind.toStdString();
        EXPECT_EQ(projectedRecords(destination, kind), projectedRecords(source, kind))
            << kind.toStdString();
    }
    EXPECT_EQ(fileContents(destination, "photo"), fileContents(source, "photo"));

    // The window, with a state folder of its own for whatever it logs.
    QTemporaryDir state(lab.dir() + "/state-XXXXXX");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : lab.exports())
        env.insert(name, value);
    env.insert("TMPDIR", lab.dir());
    env.insert("XDG_STATE_HOME", state.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess window;
    window.setProcessEnvironment(env);
    window.start(program("kestrova"), {});
    ASSERT_TRUE(window.waitForStarted(10000));
    // Its libraries come from the installed folder, not from the build.
    QString greenlink;
    QElapsedTimer timer;
    timer.start();
    while (greenlink.isEmpty() && timer.elapsed() < 10000 && window.state() == QProcess::Running) {
        QThread::msleep(100);
        greenlink = loadedFrom(window.processId(), "libgreenlink.so");
    }
    EXPECT_EQ(greenlink, programFolder() + "/libgreenlink.so");
    // A few seconds on: still running, and it took its plug-ins and fonts
    // from the installed folder (the plug-in path is printed to the debug
    // output, which goes to standard error or to the log).
    window.waitForFinished(4000);
    EXPECT_EQ(window.state(), QProcess::Running) << window.readAllStandardError().toStdString();
    window.terminate();
    if (!window.waitForFinished(10000))
        window.kill();
    window.waitForFinished(5000);
    QString said = QString::fromUtf8(window.readAllStandardError());
    QDirIterator logs(state.path(), QDir::Files, QDirIterator::Subdirectories);
    while (logs.hasNext()) {
        QFile log(logs.next());
        if (log.open(QIODevice::ReadOnly))
            said += QString::fromUtf8(log.readAll());
    }
    EXPECT_TRUE(said.contains("\"" + programFolder() + "/plugins\"")) << said.toStdString();
    EXPECT_FALSE(said.contains("font file")) << said.toStdString();
}

} // namespace
