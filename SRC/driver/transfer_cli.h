// Command line, progress lines and report of the headless transfer driver,
// kept apart from its main() so tests can check them.
#pragma once

#include <QStringList>

#include <cstdio>
#include <string>

#include "QtMyThread.h"

namespace kestrova {

// Exit status of kestrova-transfer.
enum ExitCode : int {
    kExitArrived = 0,  // every chosen kind arrived (a dry run: it ran)
    kExitNotAll = 1,   // something did not arrive (or the run was cancelled)
    kExitUsage = 2,    // the command line is wrong
    kExitNotFound = 3, // a source or destination not found, not ready or busy
};

// What the command line asks for.
enum class CliAction { Transfer, List, Help, Version };

// The job's request, and what only the driver needs to find the devices.
struct TransferRequest : JobRequest {
    CliAction action = CliAction::Transfer;
    bool json = false; // --list: as JSON (a copy's report is JSON anyway)
    std::string backupDir;
    int waitSeconds = 60;
    bool fastSmsCountdown = false;
    bool summary = false; // also print one line per kind for people (standard error)
    // A phone may be named by its serial or UDID instead of its position
    // ("android:127.0.0.1:5555", or the serial alone); the driver finds its
    // position once listed.
    std::string sourceSerial;
    std::string destinationSerial;
    std::string sourceText = "android:0";
    std::string destinationText = "android:1";
    std::string passwordFile; // --password-file: an encrypted backup's password
};

// Parses the arguments (without the program's name). False with the reason
// for a usage error; --help and --version set the action and need nothing
// else.
bool parseTransferArgs(const QStringList& arguments, TransferRequest* request, std::string* error);
bool parseTransferArgs(int argc, char** argv, TransferRequest* request, std::string* error);

// The text of --help: options, what --from and --to take, exit status, and
// where the log is.
std::string transferHelpText();

// The backup password of --password-file (its first line), or else of the
// variable KESTROVA_BACKUP_PASSWORD, which is then removed from the
// environment so that no child process inherits it. False with the reason
// when the file cannot be read or holds no password.
bool loadBackupPassword(TransferRequest* request, std::string* error);

// Standard output carries only "progress ..." lines and, last, the report.
// The printer writes a progress line only when it says something new: a
// kind's count changed, a preparation step moved on, or (for photos, videos
// and music, whose lines also give bytes and the time left) at most once a
// second while a file is copied.
//   progress contacts 12/40
//   progress photos 3/10 2.4 MB of 9.1 MB, about 12 s left
//   progress Reading the iPhone: 43%
class ProgressPrinter {
  public:
    explicit ProgressPrinter(FILE* out) : m_out(out) {}
    // The job's progress as of this snapshot, taken nowMs into the run.
    void update(const ProgressSnapshot& snapshot, int64_t nowMs);
    // "progress <text>", unless it is the line printed last.
    void line(const std::string& text);

  private:
    FILE* m_out;
    std::string m_last;
    int m_kind = -1;           // the kind whose start time is kept
    int64_t m_kindStartMs = 0; // when it was first seen running
    int64_t m_lastBytesMs = -1000000;
    uint32_t m_lastCount = 0;
};

// The progress line's text for one snapshot (without "progress "), empty when
// there is nothing to show; elapsedMs: how long the kind in hand has run.
std::string progressText(const ProgressSnapshot& snapshot, int64_t elapsedMs);

// "2.4 MB" (decimal units, one decimal, whatever the locale).
std::string byteText(int64_t bytes);

// One line per chosen kind: "  contacts   Success".
void printSummary(const TransferDoingThread& job, FILE* out);

// {"mode":2001,"source":"android:0","destination":"android:1","success":false,
//  "kinds":{"sms":{"outcome":"skipped","offered":40,"copied":0,"failed":0,"skipped":40,
//  "already":0,"reason":"sms_prompt_not_accepted","text":"Skipped: not accepted on the
//  phone","seconds":2.031}}}   (seconds: how long the kind took inside the job; already:
//  items the destination held before, not copied again). A dry run adds "dry_run":true
//  and per kind "to_copy" and "bytes" (of the files to copy).
// A live iPhone read through a backup adds "backup":{"folder":"...","seconds":12.5,"bytes":123}.
// A run that ended before the copy began adds "error" with the reason in words.
std::string outcomeJson(const TransferDoingThread& job, const TransferRequest& request,
                        const std::string& error = {});

// The report of a command line that could not be used:
// {"success":false,"error":"usage","message":"unknown option 'x'","kinds":{}}
std::string usageJson(const std::string& message);

// A JSON string literal of text (UTF-8 kept, control characters escaped).
std::string jsonString(const std::string& text);

} // namespace kestrova
