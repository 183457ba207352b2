#include "controller/lab_config.h"

#include <cstdio>

#include "android/shell_words.h"

namespace lab {

namespace {

std::vector<PhoneProfile> basePhones() {
    // USB identities come from the known-device table the Android library
    // matches against.
    PhoneProfile s3{"GT-I9300",    "samsung", "m0xx", "m0",  "4.2.2",
                    "I9300XXELLA", 17,        0x04E8, 0x6860};
    PhoneProfile pixel{"Pixel 3a",        "Google", "sargo", "sargo", "10",
                       "QQ3A.200805.001", 29,       0x18D1,  0x4E21};
    PhoneProfile htc{"HTC One M8", "HTC", "m8_google", "htc_m8", "6.0.1",
                     "MMB29M",     23,    0x0BB4,      0x0C87};
    PhoneProfile moto{"XT1032",         "motorola", "falcon_retgb", "falcon_umts", "4.4.4",
                      "KXB21.14-L1.40", 19,         0x22B8,         0x41DB};
    PhoneProfile s10{"SM-G973F",      "samsung", "beyond1ltexx", "beyond1", "11",
                     "G973FXXSBFUF3", 30,        0x04E8,         0x685E};
    PhoneProfile nexus{"Nexus One", "HTC", "passion", "passion", "2.3.6",
                       "GRK39F",    10,    0x0BB4,    0x4E12};
    return {s3, pixel, htc, moto, s10, nexus};
}

// Phones of today's makers, with the USB ids they show with debugging on.
std::vector<PhoneProfile> makerPhones() {
    return {
        {"2201116SG", "Xiaomi", "veux_global", "veux", "13", "", 33, 0x2717, 0xFF48},
        {"CPH2449", "OnePlus", "CPH2449EEA", "OP591BL1", "14", "", 34, 0x2A70, 0x4EE7},
        {"CPH2305", "OPPO", "CPH2305EEA", "OP5325L1", "13", "", 33, 0x22D9, 0x2769},
        {"V2250", "vivo", "PD2250F_EX", "PD2250F", "14", "", 34, 0x2D95, 0x6003},
        {"moto g54 5G", "motorola", "cancunf_g", "cancunf", "14", "", 34, 0x22B8, 0x2E81},
        {"Nokia G22", "HMD Global", "Ankylosaurus_00WW", "ANY", "13", "", 33, 0x2E04, 0xC025},
        {"FP5", "Fairphone", "FP5", "FP5", "14", "", 34, 0x2AE5, 0x9039},
        {"Pixel 8", "Google", "shiba", "shiba", "14", "", 34, 0x18D1, 0x4EE7},
    };
}

bool parseUsbIdentity(const std::string& text, PhoneProfile* p) {
    const size_t at = text.find('@');
    const std::string ids = text.substr(0, at);
    unsigned vendor = 0, product = 0;
    char rest = 0;
    if (std::sscanf(ids.c_str(), "%i:%i%c", reinterpret_cast<int*>(&vendor),
                    reinterpret_cast<int*>(&product), &rest) != 2 ||
        vendor > 0xFFFF || product > 0xFFFF)
        return false;
    p->usbVendor = static_cast<int>(vendor);
    p->usbProduct = static_cast<int>(product);
    if (at != std::string::npos) {
        std::string interfaces = text.substr(at + 1);
        for (char& c : interfaces)
            if (c == '+')
                c = ' ';
        if (interfaces.find_first_not_of("0123456789abcdefABCDEF/ ") != std::string::npos)
            return false;
        p->usbInterfaces = interfaces;
    }
    return true;
}

} // namespace

std::vector<PhoneProfile> scenarioPhones(const std::string& scenario, int count) {
    std::vector<PhoneProfile> pool = basePhones();
    if (scenario == "modern")
        pool = {pool[4], pool[1]};
    else if (scenario == "makers")
        pool = makerPhones();
    else if (scenario == "legacy")
        pool = {pool[0], pool[5], pool[3]};
    else if (scenario != "default" && scenario != "unauthorized" && scenario != "sms-never" &&
             scenario != "makers")
        return {};
    std::vector<PhoneProfile> out;
    for (int i = 0; i < count; ++i) {
        PhoneProfile p = pool[static_cast<size_t>(i) % pool.size()];
        if (scenario == "unauthorized")
            p.state = "unauthorized";
        if (scenario == "sms-never")
            p.smsPromptAcceptAfterSeconds = -1;
        out.push_back(p);
    }
    return out;
}

bool applyUsbIdentities(const std::string& list, std::vector<PhoneProfile>* phones) {
    size_t index = 0, pos = 0;
    while (pos <= list.size() && !list.empty()) {
        size_t end = list.find(',', pos);
        if (end == std::string::npos)
            end = list.size();
        if (index < phones->size() &&
            !parseUsbIdentity(list.substr(pos, end - pos), &(*phones)[index]))
            return false;
        ++index;
        pos = end + 1;
    }
    return true;
}

std::vector<std::string> phoneArguments(const PhoneProfile& p, const std::string& phoneDir,
                                        const std::string& agentStub, const std::string& agent,
                                        const std::string& simCountry) {
    char usb[32];
    std::snprintf(usb, sizeof usb, "0x%04X:0x%04X", p.usbVendor, p.usbProduct);
    std::vector<std::string> a = {"--dir",
                                  phoneDir,
                                  "--model",
                                  p.model,
                                  "--manufacturer",
                                  p.manufacturer,
                                  "--product",
                                  p.product,
                                  "--device",
                                  p.device,
                                  "--release",
                                  p.release,
                                  "--sdk",
                                  std::to_string(p.sdk),
                                  "--pda",
                                  p.pda,
                                  "--usb",
                                  usb,
                                  "--usb-interfaces",
                                  p.usbInterfaces,
                                  "--state",
                                  p.state,
                                  "--sms-accept",
                                  std::to_string(p.smsPromptAcceptAfterSeconds)};
    if (!simCountry.empty()) {
        a.push_back("--prop");
        a.push_back("gsm.sim.operator.iso-country=" + simCountry);
    }
    if (!agentStub.empty()) {
        a.push_back("--agent-stub");
        a.push_back(agentStub);
    }
    if (!agent.empty()) {
        a.push_back("--agent");
        a.push_back(agent);
    }
    return a;
}

std::string exportLines(const std::vector<std::pair<std::string, std::string>>& env) {
    std::string out;
    for (const auto& [k, v] : env) {
        bool plain = !v.empty() &&
                     v.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN"
                                         "OPQRSTUVWXYZ0123456789_-./:,+@%=") == std::string::npos;
        out += "export " + k + "=" + (plain ? v : shellQuote(v)) + "\n";
    }
    return out;
}

std::map<std::string, std::string> parseExportLines(const std::string& text) {
    std::map<std::string, std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("export ", 0) != 0 || line.find('=') == std::string::npos)
            continue;
        std::string name = line.substr(7, line.find('=') - 7);
        auto words = splitShellWords(line.substr(line.find('=') + 1));
        if (words)
            out[name] = words->empty() ? std::string() : (*words)[0];
    }
    return out;
}

std::map<std::string, std::string> parseDeviceList(const std::string& text) {
    std::map<std::string, std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0)
            continue;
        std::string state = line.substr(tab + 1);
        out[line.substr(0, tab)] = state.substr(0, state.find_first_of(" \t"));
    }
    return out;
}

bool connectSucceeded(const std::string& output) {
    return output.rfind("connected to ", 0) == 0 || output.rfind("already connected to ", 0) == 0;
}

} // namespace lab
