// The exported DbsifterTSF_ operations over the library's four lists.
#include "dbsifter.h"

#include "dbs_log.h"
#include "record_lists.h"

#include <new>

namespace dbsifter {
namespace {

RecordList<ABPerson> st_contacts;
RecordList<SMessage> st_messages;
RecordList<CallHistory> st_calls;
RecordList<Calendar> st_events;

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
    return flush<MessageRow>("DbsifterTSF_FlushSMS", dbPath, readMessages, &st_messages);
}
TSF_API int DbsifterTSF_FlushContact(char* dbPath, int version) {
    return flush<ContactRow>("DbsifterTSF_FlushContact", dbPath, readContacts, &st_contacts);
}
TSF_API int DbsifterTSF_FlushCallLog(char* dbPath, int version) {
    return flush<CallRow>("DbsifterTSF_FlushCallLog", dbPath, readCalls, &st_calls);
}
TSF_API int DbsifterTSF_FlushCalendar(char* dbPath, int version) {
    return flush<EventRow>("DbsifterTSF_FlushCalendar", dbPath, readEvents, &st_events);
}

TSF_API int DbsifterTSF_GetContactCount(void) { return st_contacts.count; }
TSF_API int DbsifterTSF_GetSMSCount(void) { return st_messages.count; }
TSF_API int DbsifterTSF_GetCallLogCount(void) { return st_calls.count; }
TSF_API int DbsifterTSF_GetRemindersCount(void) { return st_events.count; }

TSF_API int DbsifterTSF_GetContact(ABPerson** out) { return head(st_contacts, out); }
TSF_API int DbsifterTSF_GetSMS(SMessage** out) { return head(st_messages, out); }
TSF_API int DbsifterTSF_GetCallLog(CallHistory** out) { return head(st_calls, out); }
TSF_API int DbsifterTSF_GetReminders(Calendar** out) { return head(st_events, out); }
