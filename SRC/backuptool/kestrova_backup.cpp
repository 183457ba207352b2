// kestrova-backup: the iTunes backups on this computer, and their files as
// plain files.
//
//   kestrova-backup list [--backup-dir DIR] [--json]
//   kestrova-backup decrypt --password-file FILE BACKUP OUT
//   kestrova-backup extract BACKUP OUT
//
// The password is read from a file (or KESTROVA_BACKUP_PASSWORD), never
// taken as an argument: other users can read the process list. The backup
// reader's log lines go into the log file and, for the person at the
// terminal, to standard error as well.
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <openssl/crypto.h>

#include "jukelink.h"
#include "kestrova_log.h"
#include "kestrova_version.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // ran, but not every file was written
constexpr int kExitUsage = 2;
constexpr int kExitCannot = 3; // nothing could begin

const char kUsage[] =
    "usage: kestrova-backup list [--backup-dir DIR] [--json]\n"
    "       kestrova-backup decrypt --password-file FILE BACKUP OUT\n"
    "       kestrova-backup extract BACKUP OUT\n"
    "       kestrova-backup --help | --version\n"
    "\n"
    "list      every iTunes backup found in the standard folders (and DIR): device name,\n"
    "          date, iOS version, encrypted or not, complete or not\n"
    "decrypt   writes every file of the encrypted backup in folder BACKUP into OUT as\n"
    "          OUT/<domain>/<relative path>; the password is the first line of FILE\n"
    "          (or, without --password-file, the variable KESTROVA_BACKUP_PASSWORD)\n"
    "extract   the same for an unencrypted backup\n"
    "\n"
    "OUT must be empty or missing. Exit status: 0 every file written, 1 some could not\n"
    "be, 2 usage, 3 nothing could begin (no backup, wrong password, OUT not empty).\n";

// The command line: a command, its operands, and the options.
struct CommandLine {
    QCommandLineOption help{{"h", "help"}, QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{"v", "version"}, QStringLiteral("Show the version and exit.")};
    QCommandLineOption json{"json", QStringLiteral("list: as JSON.")};
    QCommandLineOption backupDir{"backup-dir", QStringLiteral("list: look in this folder too."),
                                 QStringLiteral("DIR")};
    QCommandLineOption passwordFile{
        "password-file", QStringLiteral("decrypt: the password is the first line of FILE."),
        QStringLiteral("FILE")};
    QCommandLineOption password{"password", QString(), QStringLiteral("password")};
    QCommandLineParser parser;

    CommandLine() {
        password.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOptions({help, version, json, backupDir, passwordFile, password});
        parser.addPositionalArgument(QStringLiteral("command"),
                                     QStringLiteral("list, decrypt or extract"),
                                     QStringLiteral("list|decrypt|extract [BACKUP OUT]"));
    }
    std::string helpText() {
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("kestrova-backup"));
        char log[4096];
        KestrovaLog_GetPath(log, sizeof log);
        return std::string(kUsage) + "\n" + text.toStdString() + "\nLog: " + log + "\n";
    }
};

int usage() {
    fputs(kUsage, stderr);
    return kExitUsage;
}

std::string lastError() {
    char buf[1024];
    iTunesTSF_GetLastError(buf, sizeof buf);
    return buf;
}

std::string field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

std::string json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

int list(bool asJson, std::string dir) {
    if (!dir.empty() && iTunesTSF_SetOtherBackupPath(dir.data()) != 0) {
        fprintf(stderr, "kestrova-backup: %s\n", lastError().c_str());
        return kExitUsage;
    }
    int n = iTunesTSF_BackupCount();
    if (asJson)
        printf("[");
    for (int i = 0; i < n; ++i) {
        BackupDeviceNode* b = nullptr;
        if (iTunesTSF_GetBackupDeviceByIndex(i, &b) != 0 || b == nullptr)
            continue;
        std::string name = field(b->deviceName, sizeof b->deviceName);
        std::string date = field(b->date, sizeof b->date);
        std::string ios = field(b->productVersion, sizeof b->productVersion);
        std::string path = field(b->path, sizeof b->path);
        if (asJson) {
            printf("%s\n {\"index\": %d, \"deviceName\": %s, \"date\": %s, \"iosVersion\": %s, "
                   "\"encrypted\": %s, \"complete\": %s, \"path\": %s}",
                   i == 0 ? "" : ",", i, json(name).c_str(), json(date).c_str(), json(ios).c_str(),
                   b->isEncrypted ? "true" : "false", b->isComplete ? "true" : "false",
                   json(path).c_str());
        } else {
            printf("%d  %s  %s  iOS %s  %s  %s\n    %s\n", i, name.c_str(), date.c_str(),
                   ios.empty() ? "?" : ios.c_str(), b->isEncrypted ? "encrypted" : "not encrypted",
                   b->isComplete ? "complete" : "INCOMPLETE", path.c_str());
        }
    }
    if (asJson)
        printf("%s]\n", n > 0 ? "\n" : "");
    else if (n == 0)
        printf("No backups found.\n");
    return kExitOk;
}

