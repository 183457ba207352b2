#include "transfer_cli.h"

#include "program_log.h"
#include "work_folder.h"

#include <QCommandLineParser>
#include <QDir>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace kestrova {

namespace {

bool isDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool isLetters(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isalpha(c) != 0; });
}

// An iPhone's UDID: 40 hex digits, or 8 and 16 joined by a dash.
bool looksLikeUdid(const std::string& text) {
    return text.size() >= 24 &&
           text.find_first_not_of("0123456789abcdefABCDEF-") == std::string::npos;
}

// What --from and --to take: android:N, iphone:N, backup:N (positions as
// --list prints them), android:SERIAL, iphone:UDID, or a serial or UDID alone.
bool parseDevice(const std::string& text, int* type, int* index, std::string* serial,
                 std::string* error) {
    const auto colon = text.find(':');
    const std::string kind = colon == std::string::npos ? std::string() : text.substr(0, colon);
    const bool named = kind == "android" || kind == "iphone" || kind == "backup";
    if (!named) {
        // A serial or UDID alone, as --list prints them beside the positions.
        if (isDigits(text)) {
            *error = "say which kind of device " + text + " is: android:" + text +
                     ", iphone:" + text + " or backup:" + text;
            return false;
        }
        if (text.empty() || (isLetters(kind) && !kind.empty() && kind != "localhost")) {
            *error =
                "unknown device " + text + " (android:N, iphone:N, backup:N, a serial or a UDID)";
            return false;
        }
        if (text.size() > 63 || text.find_first_of(" \t\r\n") != std::string::npos) {
            *error = "not a phone's serial: " + text;
            return false;
        }
        *serial = text;
        *index = -1;
        *type = looksLikeUdid(text) ? kDeviceIphone : kDeviceAndroid;
        return true;
    }
    const std::string number = text.substr(colon + 1);
    if (!isDigits(number) || number.size() > 3) {
        // Not a position: an Android serial or an iPhone's UDID.
        const bool udid = kind == "iphone" && looksLikeUdid(number);
        if ((kind != "android" && !udid) || number.empty() || number.size() > 63) {
            *error = "bad device: " + text;
            return false;
        }
        *serial = number;
        *index = -1;
        *type = kind == "android" ? kDeviceAndroid : kDeviceIphone;
        return true;
    }
    *index = std::atoi(number.c_str());
    *type = kind == "android"  ? kDeviceAndroid
            : kind == "iphone" ? kDeviceIphone
                               : kDeviceItunesBackup;
    return true;
}

// Milliseconds as seconds with three decimals, independent of the locale.
std::string seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text;
}

const char kDescription[] =
    "Copies contacts, messages, call logs, calendar, photos, videos, music and apps from an "
    "Android phone, an iPhone or an iTunes backup onto an Android phone or into a folder, "
    "without windows.";

// The options, shared by the parser and the help text.
struct Options {
    QCommandLineOption help{{"h", "help"}, "Show this help and exit."};
    QCommandLineOption version{{"v", "version"}, "Show the version and exit."};
    QCommandLineOption list{"list", "List the attached phones and the backups found, then exit."};
    QCommandLineOption json{"json", "With --list: print the list as JSON. (A copy's report is "
                                    "always one line of JSON.)"};
    QCommandLineOption from{"from",
                            "Where to copy from: android:N, iphone:N, backup:N (as --list shows "
                            "them), android:SERIAL, iphone:UDID, or a serial or UDID alone.",
                            "source"};
    QCommandLineOption to{"to",
                          "Where to copy to: android:N, android:SERIAL (or the serial alone), "
                          "or folder:DIR to export into a folder.",
                          "destination"};
    QCommandLineOption kinds{"kinds",
                             "What to copy, separated by commas: contacts, sms, calllogs, "
                             "calendar, photos, videos, music, apps.",
                             "list"};
    QCommandLineOption all{"all", "Copy every kind."};
    QCommandLineOption duplicates{"duplicates",
                                  "skip (default): items the destination already holds are not "
                                  "copied again; keep: copy everything again.",
                                  "skip|keep"};
    QCommandLineOption dryRun{"dry-run", "Count what would be copied; write nothing."};
    QCommandLineOption summary{"summary",
                               "Also print one line per kind for people, on standard error."};
    QCommandLineOption backupDir{"backup-dir",
                                 "Look for backups in this folder too; a live iPhone's backup "
                                 "goes there.",
                                 "dir"};
    QCommandLineOption passwordFile{"password-file",
                                    "An encrypted backup's password is the first line of this "
                                    "file (or the variable KESTROVA_BACKUP_PASSWORD).",
                                    "file"};
    QCommandLineOption work{"work", "The job's scratch folder (default: a private one).", "dir"};
    QCommandLineOption wait{"wait", "How long to wait for the phones to show (default 60).",
                            "seconds"};
    QCommandLineOption password{"password", "", "password"};
    QCommandLineOption fastSms{"fast-sms-countdown", ""};

