#include "lab_session.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <poll.h>
#include <unistd.h>

#include "common/net.h"
#include "common/proc.h"

namespace {

// A program of the build's bin folder, or one elsewhere by its absolute path
// (an installed copy).
QString binPath(const QString& program) {
    return program.startsWith('/') ? program : QStringLiteral(KESTROVA_BIN_DIR "/") + program;
}

// Runs with fork and exec rather than QProcess: QProcess starts its child
// with vfork semantics (the child runs in this process's memory for a
// moment), and under ThreadSanitizer that marks this very process as a
// child of a multi-threaded fork, so the next thread it starts (a window's
// device check, say) aborts it.
ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& env, int timeoutMs) {
    std::vector<std::string> argv{program.toStdString()};
    for (const QString& a : arguments)
        argv.push_back(a.toStdString());
    lab::EnvOverrides overrides;
    for (const QString& key : env.keys())
        overrides.emplace_back(key.toStdString(), env.value(key).toStdString());
    const lab::ProcResult r = lab::runProcess(argv, overrides, (timeoutMs + 999) / 1000);
    ProgramRun result;
    if (!r.started) {
        result.err = "could not start " + program;
        return result;
    }
    result.out = QString::fromStdString(r.out);
    result.err = QString::fromStdString(r.err);
    if (r.timedOut)
        result.err = "timed out: " + program + "\n" + result.err;
    result.exitCode = r.timedOut ? -1 : r.exitCode;
    return result;
}

} // namespace

LabSession::LabSession(const QStringList& arguments) {
    m_env = QProcessEnvironment::systemEnvironment();
    const QString shared = m_env.value(QStringLiteral("KESTROVA_SHARED_LAB"));
    if (!(shared.isEmpty() ? up(arguments) : join(shared, arguments)))
        return;
    // The programs' log and temporary files stay inside the lab's folder.
    m_env.insert("TMPDIR", dir());
    m_env.insert("XDG_STATE_HOME", dir() + "/state");
    m_ready = true;
}

bool LabSession::up(const QStringList& arguments) {
    QDir().mkpath(QStringLiteral(KESTROVA_TEST_BUILD_DIR "/labs"));
    m_dir =
        std::make_unique<QTemporaryDir>(QStringLiteral(KESTROVA_TEST_BUILD_DIR "/labs/lab-XXXXXX"));
    if (!m_dir->isValid()) {
        m_startError = "no lab folder";
        return false;
    }
    m_path = m_dir->path();
    const ProgramRun up = runProgram(binPath("kestrova-lab"),
                                     QStringList{"up", "--dir", dir()} + arguments, m_env, 120000);
    if (up.exitCode != 0) {
        m_startError = up.out + up.err;
        return false;
    }
    takeExports(up.out);
    return true;
}

// The fixture's set-up (cmake/lab_fixture.cmake) left the arguments it
// started the lab with in "arguments", one a line, and what `up` printed in
// "up.out".
bool LabSession::join(const QString& folder, const QStringList& arguments) {
    m_path = folder;
    m_shared = true;
    QFile given(folder + "/arguments"), printed(folder + "/up.out");
    if (!given.open(QIODevice::ReadOnly) || !printed.open(QIODevice::ReadOnly)) {
        m_startError = "the fixture's lab in " + folder + " is not up";
        return false;
    }
    const QStringList fixtureArguments =
        QString::fromUtf8(given.readAll()).split('\n', Qt::SkipEmptyParts);
    if (fixtureArguments != arguments) {
        m_startError = "the fixture's lab was started with \"" + fixtureArguments.join(' ') +
                       "\", this test asks for \"" + arguments.join(' ') + "\"";
        return false;
    }
    takeExports(QString::fromUtf8(printed.readAll()));
    return true;
}