// The first line of the file, without its line end; false when it cannot be
// read, is empty or is implausibly long for a password.
bool readPasswordFile(const std::string& path, std::string* out) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[4097];
    size_t got = 0;
    ssize_t n;
    while (got < sizeof buf && (n = read(fd, buf + got, sizeof buf - got)) > 0)
        got += static_cast<size_t>(n);
    close(fd);
    bool ok = got < sizeof buf;
    if (ok) {
        out->assign(buf, got);
        size_t end = out->find_first_of("\r\n");
        if (end != std::string::npos)
            out->resize(end);
    }
    OPENSSL_cleanse(buf, sizeof buf);
    return ok && !out->empty();
}

int exportFiles(const std::vector<std::string>& positional, bool decrypt,
                const std::string& passwordFile) {
    if (positional.size() != 2)
        return usage();
    std::string password;
    if (decrypt) {
        const char* env = getenv("KESTROVA_BACKUP_PASSWORD");
        if (!passwordFile.empty()) {
            if (!readPasswordFile(passwordFile, &password)) {
                fprintf(stderr, "kestrova-backup: cannot read a password from %s\n",
                        passwordFile.c_str());
                return kExitUsage;
            }
        } else if (env != nullptr && *env != '\0') {
            password = env;
        } else {
            fprintf(stderr, "kestrova-backup: decrypt needs --password-file FILE\n");
            return kExitUsage;
        }
        fprintf(stderr, "Unlocking the backup...\n");
    }
    int64_t written = 0;
    int64_t failed = 0;
    int rc = iTunesTSF_ExportBackup(positional[0].c_str(), decrypt ? password.c_str() : nullptr,
                                    positional[1].c_str(), &written, &failed);
    int category = iTunesTSF_GetLastErrorCategory();
    OPENSSL_cleanse(password.data(), password.size());
    if (rc < 0) {
        if (category == ITUNESTSF_ERR_WRONG_PASSWORD)
            fprintf(stderr, "kestrova-backup: wrong backup password\n");
        else if (category == ITUNESTSF_ERR_ENCRYPTED)
            fprintf(stderr, "kestrova-backup: the backup is encrypted: use decrypt "
                            "--password-file FILE\n");
        else
            fprintf(stderr, "kestrova-backup: %s\n", lastError().c_str());
        return kExitCannot;
    }
    printf("%lld files written to %s", static_cast<long long>(written), positional[1].c_str());
    if (failed > 0)
        printf(", %lld could not be written (see above)", static_cast<long long>(failed));
    printf("\n");
    return failed > 0 ? kExitFailed : kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    KestrovaLog_SetEchoToStderr(1);
    CommandLine cl;
    if (!cl.parser.parse(app.arguments())) {
        fprintf(stderr, "kestrova-backup: %s\n", qPrintable(cl.parser.errorText()));
        return usage();
    }
    if (cl.parser.isSet(cl.help)) {
        fputs(cl.helpText().c_str(), stdout);
        return kExitOk;
    }
    if (cl.parser.isSet(cl.version)) {
        printf("kestrova-backup %s\n", KESTROVA_VERSION);
        return kExitOk;
    }
    if (cl.parser.isSet(cl.password)) {
        fprintf(stderr, "kestrova-backup: a password is never taken as an argument (other "
                        "users can read the process list): use --password-file FILE\n");
        return kExitUsage;
    }
    std::vector<std::string> args;
    for (const QString& a : cl.parser.positionalArguments())
        args.push_back(a.toLocal8Bit().toStdString());
    if (args.empty())
        return usage();
    const std::string cmd = args.front();
    args.erase(args.begin());
    const bool listOptions = cl.parser.isSet(cl.json) || cl.parser.isSet(cl.backupDir);
    const bool decryptOptions = cl.parser.isSet(cl.passwordFile);
    if (cmd == "list" && args.empty() && !decryptOptions)
        return list(cl.parser.isSet(cl.json), cl.parser.value(cl.backupDir).toStdString());
    if (cmd == "decrypt" && !listOptions)
        return exportFiles(args, true, cl.parser.value(cl.passwordFile).toStdString());
    if (cmd == "extract" && !listOptions && !decryptOptions)
        return exportFiles(args, false, {});
    return usage();
}
