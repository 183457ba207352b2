#include "job.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>

namespace kestrova {

namespace {

constexpr int kHashChunk = 1 << 20;

// The SHA-256 of a local file; empty when it cannot be read.
QByteArray hashOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}

// The SHA-256 of a source file, local or streamed; empty when it broke off.
QByteArray hashOfSource(SourceFile& file, int64_t expectedSize) {
    const std::string local = file.localPath();
    if (!local.empty())
        return hashOfFile(QString::fromStdString(local));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(kHashChunk, Qt::Uninitialized);
    int64_t done = 0;
    for (;;) {
        const int got = file.read(buffer.data(), kHashChunk);
        if (got < 0)
            return {};
        if (got == 0)
            break;
        hash.addData(QByteArrayView(buffer.constData(), got));
        done += got;
    }
    return done == expectedSize ? hash.result() : QByteArray();
}

} // namespace

void StoredFiles::reset(std::vector<StoredFile> files) {
    m_files = std::move(files);
    m_taken.assign(m_files.size(), false);
    m_byName.clear();
    m_byStem.clear();
    for (size_t i = 0; i < m_files.size(); ++i) {
        const StoredFile& f = m_files[i];
        m_byName[fileKey(f.name, f.size)].push_back(i);
        const std::string stem = withoutClashSuffix(f.name);
        if (stem != f.name)
            m_byStem[fileKey(stem, f.size)].push_back(i);
    }
}

bool StoredFiles::takeExact(const std::string& name, int64_t size) {
    auto it = m_byName.find(fileKey(name, size));
    if (it == m_byName.end())
        return false;
    for (size_t i : it->second)
        if (!m_taken[i]) {
            m_taken[i] = true;
            return true;
        }
    return false;
}

std::vector<size_t> StoredFiles::variants(const std::string& name, int64_t size) const {
    std::vector<size_t> out;
    auto it = m_byStem.find(fileKey(name, size));
    if (it != m_byStem.end())
        for (size_t i : it->second)
            if (!m_taken[i])
                out.push_back(i);
    return out;
}

JobLoop::JobLoop(Source& source, Destination& destination, JobProgress& progress,
                 PerKind<KindCounters>& outcomes, std::function<bool()> stopped, SmsPrompt prompt,
                 JobOptions options)
    : m_source(source), m_destination(destination), m_progress(progress), m_outcomes(outcomes),
      m_stopped(std::move(stopped)), m_prompt(std::move(prompt)), m_options(std::move(options)) {}

void JobLoop::copyKind(Kind kind) {
    m_progress.running = indexOf(kind);
    KindCounters& out = m_outcomes[kind];
    out.started = true;
    out.dryRun = m_options.dryRun;
    QElapsedTimer clock;
    clock.start();
    if (m_destinationGone) {
        out.setReason(Reason::DestinationGone);
    } else if (m_sourceGone) {
        out.setReason(Reason::SourceGone);
    } else if (const Reason why = m_source.unavailable(kind); why != Reason::None) {
        out.setReason(why);
    } else if (kind == Kind::Sms) {
        copyMessages();
    } else if (isPersonal(kind)) {
        copyRecords(kind);
    } else {
        copyFiles(kind);
    }
    settle(kind, m_stopped() ? Reason::Cancelled : Reason::ReadFailed);
    if (m_source.incomplete())
        out.setReason(Reason::BackupIncomplete);
    m_holdings.clear();
    m_stored.reset({});
    out.elapsedMs = clock.elapsed();
    out.finished = true;
    m_progress.kinds[kind].finished = true;
}

// What the destination holds ------------------------------------------------------

const NumberRules& JobLoop::numberRules() {
    if (!m_rules)
        m_rules = m_destination.numberRules();
    return *m_rules;
}

