/* Date texts and numbers as the Android library reads and writes them.
 *
 * Instants travel as decimal milliseconds since 1970-01-01 00:00:00 UTC (the
 * form every record producer delivers). Older sources give a local date text
 * "YYYY-MM-DD hh:mm:ss"; both are accepted where a date is read. */
#ifndef KESTROVA_GREENLINK_TIME_H
#define KESTROVA_GREENLINK_TIME_H

#include <stdint.h>

#include "tsf_export.h"

/* Seconds since 1970 UTC of a date text: an all-digit text is taken as
 * milliseconds since 1970 UTC; otherwise year, month, day, hour, minute and
 * second are read at positions 0, 5, 8, 11, 14 and 17 as local time. 0 for a
 * null, empty or too short text. */
TSF_API int64_t convertstrTotimee(const char* date);

/* Local date text "YYYY-MM-DD  hh:mm:ss" (two spaces), in a per-thread
 * buffer, or NULL when the time cannot be converted. */
TSF_API const char* GettimeString2(uint64_t seconds);

/* Local text "Www hh:mm:ss MM/DD/YYYY" of a decimal count of seconds since
 * 2001-01-01 00:00:00 UTC, in a per-thread buffer. */
TSF_API const char* GetTimeFor2000String(const char* seconds2001);

/* Value of a text's decimal digits (no sign); 0 for NULL. Stops at the first
 * non-digit and saturates instead of overflowing. */
TSF_API uint64_t charConvert8uint64_t(const char* text);

#endif
