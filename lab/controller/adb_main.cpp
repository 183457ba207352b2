// The lab's adb: runs the real adb (LABDIR/tools/adb.real) in its place, so
// the product talks to the real client and server. Only "adb devices" is
// looked at: a phone whose folder holds "no-permissions" is listed in the
// state real adb gives a USB phone this computer may not open.
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/files.h"
#include "common/proc.h"
#include "controller/lab.h"

namespace {

const char* kNoPermissions = "no permissions (missing udev rules? user is in the plugdev group); "
                             "see [http://developer.android.com/tools/device.html]";

} // namespace

int main(int argc, char** argv) {
    const std::string tools = lab::exeFolder();
    const std::string labDir = tools.substr(0, tools.find_last_of('/', tools.size() - 2));
    const std::string real = tools + "adb.real";
    std::vector<std::string> marked;
    if (argc == 2 && std::string(argv[1]) == "devices")
        for (int i = 0; i < lab::phoneCount(labDir); ++i)
            if (access((lab::phoneDir(labDir, i) + "/no-permissions").c_str(), F_OK) == 0)
                marked.push_back(lab::phoneSerial(labDir, i));
    if (marked.empty()) {
        argv[0] = const_cast<char*>(real.c_str());
        execv(real.c_str(), argv);
        std::perror("adb.real");
        return 127;
    }
    lab::ProcResult r = lab::runProcess({real, "devices"}, {}, 30);
    std::string out;
    size_t pos = 0;
    while (pos < r.out.size()) {
        size_t end = r.out.find('\n', pos);
        if (end == std::string::npos)
            end = r.out.size();
        std::string line = r.out.substr(pos, end - pos);
        pos = end + 1;
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            for (const std::string& serial : marked)
                if (!serial.empty() && line.compare(0, tab, serial) == 0)
                    line = serial + "\t" + kNoPermissions;
        out += line + "\n";
    }
    std::fputs(out.c_str(), stdout);
    std::fputs(r.err.c_str(), stderr);
    return r.exitCode < 0 ? 1 : r.exitCode;
}
