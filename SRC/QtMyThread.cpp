// The transfer job's core: preparation of the source, the order of the kinds,
// the default-SMS-app handshake and the outcome bookkeeping. The routines of
// each mode live in QtMyThread_android2android.cpp, QtMyThread_iphone2android.cpp
// and QtMyThread_iTunes2android.cpp.
#include "QtMyThread.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdlib>
#include <cstring>

#include "dbsifter.h"
#include "fruitlink.h"
#include "greenlink.h"
#include "jukelink.h"
#include "misc.h"

using kestrova::kKindCount;
using kestrova::Reason;

namespace {

constexpr int kPreferredBuffer = 10240;
constexpr int kAgentGreetings = 10;

char* allocateCopyBuffer(int32_t* size) {
    int wanted = kPreferredBuffer;
    for (;;) {
        if (char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(wanted)))) {
            *size = wanted;
            return buffer;
        }
        wanted = wanted < 4098 ? 2048 : wanted / 2;
    }
}

// Why the iPhone's databases did not arrive: a phone that is there but
// refuses the relay (every iPhone since iOS 8) is told apart from one that is gone.
Reason iphoneFetchFailure(int index) {
    if (IphoneTSF_ConnectDeviceCount() <= index)
        return Reason::SourceGone;
    char why[512] = {};
    IphoneTSF_GetLastError(why, sizeof why);
    if (std::strstr(why, "ermission") || std::strstr(why, "refuse"))
        return Reason::RelayRefused;
    return Reason::ReadFailed;
}

} // namespace

TransferDoingThread::TransferDoingThread() : QThread(nullptr) {
    m_buffer = allocateCopyBuffer(&m_bufferSize);
    m_countdownSleep = [] { QThread::sleep(1); };
    const bool none[kKindCount] = {};
    prepareJob(none);
    m_stop = 0;
}

TransferDoingThread::~TransferDoingThread() {
    wait();
    std::free(m_buffer);
}

void TransferDoingThread::prepareJob(const bool selected[kKindCount]) {
    m_stop = 1;
    for (int k = 0; k < kKindCount; ++k) {
        m_selected[k] = selected[k];
        m_finished[k] = false;
        m_current[k] = 0;
        m_total[k] = -1;
        m_totalSize[k] = 10000000;
        m_doneSize[k] = 0;
        m_outcome[k].reset();
    }
    m_kindIndex = -1;
    m_smsCountdown = 60;
    m_destinationGone = false;
    m_sourceGone = false;
    m_sourceFailure = 0;
}

void TransferDoingThread::setCountdownSleeper(std::function<void()> sleeper) {
    m_countdownSleep = std::move(sleeper);
}

void TransferDoingThread::cancelBeforeStart() {
    for (int k = 0; k < kKindCount; ++k)
        if (m_selected[k])
            m_outcome[k].cancelled = true;
}

bool TransferDoingThread::allSucceeded() const {
    for (int k = 0; k < kKindCount; ++k)
        if (m_selected[k] && kestrova::evaluate(m_outcome[k], true) != kestrova::Outcome::Success)
            return false;
    return true;
}

TransferDoingThread::Routine TransferDoingThread::routineFor(int kind) const {
    using T = TransferDoingThread;
    static constexpr Routine android[kKindCount] = {
        &T::transfer_android2android_data_CONTACT, &T::transfer_android2android_data_MESSAGE,
        &T::transfer_android2android_data_CALLLOG, &T::transfer_android2android_data_CALENDER,
        &T::transfer_android2android_data_PHOTOS,  &T::transfer_android2android_data_VIDEOS,
        &T::transfer_android2android_data_MUSICS,  &T::transfer_android2android_data_APPS};
    static constexpr Routine iphone[kKindCount] = {
        &T::transfer_iphone2android_data_CONTACT, &T::transfer_iphone2android_data_MESSAGE,
        &T::transfer_iphone2android_data_CALLLOG, &T::transfer_iphone2android_data_CALENDER,
        &T::transfer_iphone2android_data_PHOTOS,  &T::transfer_iphone2android_data_VIDEOS,
        &T::transfer_iphone2android_data_MUSICS,  &T::transfer_iphone2android_data_APPS};
    static constexpr Routine itunes[kKindCount] = {
        &T::transfer_itunes2android_data_CONTACT, &T::transfer_itunes2android_data_MESSAGE,
        &T::transfer_itunes2android_data_CALLLOG, &T::transfer_itunes2android_data_CALENDER,
        &T::transfer_itunes2android_data_PHOTOS,  &T::transfer_itunes2android_data_VIDEOS,
        &T::transfer_itunes2android_data_MUSICS,  &T::transfer_itunes2android_data_APPS};
    switch (m_mode) {
    case kModeAndroid2Android:
        return android[kind];
    case kModeIphone2Android:
        return iphone[kind];
    case kModeItunes2Android:
        return itunes[kind];
    default:
        return nullptr;
    }
}

