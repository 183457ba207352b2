#include "job.h"

#include <QElapsedTimer>

#include <algorithm>

namespace kestrova {

JobLoop::JobLoop(Source& source, Destination& destination, JobProgress& progress,
                 PerKind<KindCounters>& outcomes, std::function<bool()> stopped, SmsPrompt prompt)
    : m_source(source), m_destination(destination), m_progress(progress), m_outcomes(outcomes),
      m_stopped(std::move(stopped)), m_prompt(std::move(prompt)) {}

void JobLoop::copyKind(Kind kind) {
    m_progress.running = indexOf(kind);
    KindCounters& out = m_outcomes[kind];
    out.started = true;
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
    out.elapsedMs = clock.elapsed();
    out.finished = true;
    m_progress.kinds[kind].finished = true;
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
    if (const int64_t total = countRecords(kind); total > 0) {
        const int64_t before = m_destination.countRecords(kind);
        writePages(kind, total);
        recount(kind, before);
    }
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
    if (total <= 0)
        return;
    bool changed = false;
    if (!m_destination.beginMessages(m_prompt, &changed)) {
        m_progress.kinds[kind].current = static_cast<uint32_t>(total);
        m_outcomes[kind].skipped = total;
        m_outcomes[kind].setReason(m_stopped() ? Reason::Cancelled : Reason::SmsPromptNotAccepted);
        m_destination.endMessages(changed);
        return;
    }
    const int64_t before = m_destination.countRecords(kind);
    writePages(kind, total);
    recount(kind, before);
    m_destination.endMessages(changed);
}

void JobLoop::writePages(Kind kind, int64_t total) {
    for (int64_t start = 0; start < total;) {
        const RecordPage page = m_source.page(kind, start);
        if (m_stopped())
            return;
        if (isEmpty(page.head) && page.span > 0 && page.why != Reason::None) {
            // The page could not be read, not even on a fresh connection: its
            // records fail, and the next page may still come.
            if (!sourceAlive(kind))
                return;
            const int64_t lost = std::min(page.span, total - start);
            m_outcomes[kind].failed += lost;
            m_outcomes[kind].setReason(page.why);
            start += page.span;
            m_progress.kinds[kind].current = static_cast<uint32_t>(std::min(start, total));
            continue;
        }
        if (isEmpty(page.head) || page.span <= 0) {
            // A page that should hold records came back empty or cut short:
            // the rest of the kind cannot be read.
            if (sourceAlive(kind))
                m_outcomes[kind].setReason(page.why != Reason::None ? page.why
                                                                    : Reason::ReadFailed);
            return;
        }
        const int64_t width = std::max<int64_t>(page.span, 1);
        int64_t position = 1;
        for (RecordRef record = page.head; !isEmpty(record);
             record = nextRecord(record), ++position) {
            m_progress.kinds[kind].current =
                static_cast<uint32_t>(start + std::min(position, width));
            if (m_stopped())
                return;
            if (!transferable(record)) {
                skipped(kind, Reason::NotTransferable);
            } else if (m_destination.addRecord(record)) {
                copied(kind);
            } else if (m_stopped()) {
                return; // the cancel cut the write short: it counts as cancelled
            } else {
                failed(kind, Reason::WriteFailed);
                if (!destinationAlive(kind))
                    return;
            }
        }
        if (m_stopped())
            return;
        start += width;
    }
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
    if (!offerCount(kind, count.items))
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
        copyOneFile(kind, entry);
        progress.doneSize += entry.size;
        m_progress.fileDone = 0;
        m_progress.fileSize = 0;
        if (m_stopped())
            return;
    }
}

void JobLoop::copyOneFile(Kind kind, const FileEntry& entry) {
    if (entry.why != Reason::None) {
        failed(kind, entry.why);
        return;
    }
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
        // A name longer than the phone takes is shortened, not refused.
        const std::string name = fitFileName(entry.name);
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
    const int64_t accounted = c.copied + c.failed + c.skipped;
    if (accounted < c.offered) {
        c.failed += c.offered - accounted;
        c.setReason(why);
    }
}

} // namespace kestrova
