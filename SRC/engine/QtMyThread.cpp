// The transfer job's thread: it builds the request's source and destination,
// prepares them and hands each ticked kind, in order, to the job loop.
#include "QtMyThread.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "greenlink.h"
#include "job.h"
#include "sources.h"
#include "work_folder.h"

using kestrova::Kind;
using kestrova::Reason;

TransferDoingThread::TransferDoingThread() {
    m_countdownSleep = [] { std::this_thread::sleep_for(std::chrono::seconds(1)); };
    prepareJob(kestrova::JobRequest{});
}

namespace {
// How long a record or file in hand may take to finish after a cancel.
constexpr auto kCancelGrace = std::chrono::seconds(3);
} // namespace

TransferDoingThread::~TransferDoingThread() {
    wait();
    if (m_cancelWatch.joinable())
        m_cancelWatch.join();
}

void TransferDoingThread::prepareJob(const kestrova::JobRequest& request) {
    if (m_cancelWatch.joinable())
        m_cancelWatch.join();
    m_stop = 0;
    kestrova::wipeSecret(&m_request.backupPassword);
    m_request = request;
    m_progress.reset();
    {
        std::lock_guard lock(m_endsLock);
        m_preparation = {};
    }
    for (kestrova::KindCounters& c : m_outcome)
        c.reset();
}

void TransferDoingThread::setCountdownSleeper(std::function<void()> sleeper) {
    m_countdownSleep = std::move(sleeper);
}

void TransferDoingThread::cancelBeforeStart() {
    for (Kind k : kestrova::kAllKinds)
        if (m_request.kinds[k])
            m_outcome[k].cancelled = true;
}

void TransferDoingThread::failBeforeStart(Reason why) {
    for (Kind k : kestrova::kAllKinds)
        if (m_request.kinds[k]) {
            m_outcome[k].started = true;
            m_outcome[k].setReason(why);
            m_outcome[k].finished = true;
            m_progress.kinds[k].finished = true;
        }
}

void TransferDoingThread::cancel() {
    std::lock_guard lock(m_endsLock);
    if (m_stop.exchange(1) != 0 || !m_source)
        return;
    m_source->abort();
    m_destination->abort();
    m_cancelWatch = std::thread([this] {
        std::unique_lock watch(m_endsLock);
        if (m_ended.wait_for(watch, kCancelGrace, [this] { return !m_source; }))
            return;
        m_source->interrupt();
        m_destination->interrupt();
    });
}

bool TransferDoingThread::allSucceeded() const {
    for (Kind k : kestrova::kAllKinds)
        if (m_request.kinds[k] &&
            kestrova::evaluate(m_outcome[k], true) != kestrova::Outcome::Success)
            return false;
    return true;
}

kestrova::ProgressSnapshot TransferDoingThread::snapshot() const {
    kestrova::ProgressSnapshot s;
    s.mode = m_request.mode();
    s.running = m_progress.runningKind();
    for (Kind k : kestrova::kAllKinds) {
        const kestrova::KindProgress& p = m_progress.kinds[k];
        auto& v = s.kinds[k];
        v.selected = m_request.kinds[k];
        v.finished = p.finished;
        v.current = p.current;
        v.total = p.total;
        v.totalSize = p.totalSize;
        v.doneSize = p.doneSize;
    }
    s.smsCountdown = m_progress.smsCountdown;
    s.fileDone = m_progress.fileDone;
    s.fileSize = m_progress.fileSize;
    s.preparing = m_progress.preparing;
    s.stage = static_cast<kestrova::Stage>(m_progress.stage.load());
    return s;
}

kestrova::PreparationInfo TransferDoingThread::preparation() const {
    std::lock_guard lock(m_endsLock);
    return m_preparation;
}

