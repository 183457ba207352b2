#include "source_survey.h"

#include <QDir>
#include <QFileInfo>

#include "job_request.h"
#include "misc.h"
#include "sources.h"
#include "work_folder.h"

namespace kestrova {

SourceSurvey::~SourceSurvey() { stop(); }

void SourceSurvey::start(int32_t sourceType, int32_t sourceIndex, const KindSet& kinds,
                         const QString& workFolder) {
    for (SurveyCount& c : m_counts) {
        c.items = -1;
        c.bytes = -1;
    }
    m_pending = Request{sourceType, sourceIndex, kinds, workFolder};
    if (m_running)
        askToStop();
    poll();
}

void SourceSurvey::poll() {
    if (!m_pending || m_running)
        return;
    if (m_thread.joinable())
        m_thread.join(); // it has ended: at once
    const Request request = *m_pending;
    m_pending.reset();
    for (SurveyCount& c : m_counts) {
        c.items = -1;
        c.bytes = -1;
    }
    m_stop = false;
    m_running = true;
    m_thread = std::thread(&SourceSurvey::run, this, request);
}

void SourceSurvey::askToStop() {
    m_stop = true;
    std::lock_guard lock(m_sourceLock);
    if (m_source)
        m_source->abort();
}

void SourceSurvey::stop() {
    m_pending.reset();
    askToStop();
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

void SourceSurvey::run(Request r) {
    const KindSet kinds = r.kinds;
    const QString workFolder = r.workFolder;
    JobRequest request;
    request.sourceType = r.sourceType;
    request.sourceIndex = r.sourceIndex;
    std::unique_ptr<Source> source = makeSource(request);
    // The folder and the one it sits in hold the user's data: theirs alone.
    if (!source || !makePrivateFolder(QFileInfo(workFolder).path()) ||
        !makePrivateFolder(workFolder)) {
        m_running = false;
        return;
    }
    {
        std::lock_guard lock(m_sourceLock);
        m_source = source.get();
    }
    const JobContext context{workFolder, [this] { return m_stop.load(); }};
    if (source->prepare(context, kinds)) {
        for (Kind kind : kAllKinds) {
            if (!kinds[kind] || m_stop || source->unavailable(kind) != Reason::None)
                continue;
            SurveyCount& out = m_counts[kind];
            if (isPersonal(kind)) {
                const Count c = source->count(kind);
                if (c.why == Reason::None)
                    out.items = c.items;
                continue;
            }
            std::vector<FileEntry> files;
            const Count c = source->listFiles(kind, &files);
            if (c.why != Reason::None)
                continue;
            out.items = c.items;
            // A source that describes its files one by one (Android photos
            // and apps) tells their sizes only here.
            int64_t bytes = 0;
            for (FileEntry& entry : files) {
                if (m_stop)
                    break;
                if (entry.why == Reason::None && entry.name.empty())
                    source->describe(kind, entry);
                bytes += entry.size;
            }
            if (!m_stop)
                out.bytes = bytes;
        }
    }
    {
        std::lock_guard lock(m_sourceLock);
        m_source = nullptr;
    }
    source->finish();
    removeDirWithContent(workFolder);
    m_running = false;
}

} // namespace kestrova
