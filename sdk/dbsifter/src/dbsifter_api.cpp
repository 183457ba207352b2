// The exported DbsifterTSF_ operations over the library's four lists.
#include "dbsifter.h"

#include "dbs_log.h"
#include "record_lists.h"

#include <new>

namespace dbsifter {
namespace {

// Each thread has lists of its own: the window counts a source on one thread
// while a copy reads another on its own, and a load on one must not free the
// records the other is reading. A thread's records are freed when it ends.
struct Lists {
    RecordList<ABPerson> contacts;
    RecordList<SMessage> messages;
    RecordList<CallHistory> calls;
    RecordList<Calendar> events;
    Lists() = default;
    Lists(const Lists&) = delete;
    Lists& operator=(const Lists&) = delete;
    ~Lists() {
        clearList(&contacts);
        clearList(&messages);
        clearList(&calls);
        clearList(&events);
    }
};

Lists& lists() {
    thread_local Lists own;
    return own;
}

// Loads one kind: open the file without changing it, read the rows, and
// replace the list. On any failure the list is left empty and the reason
// logged; nothing is thrown across the C boundary.
template <class Row, class Record, class Reader>
int flush(const char* what, const char* dbPath, Reader read, RecordList<Record>* list) {
    clearList(list);
    if (!dbPath || !*dbPath) {
        logLine("%s: no database path", what);
        return -1;
    }
    try {
        SourceDb db;
        std::string why;
        const RowSink<Row> sink = [list](const Row& row) { return appendRecord(row, list); };
        if (!db.open(dbPath, &why) || !read(db, sink, &why)) {
            clearList(list);
            logLine("%s: %s", what, why.c_str());
            return -1;
        }
        logLine("%s: %d records from %s", what, list->count, dbPath);
        return 0;
    } catch (const std::bad_alloc&) {
        clearList(list);
        logLine("%s: out of memory", what);
    } catch (const std::exception& e) {
        clearList(list);
        logLine("%s: %s", what, e.what());
    }
    return -1;
}

template <class Record> int head(const RecordList<Record>& list, Record** out) {
    if (out)
        *out = list.head;
    return 0;
}

} // namespace
} // namespace dbsifter

using namespace dbsifter;

TSF_API int DbsifterTSF_FlushSMS(char* dbPath, int version) {
    return flush<MessageRow>("DbsifterTSF_FlushSMS", dbPath, readMessages, &lists().messages);
}
TSF_API int DbsifterTSF_FlushContact(char* dbPath, int version) {
    return flush<ContactRow>("DbsifterTSF_FlushContact", dbPath, readContacts, &lists().contacts);
}
TSF_API int DbsifterTSF_FlushCallLog(char* dbPath, int version) {
    return flush<CallRow>("DbsifterTSF_FlushCallLog", dbPath, readCalls, &lists().calls);
}
TSF_API int DbsifterTSF_FlushCalendar(char* dbPath, int version) {
    return flush<EventRow>("DbsifterTSF_FlushCalendar", dbPath, readEvents, &lists().events);
}

TSF_API int DbsifterTSF_GetContactCount(void) { return lists().contacts.count; }
TSF_API int DbsifterTSF_GetSMSCount(void) { return lists().messages.count; }
TSF_API int DbsifterTSF_GetCallLogCount(void) { return lists().calls.count; }
TSF_API int DbsifterTSF_GetRemindersCount(void) { return lists().events.count; }

TSF_API int DbsifterTSF_GetContact(ABPerson** out) { return head(lists().contacts, out); }
TSF_API int DbsifterTSF_GetSMS(SMessage** out) { return head(lists().messages, out); }
TSF_API int DbsifterTSF_GetCallLog(CallHistory** out) { return head(lists().calls, out); }
TSF_API int DbsifterTSF_GetReminders(Calendar** out) { return head(lists().events, out); }
