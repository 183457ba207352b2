#include "faults.h"

#include "wire.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace lab {

Faults parseFaults(const std::string& text) {
    Faults f;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
            value.pop_back();
        if (key == "only") {
            f.onlyPrefix = value;
            continue;
        }
        auto n = parseInteger(value);
        if (!n)
            continue;
        if (key == "stall")
            f.stallSeconds = static_cast<int>(*n);
        else if (key == "cut")
            f.cutBytes = *n;
        else if (key == "oversize")
            f.oversizeBytes = *n;
        else if (key == "drop")
            f.dropAfterReply = *n != 0;
        else if (key == "diskfull")
            f.diskFull = *n != 0;
        else if (key == "noranges")
            f.noRanges = *n != 0;
        else if (key == "smsaccept")
            f.smsAcceptSeconds = static_cast<int>(*n);
        else if (key == "times")
            f.times = static_cast<int>(*n);
    }
    return f;
}

std::string formatFaults(const Faults& f) {
    std::string out;
    auto put = [&out](const char* key, const std::string& value) {
        out += key;
        out += '=';
        out += value;
        out += '\n';
    };
    if (f.stallSeconds > 0)
        put("stall", std::to_string(f.stallSeconds));
    if (f.cutBytes >= 0)
        put("cut", std::to_string(f.cutBytes));
    if (f.oversizeBytes > 0)
        put("oversize", std::to_string(f.oversizeBytes));
    if (f.dropAfterReply)
        put("drop", "1");
    if (f.diskFull)
        put("diskfull", "1");
    if (f.noRanges)
        put("noranges", "1");
    if (f.smsAcceptSeconds)
        put("smsaccept", std::to_string(*f.smsAcceptSeconds));
    if (!f.onlyPrefix.empty())
        put("only", f.onlyPrefix);
    if (f.times >= 0)
        put("times", std::to_string(f.times));
    return out;
}

std::string faultsPath(const std::string& phoneDir) { return phoneDir + "/agent-faults"; }

bool writeFaults(const std::string& phoneDir, const Faults& faults) {
    std::string path = faultsPath(phoneDir);
    std::string text = formatFaults(faults);
    if (text.empty())
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush())
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

Faults readFaults(const std::string& phoneDir) {
    std::ifstream in(faultsPath(phoneDir), std::ios::binary);
    if (!in)
        return {};
    std::stringstream text;
    text << in.rdbuf();
    return parseFaults(text.str());
}

Faults takeFaults(const std::string& phoneDir, const std::string& command) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    Faults f = readFaults(phoneDir);
    bool matches = command.compare(0, f.onlyPrefix.size(), f.onlyPrefix) == 0;
    if (!f.anyReplyFault() || f.times == 0 || !matches) {
        f.stallSeconds = 0;
        f.cutBytes = -1;
        f.oversizeBytes = 0;
        f.dropAfterReply = false;
        return f;
    }
    if (f.times > 0) {
        Faults left = f;
        left.times -= 1;
        if (left.times == 0) {
            left.stallSeconds = 0;
            left.cutBytes = -1;
            left.oversizeBytes = 0;
            left.dropAfterReply = false;
            left.onlyPrefix.clear();
            left.times = -1;
        }
        writeFaults(phoneDir, left);
    }
    return f;
}

} // namespace lab