void TransferDoingThread::run() {
    m_stop = 0;
    m_fileSize = 0;
    m_fileDone = 0;

    // A phone's agent may need a few greetings before its channel settles.
    if (m_srcType == kDeviceAndroid)
        for (int i = 0; i < kAgentGreetings; ++i)
            AndroidTSF_CheckDevicesIsConnect(m_srcIndex);
    if (m_dstType == kDeviceAndroid)
        for (int i = 0; i < kAgentGreetings; ++i)
            AndroidTSF_CheckDevicesIsConnect(m_dstIndex);

    if (!routineFor(0)) {
        // No procedure for this direction: nothing is copied, and every
        // ticked kind says so instead of claiming success.
        for (int k = 0; k < kKindCount; ++k)
            if (m_selected[k]) {
                m_outcome[k].started = true;
                m_outcome[k].setReason(Reason::NotSupported);
                m_outcome[k].finished = true;
                m_finished[k] = true;
            }
        return;
    }
    if (!prepareSource() || stopped()) {
        for (int k = 0; k < kKindCount; ++k)
            if (m_selected[k])
                m_outcome[k].cancelled = stopped();
        return;
    }

    for (int k = 0; k < kKindCount; ++k) {
        if (!m_selected[k])
            continue;
        if (m_mode == kModeIphone2Android && k == 0)
            IphoneTSF_FlushContact();
        runKind(k);
        if (stopped()) {
            // The kind in hand ends as cancelled unless it had counted what
            // the source offered and all of it had already arrived; every
            // later ticked kind never started.
            if (m_outcome[k].offered < 0 ||
                kestrova::evaluate(m_outcome[k], true) != kestrova::Outcome::Success)
                m_outcome[k].cancelled = true;
            for (int later = k + 1; later < kKindCount; ++later)
                if (m_selected[later])
                    m_outcome[later].cancelled = true;
            return;
        }
    }
    if (m_mode == kModeAndroid2Android)
        QFile::remove(m_workPath);
}

void TransferDoingThread::runKind(int kind) {
    m_kindIndex = kind;
    kestrova::KindCounters& out = m_outcome[kind];
    out.started = true;
    QElapsedTimer clock;
    clock.start();
    if (m_destinationGone) {
        out.setReason(Reason::DestinationGone);
    } else if (m_sourceGone) {
        out.setReason(Reason::SourceGone);
    } else if (const auto failure = static_cast<Reason>(m_sourceFailure.load());
               failure != Reason::None && (kind <= 3 || failure != Reason::RelayRefused)) {
        // A refused relay costs the personal kinds only; an encrypted or
        // missing source costs every kind (encrypted media is unreadable too).
        out.setReason(failure);
    } else {
        (this->*routineFor(kind))();
    }
    settleKind(kind, stopped() ? Reason::Cancelled : Reason::ReadFailed);
    out.elapsedMs = clock.elapsed();
    out.finished = true;
    m_finished[kind] = true;
}

bool TransferDoingThread::prepareSource() {
    switch (m_mode) {
    case kModeAndroid2Android:
        m_workPath += "/123";
        return true;
    case kModeIphone2Android:
    case kModeItunes2Android: {
        m_extractFolder = m_workPath + "/tmp";
        removeDirWithContent(m_extractFolder);
        QDir(m_workPath).mkdir("tmp");
        QByteArray folder = m_extractFolder.toUtf8();
        folder.resize(std::min<qsizetype>(folder.size(), 1023));
        char path[1024] = {};
        std::memcpy(path, folder.constData(), static_cast<size_t>(folder.size()));
        if (m_mode == kModeItunes2Android) {
            iTunesTSF_SetTempPath(path);
            iTunesTSF_ScanBackupDeviceByIndex(m_srcIndex);
            BackupDeviceNode* backup = nullptr;
            iTunesTSF_GetBackupDeviceByIndex(m_srcIndex, &backup);
            if (!backup)
                m_sourceFailure = static_cast<int>(Reason::SourceUnavailable);
            else if (backup->isEncrypted)
                m_sourceFailure = static_cast<int>(Reason::BackupEncrypted);
            return true;
        }
        const bool personal = m_selected[0] || m_selected[1] || m_selected[2] || m_selected[3];
        const bool media = m_selected[4] || m_selected[5] || m_selected[6];
        if (personal) {
            if (stopped())
                return false;
            if (IphoneTSF_GetDeviceSqliteDB(path, m_srcIndex) != 0)
                m_sourceFailure = static_cast<int>(iphoneFetchFailure(m_srcIndex));
        }
        if (media) {
            if (stopped())
                return false;
            IphoneTSF_FlushMedia(m_srcIndex);
        }
        return true;
    }
    default:
        return false;
    }
}