bool JobLoop::takeStock(Kind kind) {
    m_holdings.clear();
    m_stored.reset({});
    if (!m_options.skipExisting)
        return true;
    bool read = false;
    if (isPersonal(kind)) {
        const NumberRules& rules = numberRules();
        read = m_destination.readRecords(kind, [&](const RecordRef& record) {
            if (m_stopped())
                return false;
            m_holdings.add(identityKey(record, rules));
            return true;
        });
    } else {
        std::vector<StoredFile> files;
        read = m_destination.listStored(kind, &files);
        m_stored.reset(std::move(files));
    }
    if (m_stopped())
        return false;
    if (read)
        return true;
    // Copying blindly would write twice what an earlier run brought.
    if (destinationAlive(kind))
        m_outcomes[kind].setReason(Reason::DestinationUnreadable);
    return false;
}

bool JobLoop::alreadyThere(const RecordRef& record) {
    return m_options.skipExisting && m_holdings.take(identityKey(record, numberRules()));
}

// Personal records ------------------------------------------------------------

int64_t JobLoop::countRecords(Kind kind) {
    if (m_stopped())
        return 0;
    const Count count = m_source.count(kind);
    if (m_stopped())
        return 0;
    if (count.why != Reason::None) {
        m_outcomes[kind].setReason(count.why);
        return 0;
    }
    m_progress.kinds[kind].total = static_cast<int32_t>(count.items);
    return offerCount(kind, count.items) ? count.items : 0;
}

void JobLoop::copyRecords(Kind kind) {
    const int64_t total = countRecords(kind);
    if (total <= 0 || !takeStock(kind))
        return;
    if (m_options.dryRun) {
        walkPages(kind, total, Pass::Plan);
        return;
    }
    const int64_t before = m_destination.countRecords(kind);
    walkPages(kind, total, Pass::Write);
    finishRecords(kind);
    recount(kind, before);
}

void JobLoop::finishRecords(Kind kind) {
    if (m_destination.finishKind(kind))
        return;
    KindCounters& c = m_outcomes[kind];
    c.failed += c.copied.exchange(0);
    c.setReason(Reason::WriteFailed);
}

void JobLoop::recount(Kind kind, int64_t before) {
    KindCounters& c = m_outcomes[kind];
    if (before < 0 || c.failed == 0 || m_stopped() || m_destinationGone)
        return;
    const int64_t stored =
        m_destination.countRecords(kind) - before - m_destination.incompleteRecords(kind);
    const int64_t unreported = std::min<int64_t>(stored - c.copied, c.failed);
    if (unreported <= 0)
        return;
    c.copied += unreported;
    c.failed -= unreported;
    if (c.failed == 0 && c.firstReason() == Reason::WriteFailed)
        c.reason = static_cast<int>(Reason::None);
}

void JobLoop::copyMessages() {
    const Kind kind = Kind::Sms;
    // Counted first: without messages there is nothing to ask the user for;
    // and offered before the prompt, so a cancel during it reports them.
    const int64_t total = countRecords(kind);
    if (total <= 0 || !takeStock(kind))
        return;
    if (m_options.dryRun) {
        walkPages(kind, total, Pass::Plan);
        return;
    }
    if (m_options.skipExisting) {
        // The user is asked to make us the SMS app only when a message is to
        // be written: a pass that finds every one already there ends here.
        const Holdings held = m_holdings;
        if (!walkPages(kind, total, Pass::UntilNew))
            return;
        m_holdings = held;
        m_outcomes[kind].already = 0;
        m_outcomes[kind].skipped = 0;
        m_progress.kinds[kind].current = 0;
    }
    bool changed = false;
    if (!m_destination.beginMessages(m_prompt, &changed)) {
        m_progress.kinds[kind].current = static_cast<uint32_t>(total);
        m_outcomes[kind].skipped = total;
        m_outcomes[kind].setReason(m_stopped() ? Reason::Cancelled : Reason::SmsPromptNotAccepted);
        m_destination.endMessages(changed);
        return;
    }
    const int64_t before = m_destination.countRecords(kind);
    walkPages(kind, total, Pass::Write);
    finishRecords(kind);
    recount(kind, before);
    m_destination.endMessages(changed);
}

