// The library's four lists in the shared C layouts. A load replaces a list;
// the records and their texts are freed only by the next load of that kind.
#ifndef KESTROVA_DBSIFTER_RECORD_LISTS_H
#define KESTROVA_DBSIFTER_RECORD_LISTS_H

#include "readers.h"
#include "records.h"

#include <vector>

namespace dbsifter {

// A list with its tail, so rows are appended in the order they are read.
// Lives at a fixed address (tail may point at head).
template <class Record> struct RecordList {
    Record* head = nullptr;
    Record** tail = &head;
    int count = 0;
};

// Appends a record made from the row; false when memory runs out (nothing
// is appended then).
bool appendRecord(const MessageRow& row, RecordList<SMessage>* list);
bool appendRecord(const ContactRow& row, RecordList<ABPerson>* list);
bool appendRecord(const CallRow& row, RecordList<CallHistory>* list);
bool appendRecord(const EventRow& row, RecordList<Calendar>* list);

void clearList(RecordList<SMessage>* list);
void clearList(RecordList<ABPerson>* list);
void clearList(RecordList<CallHistory>* list);
void clearList(RecordList<Calendar>* list);

} // namespace dbsifter

#endif