TransferDoingThread::Routine TransferDoingThread::routineFor(Kind kind) const {
    using T = TransferDoingThread;
    static constexpr Routine android[kestrova::kKindCount] = {
        &T::transfer_android2android_data_CONTACT, &T::transfer_android2android_data_MESSAGE,
        &T::transfer_android2android_data_CALLLOG, &T::transfer_android2android_data_CALENDER,
        &T::transfer_android2android_data_PHOTOS,  &T::transfer_android2android_data_VIDEOS,
        &T::transfer_android2android_data_MUSICS,  &T::transfer_android2android_data_APPS};
    static constexpr Routine iphone[kestrova::kKindCount] = {
        &T::transfer_iphone2android_data_CONTACT, &T::transfer_iphone2android_data_MESSAGE,
        &T::transfer_iphone2android_data_CALLLOG, &T::transfer_iphone2android_data_CALENDER,
        &T::transfer_iphone2android_data_PHOTOS,  &T::transfer_iphone2android_data_VIDEOS,
        &T::transfer_iphone2android_data_MUSICS,  &T::transfer_iphone2android_data_APPS};
    static constexpr Routine itunes[kestrova::kKindCount] = {
        &T::transfer_itunes2android_data_CONTACT, &T::transfer_itunes2android_data_MESSAGE,
        &T::transfer_itunes2android_data_CALLLOG, &T::transfer_itunes2android_data_CALENDER,
        &T::transfer_itunes2android_data_PHOTOS,  &T::transfer_itunes2android_data_VIDEOS,
        &T::transfer_itunes2android_data_MUSICS,  &T::transfer_itunes2android_data_APPS};
    const int k = kestrova::indexOf(kind);
    // The routines are named by where the data comes from; a folder of
    // exported files takes it the way a phone does.
    switch (kestrova::modeFor(m_request.sourceType, kDeviceAndroid)) {
    case kModeAndroid2Android:
        return android[k];
    case kModeIphone2Android:
        return iphone[k];
    case kModeItunes2Android:
        return itunes[k];
    default:
        return nullptr;
    }
}

void TransferDoingThread::run() {
    // The stop flag is cleared by prepareJob, not here: a cancel that comes
    // while the thread starts is not lost.
    m_progress.fileSize = 0;
    m_progress.fileDone = 0;

    std::unique_ptr<kestrova::Source> source = kestrova::makeSource(m_request);
    // The source holds the password now (and wipes it once used).
    kestrova::wipeSecret(&m_request.backupPassword);
    std::unique_ptr<kestrova::Destination> destination = kestrova::makeDestination(m_request);
    if (!source || !destination || !routineFor(Kind::Contacts)) {
        // No way to copy in this direction: nothing is copied, and every
        // ticked kind says so instead of claiming success.
        for (Kind k : kestrova::kAllKinds)
            if (m_request.kinds[k]) {
                m_outcome[k].started = true;
                m_outcome[k].setReason(Reason::NotSupported);
                m_outcome[k].finished = true;
                m_progress.kinds[k].finished = true;
            }
        return;
    }

    // Another job on the same phone would lose it mid-copy.
    kestrova::PhoneLock sourceLock;
    kestrova::PhoneLock destinationLock;
    if (m_request.lockPhones && (!sourceLock.acquire(source->identity()) ||
                                 !destinationLock.acquire(destination->identity())))
        return failBeforeStart(Reason::PhoneBusy);
    // The job's folder holds scratch copies and extracted databases: the
    // user's alone.
    if (!kestrova::makePrivateFolder(m_request.workFolder))
        return failBeforeStart(Reason::SourceUnavailable);
    kestrova::JobContext context{m_request.workFolder, [this] { return stopped(); },
                                 &m_progress.stage};
    context.preparing = [this](int permille) { m_progress.preparing = permille; };
    {
        std::lock_guard lock(m_endsLock);
        m_source = source.get();
        m_destination = destination.get();
    }
    destination->prepare();
    const bool prepared = source->prepare(context, m_request.kinds) && !stopped();
    m_progress.preparing = -1;
    {
        std::lock_guard lock(m_endsLock);
        m_preparation = source->preparation();
    }

    if (prepared) {
        kestrova::SmsPrompt prompt;
        prompt.countdown = &m_progress.smsCountdown;
        prompt.stopped = [this] { return stopped(); };
        prompt.sleepOneSecond = [this] { m_countdownSleep(); };
        prompt.show = [this] { emit changeSMSShow(); };
        prompt.hide = [this] { emit changeSMSHide(); };
        kestrova::JobOptions options;
        options.skipExisting = m_request.skipExisting;
        options.dryRun = m_request.dryRun;
        options.workFolder = m_request.workFolder;
        kestrova::JobLoop loop(
            *source, *destination, m_progress, m_outcome, [this] { return stopped(); }, prompt,
            options);
        m_loop = &loop;
        for (Kind k : kestrova::kAllKinds) {
            if (!m_request.kinds[k])
                continue;
            (this->*routineFor(k))();
            if (stopped()) {
                // The kind in hand ends as cancelled unless it had counted
                // what the source offered and all of it had already arrived;
                // every later ticked kind never started.
                if (m_outcome[k].offered < 0 ||
                    kestrova::evaluate(m_outcome[k], true) != kestrova::Outcome::Success)
                    m_outcome[k].cancelled = true;
                for (Kind later : kestrova::kAllKinds)
                    if (kestrova::indexOf(later) > kestrova::indexOf(k) && m_request.kinds[later])
                        m_outcome[later].cancelled = true;
                break;
            }
        }
        m_loop = nullptr;
    } else {
        for (Kind k : kestrova::kAllKinds)
            if (m_request.kinds[k])
                m_outcome[k].cancelled = stopped();
    }
    {
        std::lock_guard lock(m_endsLock);
        m_source = nullptr;
        m_destination = nullptr;
        // A cancel may have cut the phones' channels: they serve again.
        AndroidTSF_InterruptAll(0);
        m_ended.notify_all();
    }
    destination->finish();
    source->finish();
}

