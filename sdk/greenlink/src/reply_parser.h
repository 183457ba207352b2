// The agent's record replies: records of key ":" hex-value ";" items, each
// record closed by ".". The readers here work in place on a NUL-terminated
// reply (they overwrite separators with NUL) and fill the library's record
// lists or a caller's item record.
#pragma once

#include "android_items.h"
#include "records.h"

namespace greenlink {

// One item of a reply: key and value point into the reply text.
struct dataParserStruct {
    char* key;
    char* value;
};

// The position after a record's closing ".", or null when the text does not
// begin with one.
char* ParserCommand_checkisNext(char* text);

// Reads one item at the start of `text`. Returns the position after its ";"
// and points *item at the reader's item (valid until the next item is read on
// this thread), or returns null when no ";" follows. "KEY:;" is an item with
// an empty value; an item without ":" has an empty value.
char* ParserCommandAndData(dataParserStruct** item, char* text);

// Record replies into the library's lists; each returns the number of records
// added. Only records closed by "." are added, so a reply that stops inside a
// record adds the records before it. Null text: -1 (0 for contacts).
int android_contact_prase(char* text);
int android_sms_prase(char* text);
int android_callLog_prase(char* text);
int android_Calendar_prase(char* text);
// Memory and storage figures into the caller's record; 0, or -1 for null.
int android_deviceinfo_prase(char* text, AndroidDeviceInfo* info);

// The first record of a media or app description into the caller's record;
// 0, or -1 for a null text or record. Texts are cut to fit their fields.
int android_DCIM_prase(char* text, ItemPhotoInfo* rec);
int android_MUSIC_prase(char* text, ItemMusicInfo* rec);
int android_Video_prase(char* text, ItemVideoInfo* rec);
int android_APP_prase(char* text, ItemAppInfo* rec);

} // namespace greenlink
