// kestrova-transfer: runs one transfer job without windows, against whatever
// phones the environment gives (the virtual lab's exports, or real phones),
// prints progress lines while it runs and ends with one JSON object
// describing the outcome of every kind, also when the job could not begin.
// Nothing else reaches standard output: the libraries log into the log file
// (kestrova_log.h), and messages for people go to standard error.
// `kestrova-transfer --help` says what it takes and the exit status;
// `--list [--json]` lists the phones and backups as --from and --to take them.
//
// An iPhone of iOS 8 or later is read through a backup it takes into the
// standard backup folder (or into --backup-dir); the report then names the
// backup's folder. An encrypted backup's password comes from --password-file
// (its first line) or the variable KESTROVA_BACKUP_PASSWORD, never from an
// argument.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "QtMyThread.h"
#include "android_destination.h"
#include "device_listing.h"
#include "fruitlink.h"
#include "greenlink.h"
#include "jukelink.h"
#include "kestrova_version.h"
#include "program_log.h"
#include "transfer_cli.h"
#include "work_folder.h"

namespace {

// SIGINT or SIGTERM cancels the job the way the progress window's cancel
// does; the report then says what arrived before the stop.
volatile std::sig_atomic_t g_cancelRequested = 0;
void requestCancel(int) { g_cancelRequested = 1; }

bool waitFor(int seconds, const std::function<bool()>& ready) {
    QElapsedTimer timer;
    timer.start();
    while (!ready()) {
        if (g_cancelRequested || timer.elapsed() > seconds * 1000LL)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return true;
}

// The position (0 or 1) of the Android phone with this serial, or -1.
int positionOfSerial(const std::string& serial, int seconds) {
    int found = -1;
    waitFor(seconds, [&] {
        for (int i = 0; i < 2 && found < 0; ++i) {
            AndroidTSF_CheckDeviceDetected(i);
            AndroidDeviceInfo info = {};
            if (AndroidTSF_GetAndroidDevicesInfo(&info, i) == 0 && serial == info.serial)
                found = i;
        }
        return found >= 0;
    });
    return found;
}

// The position of the iPhone with this UDID, or -1.
int positionOfUdid(const std::string& udid, int seconds) {
    int found = -1;
    waitFor(seconds, [&] {
        for (int i = 0; i < IphoneTSF_ConnectDeviceCount() && found < 0; ++i) {
            DeviceNode* node = IphoneTSF_AcquireDeviceNode(i);
            if (node && node->info && node->info->udid && udid == node->info->udid)
                found = i;
            IphoneTSF_ReleaseDeviceNode(node);
        }
        return found >= 0;
    });
    return found;
}

bool detectAndroid(int index, int seconds) {
    if (!waitFor(seconds, [&] { return AndroidTSF_CheckConnectDeviceToPC_Count() > 0; }))
        return false;
    int last = -5;
    if (waitFor(seconds, [&] { return (last = AndroidTSF_CheckDeviceDetected(index)) == 0; }))
        return true;
    if (last == -2)
        std::fprintf(stderr,
                     "kestrova-transfer: phone %d waits for its user to allow USB "
                     "debugging from this computer\n",
                     index);
    else if (last == -3)
        std::fprintf(stderr,
                     "kestrova-transfer: phone %d: no permissions to open it (install "
                     "the udev rules for Android phones: android-sdk-platform-tools-common)\n",
                     index);
    else if (last == -1)
        std::fprintf(stderr, "kestrova-transfer: phone %d is not ready (USB debugging off?)\n",
                     index);
    return false;
}

bool prepareAndroid(int index) {
    if (AndroidTSF_ReadyTodoing(index) == 0)
        return true;
    const char* why = AndroidTSF_GetReadyTodoFailure(index);
    if (why && *why)
        std::fprintf(stderr, "kestrova-transfer: phone %d: %s\n", index, why);
    return false;
}

// A command line that cannot be used still ends with a report, so a script
// reading standard output always finds one.
int usage(const std::string& message) {
    std::fprintf(stderr, "kestrova-transfer: %s (see --help)\n", message.c_str());
    std::printf("%s\n", kestrova::usageJson(message).c_str());
    std::fflush(stdout);
    return kestrova::kExitUsage;
}

int list(const kestrova::TransferRequest& request) {
    AndroidTSF_Init();
    IphoneTSF_Init();
    const kestrova::DeviceListing listing = kestrova::listDevices(request.backupDir, 1500);
    const std::string text =
        request.json ? kestrova::listingJson(listing) : kestrova::listingText(listing);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    AndroidTSF_UnInit();
    IphoneTSF_UnInit();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrova-transfer"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTROVA_VERSION));
    kestrova::TransferRequest request;
    std::string error;
    if (!kestrova::parseTransferArgs(app.arguments().mid(1), &request, &error))
        return usage(error);
    if (request.action == kestrova::CliAction::Help) {
        std::fputs(kestrova::transferHelpText().c_str(), stdout);
        return 0;
    }
    if (request.action == kestrova::CliAction::Version) {
        std::printf("kestrova-transfer %s\n", KESTROVA_VERSION);
        return 0;
    }
    kestrova::installProgramLog();
    if (request.action == kestrova::CliAction::List)
        return list(request);
    if (!kestrova::loadBackupPassword(&request, &error))
        return usage(error);

    // A cancel while the phones are still being prepared ends the run with a
    // report in which nothing was started.
    std::signal(SIGINT, requestCancel);
    std::signal(SIGTERM, requestCancel);
    TransferDoingThread job;
    job.prepareJob(request);
    kestrova::ProgressPrinter progress(stdout);
    // The report ends every run, as its last line.
    auto report = [&](bool letGoOfPhones, int status, const std::string& why = {}) {
        if (letGoOfPhones)
            AndroidTSF_UnInit();
        if (request.summary) {
            kestrova::printSummary(job, stderr);
            std::fflush(stderr);
        }
        std::printf("%s\n", kestrova::outcomeJson(job, request, why).c_str());
        std::fflush(stdout);
        return status;
    };
    auto cancelledBeforeStart = [&] {
        job.cancelBeforeStart();
        return report(true, kestrova::kExitNotAll, "cancelled before the copy began");
    };
    // A preparation step that gave up because of the cancel is no failure;
    // any other ends with the report too, every kind saying why.
    auto failOrCancel = [&](const char* message,
                            kestrova::Reason why = kestrova::Reason::SourceUnavailable) {
        if (g_cancelRequested)
            return cancelledBeforeStart();
        std::fprintf(stderr, "kestrova-transfer: %s\n", message);
        job.failBeforeStart(why);
        // A phone another copy is using keeps its agent.
        return report(why != kestrova::Reason::PhoneBusy, kestrova::kExitNotFound, message);
    };

    kestrova::removeLeftovers();
    AndroidTSF_Init();
    if (request.sourceType == kDeviceIphone) {
        IphoneTSF_Init();
        // A live iPhone's backup goes to the chosen folder, where the reader
        // then finds it; without one, to the standard folder.
        if (!request.backupDir.empty()) {
            IphoneTSF_SetBackupRoot(request.backupDir.c_str());
            std::string folder = request.backupDir;
            iTunesTSF_SetOtherBackupPath(folder.data());
        }
    }
    if (request.sourceType == kDeviceItunesBackup && !request.backupDir.empty()) {
        std::string folder = request.backupDir;
        iTunesTSF_SetOtherBackupPath(folder.data());
    }

    if (request.sourceType == kDeviceIphone && !request.sourceSerial.empty()) {
        if ((request.sourceIndex = positionOfUdid(request.sourceSerial, request.waitSeconds)) < 0)
            return failOrCancel("no iPhone with the source's UDID");
    } else if (!request.sourceSerial.empty() &&
               (request.sourceIndex = positionOfSerial(request.sourceSerial, request.waitSeconds)) <
                   0) {
        return failOrCancel("no Android phone with the source's serial");
    }
    if (!request.destinationSerial.empty() &&
        (request.destinationIndex =
             positionOfSerial(request.destinationSerial, request.waitSeconds)) < 0)
        return failOrCancel("no Android phone with the destination's serial",
                            kestrova::Reason::DestinationUnavailable);
    // A folder of exported files needs no phone on the destination's side.
    const bool androidDestination = request.destinationType == kDeviceAndroid;
    if (request.sourceType == kDeviceAndroid && androidDestination &&
        request.sourceIndex == request.destinationIndex)
        return failOrCancel("source and destination are the same phone");

    // Find the phones, hold them against other copies, and only then bring
    // them to the ready state the window would have reached: preparing a
    // phone restarts its agent, which another copy may be using.
    const bool androidSource = request.sourceType == kDeviceAndroid;
    if (androidSource && !detectAndroid(request.sourceIndex, request.waitSeconds))
        return failOrCancel("the source Android phone is not ready");
    if (androidDestination && !detectAndroid(request.destinationIndex, request.waitSeconds))
        return failOrCancel("the destination Android phone is not ready",
                            kestrova::Reason::DestinationUnavailable);
    kestrova::PhoneLock sourceLock;
    kestrova::PhoneLock destinationLock;
    if ((androidSource && !sourceLock.acquire(kestrova::androidSerial(request.sourceIndex))) ||
        (androidDestination &&
         !destinationLock.acquire(kestrova::androidSerial(request.destinationIndex))))
        return failOrCancel("a phone is in use by another copy", kestrova::Reason::PhoneBusy);
    request.lockPhones = false;
    // Preparing a phone (its agent installed and started) takes seconds.
    if (androidSource)
        progress.line("Preparing the source phone");
    if (androidSource && !prepareAndroid(request.sourceIndex))
        return failOrCancel("the source Android phone is not ready");
    if (androidDestination)
        progress.line("Preparing the destination phone");
    if (androidDestination && !prepareAndroid(request.destinationIndex))
        return failOrCancel("the destination Android phone is not ready",
                            kestrova::Reason::DestinationUnavailable);
    if (request.sourceType == kDeviceIphone && !waitFor(request.waitSeconds, [&] {
            return IphoneTSF_ConnectDeviceCount() > request.sourceIndex;
        }))
        return failOrCancel("the iPhone is not attached");
    if (request.sourceType == kDeviceItunesBackup && iTunesTSF_BackupCount() <= request.sourceIndex)
        return failOrCancel("no such backup");

    if (g_cancelRequested)
        return cancelledBeforeStart();
    // The positions are known only now. The job holds the password from here.
    job.prepareJob(request);
    kestrova::wipeSecret(&request.backupPassword);
    if (request.fastSmsCountdown)
        job.setCountdownSleeper([] {});
    QObject::connect(
        &job, &TransferDoingThread::changeSMSShow, &job,
        [] {
            std::printf("progress sms: waiting for the destination's user\n");
            std::fflush(stdout);
        },
        Qt::DirectConnection);

    QElapsedTimer clock;
    clock.start();
    job.start();
    bool cancelled = false;
    kestrova::Stage shownStage = kestrova::Stage::None;
    while (!job.wait(200)) {
        const kestrova::ProgressSnapshot snapshot = job.snapshot();
        if (snapshot.stage != shownStage && snapshot.stage != kestrova::Stage::None)
            progress.line(kestrova::stageText(snapshot.stage));
        shownStage = snapshot.stage;
        if (g_cancelRequested && !cancelled) {
            cancelled = true;
            std::fprintf(stderr, "kestrova-transfer: cancel: stopping after the record or file "
                                 "in hand\n");
            progress.line("cancelling");
            job.cancel();
        }
        progress.update(snapshot, clock.elapsed());
    }
    progress.update(job.snapshot(), clock.elapsed());
    return report(true, job.allSucceeded() ? kestrova::kExitArrived : kestrova::kExitNotAll);
}
