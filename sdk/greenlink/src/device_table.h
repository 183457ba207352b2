// The table of phones adb lists: ten rows of serial, state and the getprop
// fields of a ready phone. The first two phones keep positions 0 and 1 across
// listings (sticky identities device0_id / device1_id).
#pragma once

#include <map>
#include <mutex>
#include <string>

namespace greenlink {

constexpr int kDeviceRows = 10;
constexpr int kDeviceFieldSize = 64;

struct AndroidDeviceRow {
    char serial[kDeviceFieldSize];
    char state[kDeviceFieldSize];
    char manufacturer[kDeviceFieldSize];
    char model[kDeviceFieldSize];
    char version[kDeviceFieldSize];
    char displayVersion[kDeviceFieldSize];
    char build[kDeviceFieldSize];
    char unused[512 - 7 * kDeviceFieldSize];
};
static_assert(sizeof(AndroidDeviceRow) == 512, "device table rows are 512 bytes");

extern AndroidDeviceRow st_connectAndroidDeviceSTRArray[kDeviceRows];
extern int st_connectAndroidCount;
extern char device0_id[kDeviceFieldSize];
extern char device1_id[kDeviceFieldSize];

// Parses the text of "adb devices" into the table (serial and state of each
// listed phone), then keeps the first two phones in their positions. Lines
// before the "List of devices attached" header (daemon start-up notes) are
// skipped; CR line ends and trailing blanks are dropped.
void parserDevicesOutInfo(const char* text);
// One "serial<TAB>state" line (without its line end).
void parserDevicesOutOneStr(const char* line, int length);
// True when no filled row holds this serial already.
bool checkdiffrentDevices(const char* serial);
// Swaps serial and state of rows 0 and 1.
void swapZoreAndOne();
// Clears serial and state of every row.
void clearDeviceSerials();

// Guards the table and the sticky identities between the polling, checking
// and transfer threads. parserDevicesOutInfo expects its caller to hold it.
std::mutex& deviceTableMutex();

// Copies of a row's fields ("" for a row outside the table).
std::string deviceSerial(int index);
std::string deviceState(int index);
std::string deviceDisplayVersion(int index);

// Clears the sticky identities (no phone on USB any more).
void clearStickyIdentities();

// Copies `text` without trailing CR, LF and blanks into a field of 64 bytes
// when it fits (shorter than 64 bytes before trimming); otherwise the field
// is left empty.
void setGetpropField(char* field, const std::string& text);

// The properties of a phone's "getprop" listing, one "[key]: [value]" a
// line; lines of another form (a value that runs over several lines) are
// left out.
std::map<std::string, std::string> parsePropertyListing(const std::string& listing);

} // namespace greenlink
