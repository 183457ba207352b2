#include "record_lists.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace dbsifter {
namespace {

// Every record keeps its texts one after another, so one loop copies or
// frees them all.
template <class Record> char** texts(Record* r) { return reinterpret_cast<char**>(r); }

// U+FFFD, which stands in for a NUL byte: a record's texts are C strings, and
// a NUL would end the text there.
constexpr char kReplacement[] = "\xEF\xBF\xBD";
constexpr size_t kReplacementSize = sizeof kReplacement - 1;

// A heap copy of the text with every NUL byte replaced; *replaced becomes
// true when there was one.
bool copyText(const Text& t, char** out, bool* replaced) {
    *out = nullptr;
    if (!t)
        return true;
    const size_t nuls = size_t(std::count(t->begin(), t->end(), '\0'));
    char* p = static_cast<char*>(std::malloc(t->size() + nuls * (kReplacementSize - 1) + 1));
    if (!p)
        return false;
    char* at = p;
    for (char c : *t) {
        if (c == '\0') {
            std::memcpy(at, kReplacement, kReplacementSize);
            at += kReplacementSize;
        } else {
            *at++ = c;
        }
    }
    *at = '\0';
    *replaced = *replaced || nuls > 0;
    *out = p;
    return true;
}

template <class Record> void freeRecord(Record* r, int textCount) {
    for (int i = 0; i < textCount; ++i)
        std::free(texts(r)[i]);
    std::free(r);
}

template <class Record, class Row, size_t N>
bool append(const Row& row, Text const Row::*const (&fields)[N], RecordList<Record>* list) {
    static_assert(N * sizeof(char*) == offsetof(Record, reserved1), "one field per text");
    auto* r = static_cast<Record*>(std::calloc(1, sizeof(Record)));
    if (!r)
        return false;
    bool replaced = false;
    for (size_t i = 0; i < N; ++i)
        if (!copyText(row.*fields[i], &texts(r)[i], &replaced)) {
            freeRecord(r, int(N));
            return false;
        }
    if (replaced)
        r->reserved2 |= RECORD_TEXT_NUL_REPLACED;
    *list->tail = r;
    list->tail = &r->next;
    ++list->count;
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
    list->tail = &list->head;
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

} // namespace

bool appendRecord(const MessageRow& row, RecordList<SMessage>* list) {
    return append(row, kMessageFields, list);
}
bool appendRecord(const ContactRow& row, RecordList<ABPerson>* list) {
    return append(row, kContactFields, list);
}
bool appendRecord(const CallRow& row, RecordList<CallHistory>* list) {
    return append(row, kCallFields, list);
}
bool appendRecord(const EventRow& row, RecordList<Calendar>* list) {
    return append(row, kEventFields, list);
}

void clearList(RecordList<SMessage>* list) { clear(list, SMESSAGE_TEXT_COUNT); }
void clearList(RecordList<ABPerson>* list) { clear(list, ABPERSON_TEXT_COUNT); }
void clearList(RecordList<CallHistory>* list) { clear(list, CALLHISTORY_TEXT_COUNT); }
void clearList(RecordList<Calendar>* list) { clear(list, CALENDAR_TEXT_COUNT); }

} // namespace dbsifter