bool JobLoop::walkPages(Kind kind, int64_t total, Pass pass) {
    KindCounters& out = m_outcomes[kind];
    for (int64_t start = 0; start < total;) {
        const RecordPage page = m_source.page(kind, start);
        if (m_stopped())
            return false;
        if (isEmpty(page.head) && page.span > 0 && page.why != Reason::None) {
            // The page could not be read, not even on a fresh connection: its
            // records fail, and the next page may still come.
            if (!sourceAlive(kind))
                return false;
            if (pass == Pass::UntilNew)
                return true; // what it holds is unknown: it may hold something new
            const int64_t lost = std::min(page.span, total - start);
            out.failed += lost;
            out.setReason(page.why);
            start += page.span;
            m_progress.kinds[kind].current = static_cast<uint32_t>(std::min(start, total));
            continue;
        }
        if (isEmpty(page.head) || page.span <= 0) {
            // A page that should hold records came back empty or cut short:
            // the rest of the kind cannot be read.
            if (sourceAlive(kind))
                out.setReason(page.why != Reason::None ? page.why : Reason::ReadFailed);
            return false;
        }
        const int64_t width = std::max<int64_t>(page.span, 1);
        int64_t position = 1;
        for (RecordRef record = page.head; !isEmpty(record);
             record = nextRecord(record), ++position) {
            m_progress.kinds[kind].current =
                static_cast<uint32_t>(start + std::min(position, width));
            if (m_stopped())
                return false;
            if (!transferable(record)) {
                skipped(kind, Reason::NotTransferable);
            } else if (alreadyThere(record)) {
                out.already++;
            } else if (pass == Pass::UntilNew) {
                return true;
            } else if (pass == Pass::Plan) {
                out.planned++;
            } else if (m_destination.addRecord(record)) {
                copied(kind);
                if (nulReplaced(record))
                    out.changed++;
            } else if (m_stopped()) {
                return false; // the cancel cut the write short: it counts as cancelled
            } else {
                failed(kind, Reason::WriteFailed);
                if (!destinationAlive(kind))
                    return false;
            }
        }
        if (m_stopped())
            return false;
        start += width;
    }
    return false;
}

// Files -------------------------------------------------------------------------

void JobLoop::copyFiles(Kind kind) {
    if (m_stopped())
        return;
    m_progress.fileDone = 0;
    std::vector<FileEntry> files;
    const Count count = m_source.listFiles(kind, &files);
    if (m_stopped())
        return;
    if (count.why != Reason::None)
        return m_outcomes[kind].setReason(count.why);
    // The sizes first, so the bar can move by bytes.
    int64_t totalSize = 0;
    for (const FileEntry& entry : files)
        totalSize += entry.size;
    KindProgress& progress = m_progress.kinds[kind];
    progress.totalSize = totalSize;
    progress.total = static_cast<int32_t>(count.items);
    if (!offerCount(kind, count.items) || !takeStock(kind))
        return;
    uint32_t position = 0;
    for (FileEntry& entry : files) {
        if (gone())
            return;
        progress.current = ++position;
        if (m_stopped())
            return;
        if (entry.why == Reason::None)
            m_source.describe(kind, entry);
        handleFile(kind, entry);
        progress.doneSize += entry.size;
        m_progress.fileDone = 0;
        m_progress.fileSize = 0;
        if (m_stopped())
            return;
    }
}

void JobLoop::handleFile(Kind kind, const FileEntry& entry) {
    if (entry.why != Reason::None)
        return failed(kind, entry.why);
    // A name longer than the phone takes is shortened, not refused.
    const std::string name = fitFileName(entry.name);
    KindCounters& out = m_outcomes[kind];
    if (m_options.skipExisting && fileAlreadyThere(kind, entry, name)) {
        out.already++;
        return;
    }
    if (m_stopped())
        return;
    if (m_options.dryRun) {
        out.planned++;
        out.plannedBytes += entry.size;
        return;
    }
    copyOneFile(kind, entry, name);
}