    Options() {
        password.setFlags(QCommandLineOption::HiddenFromHelp);
        fastSms.setFlags(QCommandLineOption::HiddenFromHelp);
    }
    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(QString::fromLatin1(kDescription));
        parser.addOptions({help, version, list, json, from, to, kinds, all, duplicates, dryRun,
                           summary, backupDir, passwordFile, work, wait, password, fastSms});
    }
};

const char kHelpEpilogue[] =
    "\n"
    "Standard output carries only progress lines (\"progress ...\") and, last, one line of\n"
    "JSON: per kind the outcome, what was offered, copied, failed, skipped and already there,\n"
    "and why. The report is printed also when no phone was found or preparation failed.\n"
    "\n"
    "Exit status:\n"
    "  0  everything chosen arrived\n"
    "  1  something did not arrive (or the copy was cancelled)\n"
    "  2  the command line is wrong\n"
    "  3  a source or destination was not found, not ready or busy\n"
    "\n"
    "SIGINT and SIGTERM cancel: the record or file in hand is finished first.\n";

} // namespace

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string transferHelpText() {
    QCommandLineParser parser;
    Options options;
    options.addTo(parser);
    // helpText() names the program by the running application's arguments.
    QString text = parser.helpText();
    if (QCoreApplication::instance() == nullptr)
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("kestrova-transfer"));
    return text.toStdString() + kHelpEpilogue + "\nLog: " + logFilePath().toStdString() + "\n";
}

bool parseTransferArgs(const QStringList& arguments, TransferRequest* r, std::string* error) {
    QCommandLineParser parser;
    Options o;
    o.addTo(parser);
    if (!parser.parse(QStringList{QStringLiteral("kestrova-transfer")} + arguments)) {
        *error = parser.errorText().toStdString();
        return false;
    }
    if (parser.isSet(o.help)) {
        r->action = CliAction::Help;
        return true;
    }
    if (parser.isSet(o.version)) {
        r->action = CliAction::Version;
        return true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = "unexpected argument: " + parser.positionalArguments().first().toStdString();
        return false;
    }
    if (parser.isSet(o.password)) {
        *error = "a password is never taken as an argument (other users can read the "
                 "process list): use --password-file FILE or KESTROVA_BACKUP_PASSWORD";
        return false;
    }
    r->json = parser.isSet(o.json);
    r->backupDir = parser.value(o.backupDir).toStdString();
    r->workFolder = parser.isSet(o.work) ? parser.value(o.work) : defaultWorkFolder();
    if (parser.isSet(o.list)) {
        r->action = CliAction::List;
        return true;
    }
    if (parser.isSet(o.from)) {
        const std::string v = parser.value(o.from).toStdString();
        if (!parseDevice(v, &r->sourceType, &r->sourceIndex, &r->sourceSerial, error))
            return *error = "--from: " + *error, false;
        r->sourceText = v;
    }
    if (parser.isSet(o.to)) {
        const std::string v = parser.value(o.to).toStdString();
        int type = 0;
        if (v.rfind("folder:", 0) == 0) {
            // A folder of exported files.
            if (v.size() <= 7)
                return *error = "folder: needs a path", false;
            r->destinationType = kDeviceFolder;
            r->destinationFolder = QString::fromStdString(v.substr(7));
        } else if (!parseDevice(v, &type, &r->destinationIndex, &r->destinationSerial, error) ||
                   type != kDeviceAndroid) {
            if (error->empty() || type != kDeviceAndroid)
                *error = "the destination must be android:N, an Android phone's serial or "
                         "folder:DIR";
            return false;
        }
        r->destinationText = v;
    }
    bool anyKind = false;
    for (const QString& list : parser.values(o.kinds)) {
        for (const QString& key : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const std::optional<Kind> kind = kindFromKey(key.trimmed().toStdString());
            if (!kind)
                return *error = "unknown kind: " + key.toStdString(), false;
            r->kinds[*kind] = anyKind = true;
        }
    }
    if (parser.isSet(o.all))
        for (bool& k : r->kinds)
            k = anyKind = true;
    if (parser.isSet(o.wait)) {
        bool number = false;
        r->waitSeconds = parser.value(o.wait).toInt(&number);
        if (!number || r->waitSeconds < 0)
            return *error = "--wait takes a number of seconds", false;
    }
    r->passwordFile = parser.value(o.passwordFile).toStdString();
    r->summary = parser.isSet(o.summary);
    r->fastSmsCountdown = parser.isSet(o.fastSms);
    if (parser.isSet(o.duplicates)) {
        const QString v = parser.value(o.duplicates);
        if (v != QLatin1String("skip") && v != QLatin1String("keep"))
            return *error = "--duplicates takes skip or keep", false;
        r->skipExisting = v == QLatin1String("skip");
    }
    r->dryRun = parser.isSet(o.dryRun);
    if (!anyKind) {
        *error = "choose the kinds with --kinds or --all";
        return false;
    }
    if (r->sourceType == kDeviceAndroid && r->destinationType == kDeviceAndroid &&
        r->sourceIndex == r->destinationIndex && r->sourceSerial == r->destinationSerial) {
        *error = "source and destination are the same phone";
        return false;
    }
    return true;
}

