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

} // namespace

std::vector<PhoneProfile> scenarioPhones(const std::string& scenario, int count) {
    std::vector<PhoneProfile> pool = basePhones();
    if (scenario == "modern")
        pool = {pool[4], pool[1]};
    else if (scenario == "legacy")
        pool = {pool[0], pool[5], pool[3]};
    else if (scenario != "default" && scenario != "unauthorized" && scenario != "sms-never")
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

std::vector<std::string> phoneArguments(const PhoneProfile& p, const std::string& phoneDir,
                                        const std::string& agentStub, const std::string& agent,
                                        const std::string& simCountry) {
    char usb[32];
    std::snprintf(usb, sizeof usb, "0x%04X:0x%04X", p.usbVendor, p.usbProduct);
    std::vector<std::string> a = {"--dir",          phoneDir,
                                  "--model",        p.model,
                                  "--manufacturer", p.manufacturer,
                                  "--product",      p.product,
                                  "--device",       p.device,
                                  "--release",      p.release,
                                  "--sdk",          std::to_string(p.sdk),
                                  "--pda",          p.pda,
                                  "--usb",          usb,
                                  "--state",        p.state,
                                  "--sms-accept",   std::to_string(p.smsPromptAcceptAfterSeconds)};
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