void TransferDoingThread::copyKind(Kind kind) { m_loop->copyKind(kind); }

// One line each: the direction is the source's business, not the routine's.
void TransferDoingThread::transfer_android2android_data_CONTACT() { copyKind(Kind::Contacts); }
void TransferDoingThread::transfer_android2android_data_MESSAGE() { copyKind(Kind::Sms); }
void TransferDoingThread::transfer_android2android_data_CALLLOG() { copyKind(Kind::CallLogs); }
void TransferDoingThread::transfer_android2android_data_CALENDER() { copyKind(Kind::Calendar); }
void TransferDoingThread::transfer_android2android_data_PHOTOS() { copyKind(Kind::Photos); }
void TransferDoingThread::transfer_android2android_data_VIDEOS() { copyKind(Kind::Videos); }
void TransferDoingThread::transfer_android2android_data_MUSICS() { copyKind(Kind::Music); }
void TransferDoingThread::transfer_android2android_data_APPS() { copyKind(Kind::Apps); }
void TransferDoingThread::transfer_iphone2android_data_CONTACT() { copyKind(Kind::Contacts); }
void TransferDoingThread::transfer_iphone2android_data_MESSAGE() { copyKind(Kind::Sms); }
void TransferDoingThread::transfer_iphone2android_data_CALLLOG() { copyKind(Kind::CallLogs); }
void TransferDoingThread::transfer_iphone2android_data_CALENDER() { copyKind(Kind::Calendar); }
void TransferDoingThread::transfer_iphone2android_data_PHOTOS() { copyKind(Kind::Photos); }
void TransferDoingThread::transfer_iphone2android_data_VIDEOS() { copyKind(Kind::Videos); }
void TransferDoingThread::transfer_iphone2android_data_MUSICS() { copyKind(Kind::Music); }
void TransferDoingThread::transfer_iphone2android_data_APPS() { copyKind(Kind::Apps); }
void TransferDoingThread::transfer_itunes2android_data_CONTACT() { copyKind(Kind::Contacts); }
void TransferDoingThread::transfer_itunes2android_data_MESSAGE() { copyKind(Kind::Sms); }
void TransferDoingThread::transfer_itunes2android_data_CALLLOG() { copyKind(Kind::CallLogs); }
void TransferDoingThread::transfer_itunes2android_data_CALENDER() { copyKind(Kind::Calendar); }
void TransferDoingThread::transfer_itunes2android_data_PHOTOS() { copyKind(Kind::Photos); }
void TransferDoingThread::transfer_itunes2android_data_VIDEOS() { copyKind(Kind::Videos); }
void TransferDoingThread::transfer_itunes2android_data_MUSICS() { copyKind(Kind::Music); }
void TransferDoingThread::transfer_itunes2android_data_APPS() { copyKind(Kind::Apps); }
