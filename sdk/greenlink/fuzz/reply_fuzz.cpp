// libFuzzer target for everything the library reads off the agent channel or
// out of adb and getusb: the hex decoder, the record and item reply parsers,
// the device listing and the USB listing. The first byte picks the reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device_table.h"
#include "greenlink_records.h"
#include "hexcodec.h"
#include "reply_parser.h"
#include "usbscan.h"

using namespace greenlink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    uint8_t mode = data[0] % 12;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (mode) {
    case 0: {
        std::string bytes = HexToData(text);
        std::string decoded = DecryptionData(text);
        if (decoded.size() > bytes.size())
            __builtin_trap();
        if (HexToData(DataToHex(text)) != text)
            __builtin_trap();
        break;
    }
    case 1:
        android_sms_prase(text.data());
        Clear_SMS_NodeList();
        break;
    case 2:
        android_contact_prase(text.data());
        Clear_AddressBook_NodeList();
        break;
    case 3:
        android_callLog_prase(text.data());
        Clear_CallHistory_list();
        break;
    case 4:
        android_Calendar_prase(text.data());
        Clear_CALENDAR_list();
        break;
    case 5: {
        ItemPhotoInfo r{};
        android_DCIM_prase(text.data(), &r);
        break;
    }
    case 6: {
        ItemMusicInfo r{};
        android_MUSIC_prase(text.data(), &r);
        break;
    }
    case 7: {
        ItemVideoInfo r{};
        android_Video_prase(text.data(), &r);
        break;
    }
    case 8: {
        ItemAppInfo r{};
        android_APP_prase(text.data(), &r);
        break;
    }
    case 9: {
        AndroidDeviceInfo r{};
        android_deviceinfo_prase(text.data(), &r);
        break;
    }
    case 10:
        clearDeviceSerials();
        parserDevicesOutInfo(text.c_str());
        break;
    case 11:
        st_androidDevice_count = 0;
        parse_buffer(text.c_str());
        break;
    }
    return 0;
}