bool JobLoop::fileAlreadyThere(Kind kind, const FileEntry& entry, const std::string& name) {
    const std::string stored = m_destination.storedName(kind, name);
    // An app is there when its package is installed, whatever its size.
    const int64_t size = kind == Kind::Apps ? 0 : entry.size;
    if (m_stored.takeExact(stored, size))
        return true;
    // A file stored beside another of its name got a clash suffix: the same
    // name and size are not enough then, the contents must agree.
    for (size_t i : m_stored.variants(stored, size)) {
        if (m_stopped())
            return false;
        if (sameContent(kind, entry, m_stored.at(i))) {
            m_stored.take(i);
            return true;
        }
    }
    return false;
}

bool JobLoop::sameContent(Kind kind, const FileEntry& entry, const StoredFile& stored) {
    if (m_options.workFolder.isEmpty())
        return false;
    QByteArray mine;
    {
        OpenedFile opened = m_source.open(kind, entry);
        if (!opened.file)
            return false;
        mine = hashOfSource(*opened.file, entry.size);
    }
    const QString theirs = m_options.workFolder + QStringLiteral("/compare");
    QFile::remove(theirs);
    const bool fetched = m_destination.fetchStored(kind, stored, theirs.toStdString());
    const QByteArray other = fetched ? hashOfFile(theirs) : QByteArray();
    QFile::remove(theirs);
    return !mine.isEmpty() && mine == other;
}

void JobLoop::copyOneFile(Kind kind, const FileEntry& entry, const std::string& name) {
    m_progress.fileSize = entry.size;
    AddResult result = AddResult::ReadFailed;
    if (auto direct = m_source.copyDirect(kind, entry, m_destination)) {
        result = *direct;
    } else {
        OpenedFile opened = m_source.open(kind, entry);
        if (m_stopped())
            return;
        if (!opened.file)
            return failed(kind, opened.why);
        FileProgress progress{&m_progress.fileDone, m_stopped};
        result = m_destination.addFile(kind, *opened.file, name, entry.size, progress);
        if (result == AddResult::Arrived && name != entry.name)
            m_outcomes[kind].renamed++;
    }
    if (result != AddResult::Arrived && m_stopped())
        result = AddResult::Interrupted;
    switch (result) {
    case AddResult::Arrived:
        copied(kind);
        break;
    case AddResult::ReadFailed:
        failed(kind, Reason::ReadFailed);
        break;
    case AddResult::WriteFailed:
        failed(kind, Reason::WriteFailed);
        break;
    case AddResult::Interrupted:
        // Counted when the kind settles: it did not arrive because of the cancel.
        break;
    }
}

// Bookkeeping ---------------------------------------------------------------------

bool JobLoop::offerCount(Kind kind, int64_t total) {
    if (total >= 1) {
        m_outcomes[kind].offered = total;
        return true;
    }
    if (sourceAlive(kind))
        m_outcomes[kind].offered = 0;
    return false;
}

void JobLoop::failed(Kind kind, Reason why) {
    m_outcomes[kind].failed++;
    // A read or write that failed may mean a phone has gone: ask both before
    // naming the cause (the first reason recorded is the one reported).
    if (why == Reason::ReadFailed || why == Reason::WriteFailed)
        if (sourceAlive(kind))
            destinationAlive(kind);
    m_outcomes[kind].setReason(why);
}

void JobLoop::skipped(Kind kind, Reason why) {
    m_outcomes[kind].skipped++;
    m_outcomes[kind].setReason(why);
}

bool JobLoop::destinationAlive(Kind kind) {
    if (m_destinationGone)
        return false;
    if (m_destination.alive())
        return true;
    m_destinationGone = true;
    m_outcomes[kind].setReason(Reason::DestinationGone);
    return false;
}

bool JobLoop::sourceAlive(Kind kind) {
    if (!m_sourceGone && m_source.alive())
        return true;
    m_sourceGone = true;
    m_outcomes[kind].setReason(Reason::SourceGone);
    return false;
}

void JobLoop::settle(Kind kind, Reason why) {
    KindCounters& c = m_outcomes[kind];
    if (c.offered < 0)
        return;
    const int64_t accounted =
        c.copied + c.failed + c.skipped + c.already + (c.dryRun ? c.planned.load() : 0);
    if (accounted < c.offered) {
        c.failed += c.offered - accounted;
        c.setReason(why);
    }
}

} // namespace kestrova
