// Command line and report of the headless transfer driver, kept apart from
// its main() so tests can check them.
#pragma once

#include <cstdio>
#include <string>

#include "QtMyThread.h"

namespace kestrova {

// The job's request, and what only the driver needs to find the devices.
struct TransferRequest : JobRequest {
    std::string backupDir;
    int waitSeconds = 60;
    bool fastSmsCountdown = false;
    bool summary = false; // also print one line per kind for people
    // An Android phone may be named by its serial instead of its position
    // ("android:127.0.0.1:5555"); the driver finds its position once listed.
    std::string sourceSerial;
    std::string destinationSerial;
    std::string sourceText = "android:0";
    std::string destinationText = "android:1";
    std::string passwordFile; // --password-file: an encrypted backup's password
};

bool parseTransferArgs(int argc, char** argv, TransferRequest* request, std::string* error);

// The backup password of --password-file (its first line), or else of the
// variable KESTROVA_BACKUP_PASSWORD, which is then removed from the
// environment so that no child process inherits it. False with the reason
// when the file cannot be read or holds no password.
bool loadBackupPassword(TransferRequest* request, std::string* error);

// One line per running kind: "progress sms 12/40"; while a live iPhone is
// backed up first: "progress Reading the iPhone: 43%".
void printProgress(const TransferDoingThread& job, FILE* out);

// One line per chosen kind: "  contacts   Success".
void printSummary(const TransferDoingThread& job, FILE* out);

// {"mode":2001,"source":"android:0","destination":"android:1","success":false,
//  "kinds":{"sms":{"outcome":"skipped","offered":40,"copied":0,"failed":0,"skipped":40,
//  "already":0,"reason":"sms_prompt_not_accepted","text":"Skipped: not accepted on the
//  phone","seconds":2.031}}}   (seconds: how long the kind took inside the job; already:
//  items the destination held before, not copied again). A dry run adds "dry_run":true
//  and per kind "to_copy" and "bytes" (of the files to copy).
// A live iPhone read through a backup adds "backup":{"folder":"...","seconds":12.5,"bytes":123}.
std::string outcomeJson(const TransferDoingThread& job, const TransferRequest& request);

} // namespace kestrova
