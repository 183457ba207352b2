/* The one log of the program and its libraries: every library and every
 * program of a process writes into the same file,
 * $XDG_STATE_HOME/kestrova/kestrova.log (~/.local/state/kestrova/kestrova.log
 * when XDG_STATE_HOME is unset or not absolute). The folder is made 0700 and
 * the file 0600; the file is opened without following links and refused when
 * what is there is not a plain file of this user's, and it is rotated by size
 * (the previous one kept as kestrova.log.1). Several processes may append to
 * it at once. When it cannot be used, entries go to standard error; they
 * never go to standard output, which belongs to the programs' own output.
 * Every function may be called from any thread. */
#ifndef KESTROVA_LOG_H
#define KESTROVA_LOG_H

#include <stdarg.h>
#include <stddef.h>

#include "tsf_export.h"

#if defined(__GNUC__) || defined(__clang__)
#define KESTROVA_LOG_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define KESTROVA_LOG_PRINTF(fmt, first)
#endif

/* The size at which the file is rotated. */
#define KESTROVA_LOG_ROTATE_BYTES (5 * 1024 * 1024)

/* Opens the log (once per process; later calls only report): the first open
 * of a process writes a header with the date, the program and its pid.
 * 0 when entries reach the file, -1 when they go to standard error. */
TSF_API int KestrovaLog_Open(void);
/* One entry, written with one write() so entries of different threads and
 * processes never interleave. The caller adds its own line ends. */
TSF_API void KestrovaLog_Write(const char* entry, size_t size);
/* One entry from a format; at most 4095 bytes, a longer one is cut. */
TSF_API void KestrovaLog_Printf(const char* format, ...) KESTROVA_LOG_PRINTF(1, 2);
TSF_API void KestrovaLog_VPrintf(const char* format, va_list args) KESTROVA_LOG_PRINTF(1, 0);
/* The descriptor entries go to: 0 before the first entry, -1 when the file
 * was refused. */
TSF_API int KestrovaLog_Descriptor(void);
/* Entries go to the caller's descriptor from now on (never rotated, never
 * closed by the log). A negative one goes back to the file. */
TSF_API void KestrovaLog_UseDescriptor(int fd);
/* The path of the file into buf (cut to size - 1 bytes, NUL-terminated);
 * returns the full length, 0 when no path could be made (no home folder). */
TSF_API size_t KestrovaLog_GetPath(char* buf, size_t size);
/* Another file instead of the standard one (NULL: back to it); its folder
 * must exist. The open file is closed; the next entry opens the new one. */
TSF_API void KestrovaLog_SetPath(const char* path);
/* Another rotation size (0: the standard one). */
TSF_API void KestrovaLog_SetRotateBytes(long long bytes);
/* 1: every entry is also copied to standard error (a command-line tool whose
 * error output is read by people); 0: not. */
TSF_API void KestrovaLog_SetEchoToStderr(int on);

#endif
