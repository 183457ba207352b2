#pragma once
// What a lab is made of: the phones a scenario asks for, the environment a
// client needs, and the parsing of the adb server's answers. Pure code.
#include <map>
#include <string>
#include <vector>

namespace lab {

struct PhoneProfile {
    std::string model, manufacturer, product, device, release, pda;
    int sdk = 29;
    int usbVendor = 0, usbProduct = 0;
    std::string usbInterfaces = "ff/42/01 06/01/01"; // ADB and MTP
    std::string state = "device";                    // device, unauthorized or offline at start
    int smsPromptAcceptAfterSeconds = 2;             // -1: the user never accepts
};

// Scenarios: "default" (the first phone below Android 4.4, the second at 10
// or later, more phones cycling through other makes), "modern" (every phone
// on Android 10 or later), "legacy" (every phone below 4.4), "unauthorized"
// (the default phones, waiting for the user to allow debugging),
// "sms-never" (the default phones, whose users never accept the SMS app
// prompt), "makers" (phones of today's makers: Xiaomi, OnePlus, OPPO, vivo,
// Motorola, Nokia, Fairphone, Google). Empty for an unknown name.
std::vector<PhoneProfile> scenarioPhones(const std::string& scenario, int count);

// Applies "VID:PID[@cc/ss/pp+cc/ss/pp...]" identities, comma-separated, to
// the phones in order (numbers in C notation, 0x for hexadecimal); false for
// a malformed list.
bool applyUsbIdentities(const std::string& list, std::vector<PhoneProfile>* phones);

// Command-line arguments of kestrova-virtual-android for one phone.
// Command-line arguments of kestrova-virtual-android for one phone;
// simCountry: the ISO country its SIM card reports (none when empty).
std::vector<std::string> phoneArguments(const PhoneProfile& p, const std::string& phoneDir,
                                        const std::string& agentStub, const std::string& agent = {},
                                        const std::string& simCountry = {});

// "export NAME=value" lines, values quoted for sh where needed.
std::string exportLines(const std::vector<std::pair<std::string, std::string>>& env);
// Reads such lines back (the quoting exportLines writes); other lines are skipped.
std::map<std::string, std::string> parseExportLines(const std::string& text);

// The list text of the adb server's host:devices answer: serial -> state.
std::map<std::string, std::string> parseDeviceList(const std::string& text);
// adb connect exits 0 even when it failed: judge by its text.
bool connectSucceeded(const std::string& output);

} // namespace lab