void LabSession::takeExports(const QString& upOutput) {
    // Lines of the form: export NAME=value
    for (const QString& line : upOutput.split('\n')) {
        if (!line.startsWith("export "))
            continue;
        const QString assignment = line.mid(7);
        const int eq = assignment.indexOf('=');
        if (eq <= 0)
            continue;
        QString value = assignment.mid(eq + 1);
        if (value.size() >= 2 && (value.startsWith('\'') || value.startsWith('"')))
            value = value.mid(1, value.size() - 2);
        m_env.insert(assignment.left(eq), value);
        m_exports.append({assignment.left(eq), value});
    }
}

void LabSession::applyToProcess() const {
    for (const auto& [name, value] : m_exports)
        qputenv(name.toUtf8().constData(), value.toUtf8());
    qputenv("TMPDIR", dir().toUtf8());
}

QString LabSession::environment(const QString& name) const { return m_env.value(name); }

// The virtual iPhone runs with fork and exec too (see runProgram); its
// commands go down one pipe and its answers come up another.
bool LabSession::startIphone(const QString& options) {
    if (m_iphonePid > 0)
        return false;
    lab::EnvOverrides overrides;
    for (const QString& key : m_env.keys())
        overrides.emplace_back(key.toStdString(), m_env.value(key).toStdString());
    const std::vector<std::string> argv{
        binPath("kestrova-virtual-iphone").toStdString(), "--mux", "TCP:127.0.0.1:0", "--phone",
        ("root=" + iphoneRoot() + ",fill=1,seed=11," + options).toStdString()};
    lab::ignoreSigpipe(); // a command to a phone that died fails rather than kills the test
    m_iphonePid = lab::spawnPiped(argv, overrides, &m_iphoneIn, &m_iphoneOut);
    if (m_iphonePid <= 0)
        return false;
    QString out;
    for (int i = 0; i < 600 && !out.contains("\nREADY") && lab::processAlive(m_iphonePid); ++i)
        out += iphoneOutput(100);
    for (const QString& line : out.split('\n'))
        if (line.startsWith("export USBMUXD_SOCKET_ADDRESS="))
            m_env.insert("USBMUXD_SOCKET_ADDRESS", line.mid(line.indexOf('=') + 1));
    return m_env.contains("USBMUXD_SOCKET_ADDRESS") && out.contains("READY");
}

QString LabSession::iphoneOutput(int waitMs) {
    pollfd p{m_iphoneOut, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0)
        return {};
    char buf[4096];
    const ssize_t n = ::read(m_iphoneOut, buf, sizeof buf);
    return n > 0 ? QString::fromUtf8(buf, static_cast<int>(n)) : QString();
}

bool LabSession::iphoneCommand(const QString& line) {
    if (m_iphonePid <= 0)
        return false;
    const QByteArray command = (line + "\n").toUtf8();
    if (::write(m_iphoneIn, command.constData(), static_cast<size_t>(command.size())) !=
        command.size())
        return false;
    // Its answer ("ok ..." or "error ...") ends the command.
    QString out;
    for (int i = 0; i < 100 && !out.contains(line); ++i)
        out += iphoneOutput(100);
    return out.contains("ok " + line);
}

bool LabSession::makeBackup(const QStringList& arguments) {
    QDir().mkpath(backupDir());
    // The generator names the backup's folder after its device, below --out.
    return run("kestrova-backupfixture", arguments + QStringList{"--out", backupDir()}).exitCode ==
           0;
}

std::unique_ptr<QProcess> LabSession::start(const QString& program,
                                            const QStringList& arguments) const {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_env);
    process->start(binPath(program), arguments);
    process->waitForStarted(10000);
    return process;
}

LabSession::~LabSession() {
    if (m_iphonePid > 0) {
        lab::stopProcess(m_iphonePid, 10000);
        ::close(m_iphoneIn);
        ::close(m_iphoneOut);
    }
    if (m_dir && m_dir->isValid())
        runProgram(binPath("kestrova-lab"), {"down", "--dir", dir()}, m_env, 60000);
}

QString LabSession::dir() const { return m_path; }

QString LabSession::androidPhone(int n) const { return "android:" + serial(n); }

QString LabSession::serial(int n) const {
    return m_env.value(QString("KESTROVA_LAB_SERIAL_%1").arg(n));
}

QString LabSession::phoneDir(int n) const { return dir() + "/phones/" + QString::number(n); }

