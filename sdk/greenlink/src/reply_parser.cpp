#include "reply_parser.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "greenlink_records.h"
#include "greenlink_time.h"
#include "hexcodec.h"
#include "record_traits.h"

namespace greenlink {
namespace {

thread_local dataParserStruct st_parser;

struct KeyField {
    const char* key;
    int field; // index into the record's text fields; -1 = known and ignored
};

// A contact's given name, taken apart from the field table (see parseRecords).
constexpr int kGivenName = -2;

// Reply keys of each kind and the text field (by position) they fill. An
// agent that keeps given and family name apart sends them after NAME (the
// display name); an older one sends NAME alone, which then is the first name.
constexpr KeyField contactKeys[] = {
    {"CONTACTID", 0},     {"NAME", 1},           {"GIVENNAME", kGivenName}, {"FAMILYNAME", 2},
    {"NICKNAME", 3},      {"PHONE_PHONE", 4},    {"PHONE_HOME", 5},         {"PHONE_WORK", 6},
    {"WEBSITE", 7},       {"EMAIL_HOME", 8},     {"BIRTHDAY", 9},           {"GROUP", 10},
    {"NOTE", 11},         {"ORG_NAME", 12},      {"ORG_TITLE", 13},         {"ADDRESS_HOME", 16},
    {"ADDRESS_WORK", 17}, {"PHONE_HOMEFAX", 18}, {"PHONE_WORKFAX", 19},     {"EMAIL_WORK", 20}};
constexpr KeyField smsKeys[] = {{"ID", 0},        {"PERSON", 1}, {"ADDRESS", 2}, {"BODY", 3},
                                {"DATE", 4},      {"TYPE", 5},   {"READ", 6},    {"THREAD_ID", 7},
                                {"PROTOCOL", -1}, {"STATUS", -1}};
constexpr KeyField callKeys[] = {{"ID", 0},   {"NAME", 1}, {"NUMBER", 2},
                                 {"DATE", 3}, {"TYPE", 4}, {"DURATION", 5}};
constexpr KeyField calendarKeys[] = {{"ID", 0},      {"CALENDARID", 1},  {"TITLE", 2},
                                     {"START", 3},   {"END", 4},         {"EVENTLOC", 5},
                                     {"EVENTTZ", 6}, {"DESCRIPTION", 7}, {"HASALARM", 8},
                                     {"MINUTES", 9}, {"RRULE", 10}};

template <size_t N> int findField(const KeyField (&table)[N], const char* key) {
    for (const KeyField& k : table)
        if (std::strcmp(k.key, key) == 0)
            return k.field;
    return -1;
}

// The decoded text of an item; a NUL byte in it is replaced and marks the
// record as changed. False for a value that is not hexadecimal.
template <typename R> bool decodeItem(R& record, const dataParserStruct& item, std::string* text) {
    bool ok = true, replaced = false;
    *text = DecodeRecordText(item.value, &ok, &replaced);
    if (replaced)
        record.reserved2 |= RECORD_TEXT_NUL_REPLACED;
    return ok;
}

template <typename R> void setText(R& record, int field, const char* text) {
    char* copy = text ? strdup(text) : nullptr;
    if (text && !copy)
        return;
    char*& slot = record.*(RecordTexts<R>::fields[static_cast<size_t>(field)]);
    std::free(slot);
    slot = copy;
}

// Stores the decoded value of one item in the record's field for its key;
// a later item with the same key replaces the earlier value. False for a
// value that is not hexadecimal (a damaged reply).
template <typename R, size_t N>
bool storeItem(R& record, const KeyField (&table)[N], const dataParserStruct& item) {
    int field = findField(table, item.key);
    if (field < 0)
        return true;
    std::string text;
    if (!decodeItem(record, item, &text))
        return false;
    setText(record, field, text.c_str());
    return true;
}

// Given and family name came apart: the first name is the given name alone
// (none when the contact has only a family name), not the display name.
void settleNames(ABPerson& person, const std::optional<std::string>& given) {
    if (person.lastName && *person.lastName)
        setText(person, 1, given ? given->c_str() : nullptr);
}
template <typename R> void settleNames(R&, const std::optional<std::string>&) {}

template <typename R> void freeTexts(R& record) {
    for (auto member : RecordTexts<R>::fields) {
        std::free(record.*member);
        record.*member = nullptr;
    }
}

// The loop shared by the record replies: items fill a working record, "."
// hands a copy of it to the list. A value that is not hexadecimal makes the
// whole reply bad: -1, whatever was handed over before it.
template <typename R, size_t N>
int parseRecords(char* text, const KeyField (&table)[N], int (*add)(const R*)) {
    R work{};
    std::optional<std::string> given;
    int count = 0;
    bool good = true;
    while (text && *text) {
        if (char* after = ParserCommand_checkisNext(text)) {
            settleNames(work, given);
            work.reserved1 = 0;
            add(&work);
            freeTexts(work);
            work = R{};
            given.reset();
            ++count;
            text = after;
            continue;
        }
        dataParserStruct* item = nullptr;
        text = ParserCommandAndData(&item, text);
        if (!text)
            continue;
        if (findField(table, item->key) == kGivenName) {
            std::string value;
            good = decodeItem(work, *item, &value) && good;
            given = std::move(value);
        } else {
            good = storeItem(work, table, *item) && good;
        }
    }
    freeTexts(work);
    return good ? count : -1;
}

// How an item value is stored into a field of an item record.
enum class Store { Text, Int32, Int64 };

struct ItemField {
    const char* key;
    Store how;
    size_t offset;
    size_t size; // of the text field
};

void storeItemField(void* record, const ItemField& f, const std::string& value) {
    char* at = static_cast<char*>(record) + f.offset;
    switch (f.how) {
    case Store::Text: {
        // Texts keep at most 254 characters (or less for smaller fields).
        size_t keep = std::min(value.size(), std::min<size_t>(f.size - 1, ITEM_TEXT_MAX));
        std::memset(at, 0, f.size);
        std::memcpy(at, value.data(), keep);
        break;
    }
    case Store::Int32: {
        long long v = std::strtoll(value.c_str(), nullptr, 10);
        if (v > INT32_MAX)
            v = INT32_MAX;
        if (v < INT32_MIN)
            v = INT32_MIN;
        int32_t i = static_cast<int32_t>(v);
        std::memcpy(at, &i, sizeof i);
        break;
    }
    case Store::Int64: {
        int64_t i = std::strtoll(value.c_str(), nullptr, 10);
        std::memcpy(at, &i, sizeof i);
        break;
    }
    }
}

// Reads the first record of a description reply into `record`.
template <size_t N> int parseItemRecord(char* text, void* record, const ItemField (&table)[N]) {
    if (!text || !record)
        return -1;
    while (text && *text && !ParserCommand_checkisNext(text)) {
        dataParserStruct* item = nullptr;
        text = ParserCommandAndData(&item, text);
        if (!text)
            break;
        for (const ItemField& f : table) {
            if (std::strcmp(f.key, item->key) == 0) {
                bool ok = true;
                const std::string value = DecryptionData(item->value, &ok);
                if (!ok)
                    return -1; // a damaged description
                storeItemField(record, f, value);
                break;
            }
        }
    }
    return 0;
}

#define TEXT(R, key, member)                                                                       \
    { key, Store::Text, offsetof(R, member), sizeof(R::member) }
#define I32(R, key, member)                                                                        \
    { key, Store::Int32, offsetof(R, member), 4 }
#define I64(R, key, member)                                                                        \
    { key, Store::Int64, offsetof(R, member), 8 }

// The agent spells some keys this way ("TILTE", "MODIFTIME", "CACHSEZE").
constexpr ItemField photoFields[] = {I32(ItemPhotoInfo, "ID", id),
                                     TEXT(ItemPhotoInfo, "TILTE", title),
                                     TEXT(ItemPhotoInfo, "PATH", path),
                                     I64(ItemPhotoInfo, "SIZE", size),
                                     I64(ItemPhotoInfo, "MODIFTIME", modifyTime),
                                     I64(ItemPhotoInfo, "CREATETIME", createTime)};
constexpr ItemField musicFields[] = {I32(ItemMusicInfo, "ID", id),
                                     I32(ItemMusicInfo, "ALBUMID", albumId),
                                     TEXT(ItemMusicInfo, "TILTE", title),
                                     TEXT(ItemMusicInfo, "ALBUM", album),
                                     TEXT(ItemMusicInfo, "ARTIST", artist),
                                     TEXT(ItemMusicInfo, "PATH", path),
                                     I64(ItemMusicInfo, "DURATION", duration),
                                     I64(ItemMusicInfo, "SIZE", size),
                                     I64(ItemMusicInfo, "MODIFTIME", modifyTime),
                                     I64(ItemMusicInfo, "CREATETIME", createTime)};
constexpr ItemField videoFields[] = {I32(ItemVideoInfo, "ID", id),
                                     TEXT(ItemVideoInfo, "TILTE", title),
                                     TEXT(ItemVideoInfo, "DISPLAYNAME", displayName),
                                     TEXT(ItemVideoInfo, "PATH", path),
                                     I64(ItemVideoInfo, "DURATION", duration),
                                     I64(ItemVideoInfo, "SIZE", size),
                                     I64(ItemVideoInfo, "MODIFTIME", modifyTime),
                                     I64(ItemVideoInfo, "CREATETIME", createTime)};
constexpr ItemField appFields[] = {TEXT(ItemAppInfo, "PKG", packageName),
                                   TEXT(ItemAppInfo, "CLS", className),
                                   TEXT(ItemAppInfo, "APPNAME", appName),
                                   TEXT(ItemAppInfo, "VERSION", version),
                                   I32(ItemAppInfo, "VERSIONCODE", versionCode),
                                   I32(ItemAppInfo, "SYSTEMAPP", systemApp),
                                   I32(ItemAppInfo, "SDCARDAPP", sdCardApp),
                                   I32(ItemAppInfo, "CACHSEZE", cacheSize),
                                   I32(ItemAppInfo, "DATASIZE", dataSize),
                                   I32(ItemAppInfo, "CODESIZE", codeSize),
                                   I32(ItemAppInfo, "TOTALSIZE", totalSize),
                                   I64(ItemAppInfo, "INSTALLTIME", installTime),
                                   I64(ItemAppInfo, "LASTUPDATETIME", lastUpdateTime),
                                   TEXT(ItemAppInfo, "PERMISSIONS", permissions)};

#undef TEXT
#undef I32
#undef I64

} // namespace

char* ParserCommand_checkisNext(char* text) {
    if (text && text[0] == '.')
        return text + 1;
    return nullptr;
}

char* ParserCommandAndData(dataParserStruct** item, char* text) {
    if (!text)
        return nullptr;
    char* key = text;
    char* value = nullptr;
    for (char* at = text; *at; ++at) {
        if (*at == ':' && !value) {
            *at = '\0';
            value = at + 1;
        } else if (*at == ';') {
            *at = '\0';
            st_parser.key = key;
            st_parser.value = value ? value : at;
            if (item)
                *item = &st_parser;
            return at + 1;
        }
    }
    return nullptr;
}

int android_contact_prase(char* text) {
    if (!text)
        return 0;
    return parseRecords<ABPerson>(text, contactKeys, Add_AddressBook_NodeList);
}

int android_sms_prase(char* text) {
    if (!text)
        return -1;
    return parseRecords<SMessage>(text, smsKeys, Add_SMS_NodeList);
}

int android_callLog_prase(char* text) {
    if (!text)
        return -1;
    return parseRecords<CallHistory>(text, callKeys, Add_CallHistory_NodeList);
}

int android_Calendar_prase(char* text) {
    if (!text)
        return -1;
    return parseRecords<Calendar>(text, calendarKeys, Add_CALENDAR_NodeList);
}

int android_deviceinfo_prase(char* text, AndroidDeviceInfo* info) {
    if (!text || !info)
        return -1;
    struct Figure {
        const char* key;
        size_t offset;
    };
    static constexpr Figure figures[] = {
        {"MEMTOTAL", offsetof(AndroidDeviceInfo, memoryTotal)},
        {"MEMAVAIL", offsetof(AndroidDeviceInfo, memoryAvailable)},
        {"PHONETOTAL", offsetof(AndroidDeviceInfo, phoneTotal)},
        {"PHONEAVAIL", offsetof(AndroidDeviceInfo, phoneAvailable)},
        {"SDTOTAL", offsetof(AndroidDeviceInfo, sdTotal)},
        {"SDAVAIL", offsetof(AndroidDeviceInfo, sdAvailable)}};
    while (text && *text) {
        if (char* after = ParserCommand_checkisNext(text)) {
            text = after;
            continue;
        }
        dataParserStruct* item = nullptr;
        text = ParserCommandAndData(&item, text);
        if (!text)
            break;
        for (const Figure& f : figures) {
            if (std::strcmp(f.key, item->key) == 0) {
                uint64_t v = charConvert8uint64_t(DecryptionData(item->value).c_str());
                std::memcpy(reinterpret_cast<char*>(info) + f.offset, &v, sizeof v);
            }
        }
    }
    return 0;
}

int android_DCIM_prase(char* text, ItemPhotoInfo* rec) {
    return parseItemRecord(text, rec, photoFields);
}
int android_MUSIC_prase(char* text, ItemMusicInfo* rec) {
    return parseItemRecord(text, rec, musicFields);
}
int android_Video_prase(char* text, ItemVideoInfo* rec) {
    return parseItemRecord(text, rec, videoFields);
}
int android_APP_prase(char* text, ItemAppInfo* rec) {
    return parseItemRecord(text, rec, appFields);
}

} // namespace greenlink