bool parseTransferArgs(int argc, char** argv, TransferRequest* r, std::string* error) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return parseTransferArgs(arguments, r, error);
}

bool loadBackupPassword(TransferRequest* r, std::string* error) {
    const char* env = std::getenv("KESTROVA_BACKUP_PASSWORD");
    if (r->passwordFile.empty()) {
        if (env != nullptr)
            r->backupPassword = env;
        unsetenv("KESTROVA_BACKUP_PASSWORD");
        return true;
    }
    unsetenv("KESTROVA_BACKUP_PASSWORD");
    std::FILE* f = std::fopen(r->passwordFile.c_str(), "rbe");
    if (f == nullptr) {
        *error = "cannot read the password file " + r->passwordFile;
        return false;
    }
    char buf[4097];
    const size_t got = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    std::string text(buf, got < sizeof buf ? got : 0);
    explicit_bzero(buf, sizeof buf);
    const size_t end = text.find_first_of("\r\n");
    r->backupPassword = text.substr(0, end);
    wipeSecret(&text);
    if (r->backupPassword.empty()) {
        *error = "no password in " + r->passwordFile + " (its first line is the password)";
        return false;
    }
    return true;
}

std::string byteText(int64_t bytes) {
    static const char* const units[] = {"B", "kB", "MB", "GB", "TB"};
    if (bytes < 1000)
        return std::to_string(bytes < 0 ? 0 : bytes) + " B";
    int unit = 0;
    int64_t scale = 1;
    while (unit < 4 && bytes >= scale * 1000) {
        scale *= 1000;
        ++unit;
    }
    const int64_t tenths = bytes * 10 / scale;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + units[unit];
}

std::string progressText(const ProgressSnapshot& s, int64_t elapsedMs) {
    if (!s.running && s.preparing >= 0)
        return preparingText(s.preparing);
    if (!s.running)
        return {};
    const Kind kind = *s.running;
    const auto& k = s.kinds[kind];
    std::string text = std::string(kindKey(kind)) + " " + std::to_string(k.current) + "/" +
                       std::to_string(k.total);
    if (!isMedia(kind))
        return text;
    // Bytes so far, of how many when the source said (an Android phone gives
    // a photo's size only as it is copied), and the time left at the rate
    // so far: by bytes when the total is known, else by files.
    const int64_t done =
        k.totalSize > 0 ? std::min(k.totalSize, k.doneSize + s.fileDone) : k.doneSize + s.fileDone;
    text += " " + byteText(done);
    if (k.totalSize > 0)
        text += " of " + byteText(k.totalSize);
    int64_t left = -1;
    if (k.totalSize > 0 && done > 0 && done < k.totalSize)
        left = (k.totalSize - done) * elapsedMs / done / 1000;
    else if (k.totalSize <= 0 && k.current > 1 && k.total >= static_cast<int32_t>(k.current))
        left = (k.total - (k.current - 1)) * elapsedMs / (k.current - 1) / 1000;
    if (elapsedMs >= 2000 && left >= 0)
        text += left < 60 ? ", about " + std::to_string(std::max<int64_t>(left, 1)) + " s left"
                          : ", about " + std::to_string((left + 59) / 60) + " min left";
    return text;
}