QString LabSession::scratch(const QString& name) const {
    const QString path = dir() + "/scratch-" + name;
    QDir().mkpath(path);
    return path;
}

ProgramRun LabSession::run(const QString& program, const QStringList& arguments,
                           int timeoutMs) const {
    return runProgram(binPath(program), arguments, m_env, timeoutMs);
}

ProgramRun LabSession::lab(const QString& subcommand, const QStringList& arguments) const {
    return run("kestrova-lab", QStringList{subcommand, "--dir", dir()} + arguments, 120000);
}

QJsonObject LabSession::dump(int phone) const {
    const ProgramRun r = lab("dump", {"--phone", QString::number(phone)});
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

bool LabSession::agentFaults(int phone, const QStringList& faults) const {
    return run("kestrova-android-fixture", QStringList{"faults", "--dir", phoneDir(phone)} + faults)
               .exitCode == 0;
}

bool LabSession::fault(int phone, const QString& kind, long long value) const {
    return lab("fault", {"--phone", QString::number(phone), "--kind", kind, "--value",
                         QString::number(value)})
               .exitCode == 0;
}

QJsonObject LabSession::transfer(const QStringList& arguments, ProgramRun* out) const {
    const ProgramRun r = run("kestrova-transfer", arguments);
    if (out)
        *out = r;
    const QStringList lines = r.out.trimmed().split('\n');
    return lines.isEmpty() ? QJsonObject()
                           : QJsonDocument::fromJson(lines.last().toUtf8()).object();
}

QStringList recordTexts(const QJsonObject& dump, const QString& kind) {
    QStringList texts;
    for (const QJsonValue& v : dump.value(kind).toArray())
        texts << QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    texts.sort();
    return texts;
}

QStringList projectedRecords(const QJsonObject& dump, const QString& kind) {
    QStringList texts;
    for (const QJsonValue& v : dump.value(kind).toArray()) {
        QJsonObject record = v.toObject();
        if (kind == "messages")
            record.remove("person");
        if (kind == "calendar")
            record.remove("calendar_id");
        texts << QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
    }
    texts.sort();
    return texts;
}

QStringList fileContents(const QJsonObject& dump, const QString& mediaKind) {
    QStringList files;
    for (const QJsonValue& v : dump.value("files").toArray()) {
        const QJsonObject f = v.toObject();
        if (f.value("kind").toString() != mediaKind)
            continue;
        files << QFileInfo(f.value("path").toString()).fileName() + " " +
                     QString::number(f.value("size").toInteger()) + " " +
                     f.value("sha256").toString();
    }
    files.sort();
    return files;
}

QStringList folderContents(const QString& root, const QStringList& nameFilters) {
    QStringList files;
    QDirIterator it(root, nameFilters, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&file);
        files << it.fileName() + " " + QString::number(file.size()) + " " +
                     QString::fromLatin1(hash.result().toHex());
    }
    files.sort();
    return files;
}

QStringList appPackages(const QJsonObject& dump) {
    QStringList apps;
    for (const QJsonValue& v : dump.value("apps").toArray()) {
        const QJsonObject a = v.toObject();
        apps << a.value("package").toString() + " " + a.value("sha256").toString();
    }
    apps.sort();
    return apps;
}

QStringList allFiles(const QJsonObject& dump) {
    QStringList files;
    for (const QString kind : {"photo", "video", "music", "other"})
        files += fileContents(dump, kind);
    files.sort();
    return files;
}

const QStringList kIphoneMediaFiles = {"*.JPG", "*.jpg", "*.JPEG", "*.HEIC", "*.heif", "*.DNG",
                                       "*.GIF", "*.PNG", "*.MOV",  "*.mov",  "*.MP4",  "*.mp4",
                                       "*.m4v", "*.m4a", "*.mp3",  "*.M4A",  "*.MP3"};

bool waitForExit(QProcess& process, int ms) {
    return process.state() == QProcess::NotRunning || process.waitForFinished(ms) ||
           process.state() == QProcess::NotRunning;
}
