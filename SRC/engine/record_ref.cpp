#include "record_ref.h"

#include <cstring>
#include <type_traits>

namespace kestrova {

namespace {

bool hasText(const char* s) { return s && *s; }

bool usable(const ABPerson* p) { return hasText(p->contactId); }
bool usable(const SMessage* m) {
    return hasText(m->smsId) && m->threadId && std::strcmp(m->threadId, "-1") != 0;
}
bool usable(const CallHistory* c) { return hasText(c->number); }
bool usable(const Calendar* e) { return hasText(e->eventId); }

} // namespace

template <typename T> bool nextOf(const RecordRef& record, RecordRef* next) {
    T* const* r = std::get_if<T*>(&record);
    if (!r)
        return false;
    if (*r && (*r)->next)
        *next = (*r)->next;
    return true;
}

RecordRef nextRecord(const RecordRef& record) {
    RecordRef next;
    nextOf<ABPerson>(record, &next) || nextOf<SMessage>(record, &next) ||
        nextOf<CallHistory>(record, &next) || nextOf<Calendar>(record, &next);
    return next;
}

bool transferable(const RecordRef& record) {
    return std::visit(
        [](const auto& r) {
            if constexpr (std::is_same_v<std::decay_t<decltype(r)>, std::monostate>)
                return false;
            else
                return r && usable(r);
        },
        record);
}

bool nulReplaced(const RecordRef& record) {
    return std::visit(
        [](const auto& r) {
            if constexpr (std::is_same_v<std::decay_t<decltype(r)>, std::monostate>)
                return false;
            else
                return r && (r->reserved2 & RECORD_TEXT_NUL_REPLACED) != 0;
        },
        record);
}

} // namespace kestrova
