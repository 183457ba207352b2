/* The Android library's log entries, written into the process's one log
 * (kestrova_log.h: $XDG_STATE_HOME/kestrova/kestrova.log, never standard
 * output), and small file helpers. */
#ifndef KESTROVA_GREENLINK_LOG_H
#define KESTROVA_GREENLINK_LOG_H

#include <stdint.h>
#include <stdio.h>

#include "tsf_export.h"

#if defined(__GNUC__) || defined(__clang__)
#define GREENLINK_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define GREENLINK_PRINTF(fmt, first)
#endif

/* Opens the log (once per process; KestrovaLog_Open): the file is appended
 * to, mode 0600, never through a link, and a header with the date begins
 * this process's entries. */
TSF_API void CreateLogFile(void);
/* One log entry (at most 4095 bytes), written with one write(). The writers
 * add no line end of their own. */
TSF_API void WriteLog(const char* format, ...) GREENLINK_PRINTF(1, 2);
TSF_API void WriteLog1(int level, const char* format, ...) GREENLINK_PRINTF(2, 3);
/* Preceded by the location line "file:<unit>, line:<line>\n". */
TSF_API void WriteLog2(const char* unit, int line, int level, const char* format, ...)
    GREENLINK_PRINTF(4, 5);
TSF_API int GetLogFileHandle(void);
/* Directs the log to a descriptor of the caller's; a negative one directs
 * it back to the file. */
TSF_API void SetLogHandle(int fd);

/* Creates a folder (mode 0777 before the umask); failure ignored. Returns 1. */
TSF_API int g_mkdir(const char* path);
/* Replaces every backslash with "/" in place. */
TSF_API void g_ChangeLinuxFileName(char* path);
/* Copies the text after the last "." (searched from the end down to index 1)
 * into `suffix`, at most 15 characters plus NUL; leaves it untouched when
 * there is no such ".". */
TSF_API void g_GetFileSuffix(const char* path, char* suffix);
/* Copies a file in blocks. `progress`, when given, follows the fraction copied
 * (0.0 to 1.0). 0, or -1 when a file cannot be opened or a read or write fails
 * (a partial target is removed). */
TSF_API int MyCopyFile(const char* source, const char* target, double* progress);
/* Copies `count` bytes from `source` at `offset` to the current position of
 * `target`, then puts the source position back. 0, or -1 when a seek, read or
 * write fails. */
TSF_API int CopyFileSeek(FILE* source, int64_t offset, int64_t count, FILE* target);
/* Creates `target` and copies into it every entry of `source` whose name does
 * not begin with ".": sub-folders are created (not descended into), files
 * copied. 0, or -1 when `source` cannot be read or a copy fails. */
TSF_API int CopyFolderFuntion(const char* source, const char* target);

#endif
