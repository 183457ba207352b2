/* Process runners of the Android library: they start adb or getusb from the
 * tool folder, optionally capture standard output into a file and wait for the
 * child within a bound. 0 means the child was started; -1 that it was not
 * (tool missing, no capture file, spawn failure); the reason is logged. */
#ifndef KESTROVA_GREENLINK_RUNNER_H
#define KESTROVA_GREENLINK_RUNNER_H

#include "tsf_export.h"

/* adb with `command` split into words as a shell would (blanks separate,
 * double quotes group and are removed); waits up to 62 s, leaves the child
 * running after that. */
TSF_API int runProcessToEndFunction(const char* command);
/* As runProcessToEndFunction, waiting without limit. */
TSF_API int runProcessToEndFunction_notEnd(const char* command);
/* As runProcessToEndFunction, not waiting at all. */
TSF_API int runProcessToEndFunction_Not_Wait(const char* command);
/* adb kill-server, adb start-server, adb devices, one after another, within
 * 20 s in total. */
TSF_API int runProcessToEndFunction_bash(void);
/* adb with `args` cut at every space (two spaces give an empty argument),
 * standard output into `outfile`; waits up to 11 s, leaves the child running. */
TSF_API int runProcessToEndFunction2(const char* args, const char* outfile);
/* `program` with `args` cut at every space, no capture; waits up to 11 s. */
TSF_API int runProcessToEndFunction3(const char* program, const char* args);
/* adb with `args` cut at spaces outside double quotes (the quotes stay in the
 * argument), standard output into `outfile` unless it is NULL or empty; waits
 * up to 6 s, then kills the child. */
TSF_API int runProcessToEndFunction4(const char* args, const char* outfile);
/* getusb without arguments, standard output into `outfile` unless NULL or
 * empty; waits up to 6 s, then kills the child. */
TSF_API int runProcessGetUSB(const char* outfile);
/* Kept for callers of the older interface; does nothing. Returns 0. */
TSF_API int ForceEndAdbProcess(void);

/* The running executable's folder with its trailing "/" into `buffer` of
 * `size` bytes. 0, or -1 (buffer emptied) when it cannot be found or does not
 * fit. */
TSF_API int GetExerunPath(char* buffer, int size);
TSF_API int tmpGetExerunPath(char* buffer, int size);
/* A fresh temporary file name (at most 1023 bytes) into `buffer`, which must
 * hold 1024 bytes; the name ends in a six-digit serial. 0, or -1 (buffer
 * emptied) when no private temporary folder could be made. */
TSF_API int GetTempPathFile(char* buffer);
/* Makes sure the work buffer for writing file data to a phone exists. */
TSF_API void checktempbuffer(void);

#endif
