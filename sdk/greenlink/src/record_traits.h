// The text fields of each record type, as pointer-to-member tables, so deep
// copies and frees are written once for all five types.
#pragma once

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "records.h"

namespace greenlink {

template <typename R> struct RecordTexts;

template <> struct RecordTexts<ABPerson> {
    static constexpr std::array<char * ABPerson::*, ABPERSON_TEXT_COUNT> fields = {
        &ABPerson::contactId,    &ABPerson::firstName,   &ABPerson::lastName,
        &ABPerson::nickName,     &ABPerson::mobile,      &ABPerson::homeNumber,
        &ABPerson::workNumber,   &ABPerson::homePage,    &ABPerson::homeEmail,
        &ABPerson::birthday,     &ABPerson::groupName,   &ABPerson::note,
        &ABPerson::organization, &ABPerson::department,  &ABPerson::extraText1,
        &ABPerson::extraText2,   &ABPerson::homeAddress, &ABPerson::workAddress,
        &ABPerson::homeFax,      &ABPerson::workFax,     &ABPerson::workEmail};
};

template <> struct RecordTexts<SMessage> {
    static constexpr std::array<char * SMessage::*, SMESSAGE_TEXT_COUNT> fields = {
        &SMessage::smsId, &SMessage::person,   &SMessage::address,
        &SMessage::body,  &SMessage::date,     &SMessage::type,
        &SMessage::read,  &SMessage::threadId, &SMessage::contactId};
};

template <> struct RecordTexts<CallHistory> {
    static constexpr std::array<char * CallHistory::*, CALLHISTORY_TEXT_COUNT> fields = {
        &CallHistory::callId, &CallHistory::name,     &CallHistory::number,   &CallHistory::date,
        &CallHistory::type,   &CallHistory::duration, &CallHistory::extraText};
};

template <> struct RecordTexts<Calendar> {
    static constexpr std::array<char * Calendar::*, CALENDAR_TEXT_COUNT> fields = {
        &Calendar::eventId,  &Calendar::calendarId,   &Calendar::title,    &Calendar::start,
        &Calendar::end,      &Calendar::location,     &Calendar::timeZone, &Calendar::description,
        &Calendar::hasAlarm, &Calendar::alarmMinutes, &Calendar::rrule};
};

template <> struct RecordTexts<Notes> {
    static constexpr std::array<char * Notes::*, NOTES_TEXT_COUNT> fields = {
        &Notes::noteId,     &Notes::title,  &Notes::createTime, &Notes::noteText,
        &Notes::modifyTime, &Notes::folder, &Notes::extraText};
};

// A heap copy of text, or null for null. Sets failed when memory runs out.
inline char* copyText(const char* text, bool& failed) {
    if (!text)
        return nullptr;
    char* copy = strdup(text);
    if (!copy)
        failed = true;
    return copy;
}

// Frees the texts of a record and sets them to null; the record stays.
template <typename R> void freeTexts(R* record) {
    if (!record)
        return;
    for (auto field : RecordTexts<R>::fields) {
        std::free(record->*field);
        record->*field = nullptr;
    }
}

// Frees the texts and the record itself.
template <typename R> void freeRecord(R* record) {
    freeTexts(record);
    std::free(record);
}

// A zeroed heap record with fresh copies of every text and both 32-bit
// values; next is null. Null when memory runs out (nothing is leaked then).
template <typename R> R* cloneRecord(const R* source) {
    if (!source)
        return nullptr;
    R* copy = static_cast<R*>(std::calloc(1, sizeof(R)));
    if (!copy)
        return nullptr;
    bool failed = false;
    for (auto field : RecordTexts<R>::fields)
        copy->*field = copyText(source->*field, failed);
    if (failed) {
        freeRecord(copy);
        return nullptr;
    }
    copy->reserved1 = source->reserved1;
    copy->reserved2 = source->reserved2;
    copy->next = nullptr;
    return copy;
}

// Replaces one text, freeing the old one; a null value leaves the field null.
// False when memory runs out (the old text stays then).
template <typename R> bool replaceText(R* record, char* R::*field, const char* value) {
    bool failed = false;
    char* copy = copyText(value, failed);
    if (failed)
        return false;
    std::free(record->*field);
    record->*field = copy;
    return true;
}

} // namespace greenlink
