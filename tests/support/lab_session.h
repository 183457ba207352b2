// The virtual lab for a test: `kestrova-lab up` in a folder of its own, the
// project's programs run against it with the lab's environment, and
// everything stopped at the end.
//
// A test that CTest runs inside a lab fixture (KESTROVA_SHARED_LAB names the
// fixture's folder) joins that lab instead: it was started once, before the
// fixture's tests, with the same arguments, and the fixture stops it after
// them. The fixture's tests run one at a time, so each still has the lab to
// itself while it runs.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>
#include <sys/types.h>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

class QTemporaryDir;

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class LabSession {
  public:
    // arguments: what follows "kestrova-lab up --dir DIR", e.g. {"--android", "2"}.
    explicit LabSession(const QStringList& arguments);
    ~LabSession();
    LabSession(const LabSession&) = delete;
    LabSession& operator=(const LabSession&) = delete;

    bool ready() const { return m_ready; }
    const QString& startError() const { return m_startError; }
    QString dir() const;
    // A variable of the environment the lab's programs run with.
    QString environment(const QString& name) const;
    // The variables the lab exported when it came up, in its order.
    const QList<std::pair<QString, QString>>& exports() const { return m_exports; }
    // "android:SERIAL" of the lab's phone N, as the driver takes it.
    QString androidPhone(int n) const;
    // The serial of the lab's phone N, and the folder that holds its state.
    QString serial(int n) const;
    QString phoneDir(int n) const;
    // A fresh scratch folder below the lab folder.
    QString scratch(const QString& name) const;
    // True when this session joined the lab of a CTest fixture.
    bool shared() const { return m_shared; }

    // For tests whose libraries run in this process (the Android library, the
    // windows): puts the lab's variables and its TMPDIR into this process's
    // environment.
    void applyToProcess() const;

    // Runs a program of the build's bin folder (or the one an absolute path
    // names) with the lab's environment.
    ProgramRun run(const QString& program, const QStringList& arguments,
                   int timeoutMs = 300000) const;
    // kestrova-lab SUBCOMMAND --dir DIR ARGS...
    ProgramRun lab(const QString& subcommand, const QStringList& arguments) const;
    // The phone's whole store as canonical JSON.
    QJsonObject dump(int phone) const;
    // Sets the agent faults of phone N ("stall=2", "only=SendSMS", ...);
    // none clears them.
    bool agentFaults(int phone, const QStringList& faults) const;
    // A transport fault of phone N (kestrova-lab fault --kind KIND --value V);
    // "clear" ends them.
    bool fault(int phone, const QString& kind, long long value = 0) const;
    // One transfer; the JSON object the driver printed last (empty on failure).
    QJsonObject transfer(const QStringList& arguments, ProgramRun* run = nullptr) const;

    // Starts a virtual iPhone beside the lab ("relay=ios7,ios=7" and the
    // like are added to its --phone options) and points the programs at it.
    bool startIphone(const QString& options);
    // Writes an iTunes backup into DIR/backups with the fixture generator.
    bool makeBackup(const QStringList& arguments);
    QString backupDir() const { return dir() + "/backups"; }
    QString iphoneRoot() const { return dir() + "/iphone0"; }
    // A command line for the virtual iPhone ("stall 0 on", "detach 0", ...).
    bool iphoneCommand(const QString& line);
    // Starts a program and leaves it running (for cancel and unplug tests).
    std::unique_ptr<class QProcess> start(const QString& program,
                                          const QStringList& arguments) const;

  private:
    bool up(const QStringList& arguments);
    bool join(const QString& folder, const QStringList& arguments);
    void takeExports(const QString& upOutput);

    std::unique_ptr<QTemporaryDir> m_dir; // the lab's own folder, when not shared
    QString m_path;
    // What the virtual iPhone wrote since the last look, or nothing after
    // waiting waitMs.
    QString iphoneOutput(int waitMs);

    pid_t m_iphonePid = -1;
    int m_iphoneIn = -1;  // its standard input
    int m_iphoneOut = -1; // its standard output
    QProcessEnvironment m_env;
    QList<std::pair<QString, QString>> m_exports;
    bool m_ready = false;
    bool m_shared = false;
    QString m_startError;
};

// Waits up to ms for the process to end; true once it has ended, also when
// it had already ended (where QProcess::waitForFinished says false).
bool waitForExit(QProcess& process, int ms);

// Files of one media kind in a plain folder tree, as fileContents lists them.
QStringList folderContents(const QString& root, const QStringList& nameFilters);

// Records of one kind from a dump, as their JSON texts (the dump sorts them).
QStringList recordTexts(const QJsonObject& dump, const QString& kind);
// Records of one kind as their JSON texts, sorted, without the fields a phone
// derives by itself (the contact a message belongs to, the calendar a new
// event lands in): what a copy carries, comparable between source and
// destination.
QStringList projectedRecords(const QJsonObject& dump, const QString& kind);
// Files of one media kind ("photo", "video", "music") as "name size sha256",
// sorted: the destination chooses its own folders, so only content counts.
QStringList fileContents(const QJsonObject& dump, const QString& mediaKind);
// Every file a phone's dump holds, whatever its media kind, as fileContents
// lists them, sorted.
QStringList allFiles(const QJsonObject& dump);
// The name patterns of the media files an iPhone's folder tree holds.
extern const QStringList kIphoneMediaFiles;
// Installed packages with their checksums.
QStringList appPackages(const QJsonObject& dump);
