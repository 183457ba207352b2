#include "device_table.h"

#include <cstring>
#include <string_view>

namespace greenlink {

AndroidDeviceRow st_connectAndroidDeviceSTRArray[kDeviceRows];
int st_connectAndroidCount = 0;
char device0_id[kDeviceFieldSize];
char device1_id[kDeviceFieldSize];

namespace {

constexpr std::string_view kListHeader = "List of devices attached";

void copyField(char* field, std::string_view text) {
    size_t n = std::min(text.size(), static_cast<size_t>(kDeviceFieldSize - 1));
    std::memset(field, 0, kDeviceFieldSize);
    std::memcpy(field, text.data(), n);
}

std::string_view trimEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                             text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string fieldText(const char* field) {
    return std::string(field, strnlen(field, kDeviceFieldSize));
}

} // namespace

void clearDeviceSerials() {
    for (AndroidDeviceRow& row : st_connectAndroidDeviceSTRArray) {
        std::memset(row.serial, 0, sizeof row.serial);
        std::memset(row.state, 0, sizeof row.state);
    }
}

bool checkdiffrentDevices(const char* serial) {
    // Whole serials are compared: one phone's serial may begin with another's
    // ("127.0.0.1:5555" and "127.0.0.1:55551").
    for (const AndroidDeviceRow& row : st_connectAndroidDeviceSTRArray)
        if (row.serial[0] && std::strncmp(row.serial, serial, kDeviceFieldSize) == 0)
            return false;
    return true;
}

void parserDevicesOutOneStr(const char* line, int length) {
    std::string_view text = trimEnd(std::string_view(line, static_cast<size_t>(length)));
    if (text.size() < 5 || st_connectAndroidCount >= kDeviceRows)
        return;
    size_t tab = text.find('\t');
    if (tab == std::string_view::npos || tab == 0)
        return;
    std::string serial(text.substr(0, std::min<size_t>(tab, kDeviceFieldSize - 1)));
    if (!checkdiffrentDevices(serial.c_str()))
        return;
    AndroidDeviceRow& row = st_connectAndroidDeviceSTRArray[st_connectAndroidCount];
    copyField(row.serial, serial);
    copyField(row.state, text.substr(tab + 1));
    ++st_connectAndroidCount;
}

void swapZoreAndOne() {
    AndroidDeviceRow& a = st_connectAndroidDeviceSTRArray[0];
    AndroidDeviceRow& b = st_connectAndroidDeviceSTRArray[1];
    char tmp[kDeviceFieldSize];
    std::memcpy(tmp, a.serial, sizeof tmp);
    std::memcpy(a.serial, b.serial, sizeof tmp);
    std::memcpy(b.serial, tmp, sizeof tmp);
    std::memcpy(tmp, a.state, sizeof tmp);
    std::memcpy(a.state, b.state, sizeof tmp);
    std::memcpy(b.state, tmp, sizeof tmp);
}

namespace {

bool rowHolds(int index, const char* id) {
    return std::strncmp(st_connectAndroidDeviceSTRArray[index].serial, id, kDeviceFieldSize) == 0;
}

void keepStablePositions() {
    AndroidDeviceRow* rows = st_connectAndroidDeviceSTRArray;
    if (device0_id[0]) {
        if (!rowHolds(0, device0_id) && rowHolds(1, device0_id))
            swapZoreAndOne();
    } else if (rows[0].serial[0]) {
        std::memcpy(device0_id, rows[0].serial, kDeviceFieldSize);
    }
    if (device1_id[0]) {
        if (!rowHolds(1, device1_id) && rowHolds(0, device1_id))
            swapZoreAndOne();
    } else if (rows[1].serial[0] && !rowHolds(1, device0_id)) {
        std::memcpy(device1_id, rows[1].serial, kDeviceFieldSize);
    }
}

} // namespace

void parserDevicesOutInfo(const char* text) {
    st_connectAndroidCount = 0;
    if (!text)
        return;
    std::string_view all(text);
    // adb may print daemon start-up notes before the header.
    size_t at = 0;
    for (;;) {
        if (all.substr(at, kListHeader.size()) == kListHeader)
            break;
        size_t nl = all.find('\n', at);
        if (nl == std::string_view::npos)
            return;
        at = nl + 1;
    }
    size_t nl = all.find('\n', at);
    if (nl == std::string_view::npos)
        return;
    at = nl + 1;
    while (at < all.size()) {
        nl = all.find('\n', at);
        if (nl == std::string_view::npos)
            break; // an unfinished line is not taken
        parserDevicesOutOneStr(all.data() + at, static_cast<int>(nl - at));
        at = nl + 1;
    }
    keepStablePositions();
}

std::mutex& deviceTableMutex() {
    static std::mutex m;
    return m;
}

std::string deviceSerial(int index) {
    std::lock_guard lock(deviceTableMutex());
    if (index < 0 || index >= kDeviceRows)
        return {};
    return fieldText(st_connectAndroidDeviceSTRArray[index].serial);
}

std::string deviceState(int index) {
    std::lock_guard lock(deviceTableMutex());
    if (index < 0 || index >= kDeviceRows)
        return {};
    return fieldText(st_connectAndroidDeviceSTRArray[index].state);
}

std::string deviceDisplayVersion(int index) {
    std::lock_guard lock(deviceTableMutex());
    if (index < 0 || index >= kDeviceRows)
        return {};
    return fieldText(st_connectAndroidDeviceSTRArray[index].displayVersion);
}

void clearStickyIdentities() {
    std::lock_guard lock(deviceTableMutex());
    std::memset(device0_id, 0, sizeof device0_id);
    std::memset(device1_id, 0, sizeof device1_id);
}

void setGetpropField(char* field, const std::string& text) {
    std::memset(field, 0, kDeviceFieldSize);
    if (text.size() >= static_cast<size_t>(kDeviceFieldSize))
        return;
    copyField(field, trimEnd(text));
}

} // namespace greenlink
