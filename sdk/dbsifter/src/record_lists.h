// The library's four lists in the shared C layouts. A load replaces a list;
// the records and their texts are freed only by the next load of that kind.
#ifndef KESTROVA_DBSIFTER_RECORD_LISTS_H
#define KESTROVA_DBSIFTER_RECORD_LISTS_H

#include "readers.h"
#include "records.h"

#include <vector>

namespace dbsifter {

template <class Record> struct RecordList {
    Record* head = nullptr;
    int count = 0;
};

// Builds a list in row order; false (and an empty list) when memory runs out.
bool buildList(const std::vector<MessageRow>& rows, RecordList<SMessage>* list);
bool buildList(const std::vector<ContactRow>& rows, RecordList<ABPerson>* list);
bool buildList(const std::vector<CallRow>& rows, RecordList<CallHistory>* list);
bool buildList(const std::vector<EventRow>& rows, RecordList<Calendar>* list);

void clearList(RecordList<SMessage>* list);
void clearList(RecordList<ABPerson>* list);
void clearList(RecordList<CallHistory>* list);
void clearList(RecordList<Calendar>* list);

} // namespace dbsifter

#endif
