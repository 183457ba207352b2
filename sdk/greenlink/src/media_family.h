// Photos, music and videos are one family of operations that differ only in
// their command names, phone folder and state; the exported operations of
// each kind call these with their kind's table.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace greenlink {

struct MediaFamily {
    const char* kindName; // for the log
    const char* flushCommand;
    const char* countCommand;
    const char* infoCommand;   // ...:%d;
    const char* deleteCommand; // ...:%d;
    const char* clearCommand;
    const char* existCommand; // ...:name;
    int existMinReply;        // the check counts only with this many reply bytes
    const char* phoneFolder;  // "/sdcard/Images/"
    const char* openCommand;
    const char* writeCommand;
    const char* closeCommand;
    const char* addCommand;
    const char* abortCommand;
    const char* pathCommand; // ...:%d;
    const char* dataCommand; // ...:id:offset:count;
    std::atomic<int>& abortFlag;
    std::atomic<int>& progress;
    std::atomic<int64_t>& currentSize;
};

extern MediaFamily photoFamily;
extern MediaFamily musicFamily;
extern MediaFamily videoFamily;

// Bytes asked for per read command and sent per write command in the copy
// loops. Larger chunks keep the forwarded channel busy; the agent accepts
// up to 16 MiB.
constexpr int kMediaChunk = 4 << 20;

int mediaFlush(const MediaFamily& f, int dev);
int mediaCount(const MediaFamily& f, int dev);
int mediaDelete(const MediaFamily& f, int id, int dev);
int mediaClear(const MediaFamily& f, int dev);
// A name not yet taken in the family's phone folder ("" when the agent does
// not answer the check); asks the agent until a free name is found.
std::string mediaFreeName(const MediaFamily& f, const std::string& wanted, int dev);
int mediaPush(const MediaFamily& f, const char* localPath, const char* name, int dev);
int mediaStreamedAdd(const MediaFamily& f, const char* localPath, const char* name, int dev);
int mediaExportByPull(const MediaFamily& f, int id, const char* localPath, long long size, int dev);
int mediaStreamedExport(const MediaFamily& f, int id, const char* localPath, long long size,
                        int dev);
int mediaPhoneToPhone(const MediaFamily& f, int id, const char* name, long long size, int src,
                      int dst);
int mediaOpen(const MediaFamily& f, const char* name, int dev);
int mediaWrite(const MediaFamily& f, const char* data, int count, int dev);
int mediaRead(const MediaFamily& f, char* buf, int capacity, int id, long long offset, int dev);
int mediaClose(const MediaFamily& f, int aborted, const char* name, int dev);

// The phone's external storage path, asked once per phone position.
std::string externalStoragePath(int dev);
// Forgets what was learnt about a position's phone (a new preparation).
void forgetPhoneMediaState(int dev);

} // namespace greenlink