void ProgressPrinter::line(const std::string& text) {
    if (text.empty() || text == m_last)
        return;
    m_last = text;
    std::fprintf(m_out, "progress %s\n", text.c_str());
    std::fflush(m_out);
}

void ProgressPrinter::update(const ProgressSnapshot& s, int64_t nowMs) {
    const int kind = s.running ? static_cast<int>(*s.running) : -1;
    if (kind != m_kind) {
        m_kind = kind;
        m_kindStartMs = nowMs;
        m_lastBytesMs = -1000000;
    }
    const uint32_t count = s.running ? s.kinds[*s.running].current : 0;
    const bool countChanged = count != m_lastCount;
    m_lastCount = count;
    const std::string text = progressText(s, nowMs - m_kindStartMs);
    // Bytes move all the time while a file is copied: such lines at most once
    // a second; a new count, kind or step at once.
    const bool bytesOnly = s.running && isMedia(*s.running) && !countChanged &&
                           m_last.rfind(std::string(kindKey(*s.running)) + " ", 0) == 0;
    if (bytesOnly && nowMs - m_lastBytesMs < 1000)
        return;
    if (text != m_last && s.running && isMedia(*s.running))
        m_lastBytesMs = nowMs;
    line(text);
}

void printSummary(const TransferDoingThread& job, FILE* out) {
    for (Kind k : kAllKinds)
        if (job.request().kinds[k])
            std::fprintf(out, "  %-10s %s\n", kindName(k), describe(job.outcome(k), true).c_str());
    if (job.request().dryRun)
        std::fprintf(out, "  Dry run: nothing was written.\n");
    else
        std::fprintf(out, job.allSucceeded() ? "  Everything arrived.\n"
                                             : "  Not everything arrived.\n");
}

std::string usageJson(const std::string& message) {
    return "{\"success\":false,\"error\":\"usage\",\"message\":" + jsonString(message) +
           ",\"kinds\":{}}";
}

std::string outcomeJson(const TransferDoingThread& job, const TransferRequest& request,
                        const std::string& error) {
    std::ostringstream json;
    json << "{\"mode\":" << request.mode() << ",\"source\":" << jsonString(request.sourceText)
         << ",\"destination\":" << jsonString(request.destinationText)
         << ",\"success\":" << (job.allSucceeded() ? "true" : "false");
    const PreparationInfo prepared = job.preparation();
    if (prepared.backupMs >= 0)
        json << ",\"backup\":{\"folder\":" << jsonString(prepared.backupFolder)
             << ",\"seconds\":" << seconds(prepared.backupMs)
             << ",\"bytes\":" << prepared.backupBytes << "}";
    if (request.dryRun)
        json << ",\"dry_run\":true";
    if (!error.empty())
        json << ",\"error\":" << jsonString(error);
    json << ",\"kinds\":{";
    bool first = true;
    for (Kind k : kAllKinds) {
        if (!job.request().kinds[k])
            continue;
        const KindCounters& c = job.outcome(k);
        json << (first ? "" : ",") << jsonString(kindKey(k))
             << ":{\"outcome\":" << jsonString(outcomeKey(evaluate(c, true)))
             << ",\"offered\":" << c.offered.load() << ",\"copied\":" << c.copied.load()
             << ",\"failed\":" << c.failed.load() << ",\"skipped\":" << c.skipped.load()
             << ",\"already\":" << c.already.load()
             << ",\"reason\":" << jsonString(reasonKey(c.firstReason()))
             << ",\"text\":" << jsonString(describe(c, true)) << ",\"renamed\":" << c.renamed.load()
             << ",\"changed\":" << c.changed.load()
             << ",\"seconds\":" << seconds(c.elapsedMs.load());
        if (request.dryRun)
            json << ",\"to_copy\":" << c.planned.load() << ",\"bytes\":" << c.plannedBytes.load();
        json << "}";
        first = false;
    }
    json << "}}";
    return json.str();
}

} // namespace kestrova
