#include "transfer_cli.h"

#include "work_folder.h"

#include <QDir>

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace kestrova {

namespace {

bool parseDevice(const std::string& text, int* type, int* index, std::string* serial) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon + 1 >= text.size())
        return false;
    const std::string kind = text.substr(0, colon);
    const std::string number = text.substr(colon + 1);
    if (number.find_first_not_of("0123456789") != std::string::npos || number.size() > 3) {
        // Not a position: an Android serial or an iPhone's UDID.
        // A UDID is 40 hex digits, or 8 and 16 joined by a dash.
        const bool udid = kind == "iphone" && number.size() >= 24 &&
                          number.find_first_not_of("0123456789abcdefABCDEF-") == std::string::npos;
        if ((kind != "android" && !udid) || number.size() > 63)
            return false;
        *serial = number;
        *index = -1;
        *type = kind == "android" ? kDeviceAndroid : kDeviceIphone;
        return true;
    }
    *index = std::atoi(number.c_str());
    if (kind == "android")
        *type = kDeviceAndroid;
    else if (kind == "iphone")
        *type = kDeviceIphone;
    else if (kind == "backup")
        *type = kDeviceItunesBackup;
    else
        return false;
    return true;
}

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

// Milliseconds as seconds with three decimals, independent of the locale.
std::string seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text;
}

} // namespace

bool parseTransferArgs(int argc, char** argv, TransferRequest* r, std::string* error) {
    bool anyKind = false;
    r->workFolder = defaultWorkFolder();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) {
                *error = "missing value after " + arg;
                return false;
            }
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--from") {
            if (!value(&v) || !parseDevice(v, &r->sourceType, &r->sourceIndex, &r->sourceSerial))
                return *error = error->empty() ? "bad --from: " + v : *error, false;
            r->sourceText = v;
        } else if (arg == "--to" && i + 1 < argc &&
                   std::string(argv[i + 1]).rfind("folder:", 0) == 0) {
            // A folder of exported files.
            value(&v);
            if (v.size() <= 7)
                return *error = "folder: needs a path", false;
            r->destinationType = kDeviceFolder;
            r->destinationFolder = QString::fromStdString(v.substr(7));
            r->destinationText = v;
        } else if (arg == "--to") {
            int type = 0;
            if (!value(&v) || !parseDevice(v, &type, &r->destinationIndex, &r->destinationSerial) ||
                type != kDeviceAndroid)
                return *error = error->empty() ? "the destination must be android:N or folder:DIR"
                                               : *error,
                       false;
            r->destinationText = v;
        } else if (arg == "--kinds") {
            if (!value(&v))
                return false;
            std::stringstream list(v);
            std::string key;
            while (std::getline(list, key, ',')) {
                const std::optional<Kind> kind = kindFromKey(key);
                if (!kind)
                    return *error = "unknown kind: " + key, false;
                r->kinds[*kind] = anyKind = true;
            }
        } else if (arg == "--all") {
            for (bool& k : r->kinds)
                k = anyKind = true;
        } else if (arg == "--work") {
            if (!value(&v))
                return false;
            r->workFolder = QString::fromStdString(v);
        } else if (arg == "--backup-dir") {
            if (!value(&r->backupDir))
                return false;
        } else if (arg == "--wait") {
            if (!value(&v))
                return false;
            r->waitSeconds = std::atoi(v.c_str());
        } else if (arg == "--password-file") {
            if (!value(&r->passwordFile))
                return false;
        } else if (arg == "--password") {
            *error = "a password is never taken as an argument (other users can read the "
                     "process list): use --password-file FILE or KESTROVA_BACKUP_PASSWORD";
            return false;
        } else if (arg == "--summary") {
            r->summary = true;
        } else if (arg == "--fast-sms-countdown") {
            r->fastSmsCountdown = true;
        } else if (arg == "--duplicates") {
            if (!value(&v))
                return false;
            if (v != "skip" && v != "keep")
                return *error = "--duplicates takes skip or keep", false;
            r->skipExisting = v == "skip";
        } else if (arg == "--dry-run") {
            r->dryRun = true;
        } else {
            *error = "unknown argument: " + arg;
            return false;
        }
    }
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

void printProgress(const TransferDoingThread& job, FILE* out) {
    const ProgressSnapshot s = job.snapshot();
    if (!s.running && s.preparing >= 0) {
        std::fprintf(out, "progress %s\n", preparingText(s.preparing).c_str());
        std::fflush(out);
        return;
    }
    if (!s.running)
        return;
    const auto& k = s.kinds[*s.running];
    std::fprintf(out, "progress %s %u/%d\n", kindKey(*s.running), k.current, k.total);
    std::fflush(out);
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

std::string outcomeJson(const TransferDoingThread& job, const TransferRequest& request) {
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
