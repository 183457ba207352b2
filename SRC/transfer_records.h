// What the destination needs of a record before it can store it.
#pragma once

#include <cstring>

#include "records.h"

namespace kestrova {

inline bool hasText(const char* s) { return s && *s; }
inline bool transferable(const ABPerson* p) { return hasText(p->contactId); }
inline bool transferable(const SMessage* m) {
    return hasText(m->smsId) && m->threadId && std::strcmp(m->threadId, "-1") != 0;
}
inline bool transferable(const CallHistory* c) { return hasText(c->number); }
inline bool transferable(const Calendar* e) { return hasText(e->eventId); }

} // namespace kestrova
