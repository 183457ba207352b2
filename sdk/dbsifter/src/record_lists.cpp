#include "record_lists.h"

#include <cstdlib>
#include <cstring>

namespace dbsifter {
namespace {

// Every record keeps its texts one after another, so one loop copies or
// frees them all.
template <class Record> char** texts(Record* r) { return reinterpret_cast<char**>(r); }

bool copyText(const Text& t, char** out) {
    *out = nullptr;
    if (!t)
        return true;
    char* p = static_cast<char*>(std::malloc(t->size() + 1));
    if (!p)
        return false;
    std::memcpy(p, t->data(), t->size());
    p[t->size()] = '\0';
    *out = p;
    return true;
}

template <class Record> void freeRecord(Record* r, int textCount) {
    for (int i = 0; i < textCount; ++i)
        std::free(texts(r)[i]);
    std::free(r);
}

template <class Record, class Row, size_t N>
bool build(const std::vector<Row>& rows, Text const Row::*const (&fields)[N],
           RecordList<Record>* list) {
    static_assert(N * sizeof(char*) == offsetof(Record, reserved1), "one field per text");
    Record** tail = &list->head;
    for (const Row& row : rows) {
        auto* r = static_cast<Record*>(std::calloc(1, sizeof(Record)));
        if (!r)
            return false;
        for (size_t i = 0; i < N; ++i)
            if (!copyText(row.*fields[i], &texts(r)[i])) {
                freeRecord(r, int(N));
                return false;
            }
        *tail = r;
        tail = &r->next;
        ++list->count;
    }
    return true;
}

template <class Record> void clear(RecordList<Record>* list, int textCount) {
    Record* r = list->head;
    while (r) {
        Record* next = r->next;
        freeRecord(r, textCount);
        r = next;
    }
    list->head = nullptr;
    list->count = 0;
}

using M = MessageRow;
using P = ContactRow;
using H = CallRow;
using E = EventRow;

constexpr Text const M::*kMessageFields[] = {&M::smsId, &M::person,   &M::address,
                                             &M::body,  &M::date,     &M::type,
                                             &M::read,  &M::threadId, &M::contactId};
constexpr Text const P::*kContactFields[] = {
    &P::contactId,  &P::firstName,   &P::lastName,     &P::nickName,   &P::mobile,
    &P::homeNumber, &P::workNumber,  &P::homePage,     &P::homeEmail,  &P::birthday,
    &P::groupName,  &P::note,        &P::organization, &P::department, &P::extraText1,
    &P::extraText2, &P::homeAddress, &P::workAddress,  &P::homeFax,    &P::workFax,
    &P::workEmail};
constexpr Text const H::*kCallFields[] = {&H::callId, &H::name,     &H::number,   &H::date,
                                          &H::type,   &H::duration, &H::extraText};
constexpr Text const E::*kEventFields[] = {
    &E::eventId,  &E::calendarId,  &E::title,    &E::start,        &E::end,  &E::location,
    &E::timeZone, &E::description, &E::hasAlarm, &E::alarmMinutes, &E::rrule};

template <class Record, class Row, size_t N>
bool buildOrClear(const std::vector<Row>& rows, Text const Row::*const (&fields)[N],
                  RecordList<Record>* list) {
    clear(list, int(N));
    if (build(rows, fields, list))
        return true;
    clear(list, int(N));
    return false;
}

} // namespace

bool buildList(const std::vector<MessageRow>& rows, RecordList<SMessage>* list) {
    return buildOrClear(rows, kMessageFields, list);
}
bool buildList(const std::vector<ContactRow>& rows, RecordList<ABPerson>* list) {
    return buildOrClear(rows, kContactFields, list);
}
bool buildList(const std::vector<CallRow>& rows, RecordList<CallHistory>* list) {
    return buildOrClear(rows, kCallFields, list);
}
bool buildList(const std::vector<EventRow>& rows, RecordList<Calendar>* list) {
    return buildOrClear(rows, kEventFields, list);
}

void clearList(RecordList<SMessage>* list) { clear(list, SMESSAGE_TEXT_COUNT); }
void clearList(RecordList<ABPerson>* list) { clear(list, ABPERSON_TEXT_COUNT); }
void clearList(RecordList<CallHistory>* list) { clear(list, CALLHISTORY_TEXT_COUNT); }
void clearList(RecordList<Calendar>* list) { clear(list, CALENDAR_TEXT_COUNT); }

} // namespace dbsifter