// Default-SMS-app handshake -------------------------------------------------

bool TransferDoingThread::smsHandshakeBegin(bool* changedDefault) {
    *changedDefault = false;
    if (AndroidTSF_CheckAndroidVersionAt44(m_dstIndex) == 1) {
        *changedDefault = true;
        if (stopped())
            return false;
        emit changeSMSShow();
        AndroidTSF_SetDefaultMessage(m_dstIndex);
        m_smsCountdown = 60;
        while (AndroidTSF_CheckDefaultMessangeOK(m_dstIndex) != 0 && !stopped()) {
            m_countdownSleep();
            const int before = m_smsCountdown.fetch_sub(1);
            if (before <= 0) {
                AndroidTSF_ReSetDefaultMessage(m_dstIndex);
                break;
            }
            if (before - 1 == 20)
                AndroidTSF_SetDefaultMessage(m_dstIndex); // ask the user a second time
        }
        emit changeSMSHide();
    }
    const int before = m_smsCountdown.fetch_sub(1);
    return before > 0;
}

void TransferDoingThread::smsHandshakeEnd(bool changedDefault) {
    if (changedDefault)
        AndroidTSF_ReSetDefaultMessage(m_dstIndex);
}

// Outcome bookkeeping -------------------------------------------------------

void TransferDoingThread::offer(int kind, int64_t count) {
    m_outcome[kind].offered = count < 0 ? 0 : count;
}

void TransferDoingThread::failed(int kind, Reason why) {
    m_outcome[kind].failed++;
    // A read or write that failed may mean a phone has gone: ask both before
    // naming the cause (the first reason recorded is the one reported).
    if (why == Reason::ReadFailed || why == Reason::WriteFailed)
        if (sourceAlive(kind))
            destinationAlive(kind);
    m_outcome[kind].setReason(why);
}

bool TransferDoingThread::offerCount(int kind, int total) {
    if (total >= 1) {
        offer(kind, total);
        return true;
    }
    if (sourceAlive(kind))
        offer(kind, 0);
    return false;
}

void TransferDoingThread::skipped(int kind, Reason why) {
    m_outcome[kind].skipped++;
    m_outcome[kind].setReason(why);
}

bool TransferDoingThread::destinationAlive(int kind) {
    if (m_destinationGone)
        return false;
    if (AndroidTSF_CheckDevicesIsConnect(m_dstIndex) == 0)
        return true;
    m_destinationGone = true;
    m_outcome[kind].setReason(Reason::DestinationGone);
    return false;
}

bool TransferDoingThread::sourceAlive(int kind) {
    if (m_srcType != kDeviceAndroid)
        return true;
    if (!m_sourceGone && AndroidTSF_CheckDevicesIsConnect(m_srcIndex) == 0)
        return true;
    m_sourceGone = true;
    m_outcome[kind].setReason(Reason::SourceGone);
    return false;
}

void TransferDoingThread::settleKind(int kind, Reason why) {
    kestrova::KindCounters& c = m_outcome[kind];
    if (c.offered < 0)
        return;
    const int64_t accounted = c.copied + c.failed + c.skipped;
    if (accounted < c.offered) {
        c.failed += c.offered - accounted;
        c.setReason(why);
    }
}

// Record writes ---------------------------------------------------------------
// The agent answers a stored record with a positive value (its new row) and
// anything else when it stored nothing; no reply at all reads as -1.

bool TransferDoingThread::addContact(ABPerson* person) {
    return AndroidTSF_AddPerson2(person, m_dstIndex) == 0;
}
bool TransferDoingThread::addMessage(SMessage* sms) {
    return AndroidTSF_SendSMS(sms, m_dstIndex) > 0;
}
bool TransferDoingThread::addCall(CallHistory* call) {
    return AndroidTSF_AddCallHistory(call, m_dstIndex) > 0;
}
bool TransferDoingThread::addEvent(Calendar* event) {
    return AndroidTSF_AddCalender(event, m_dstIndex) > 0;
}
