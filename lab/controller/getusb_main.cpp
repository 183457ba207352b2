// The lab's getusb: lists the virtual phones that are plugged in, one line
// per phone with decimal "VID:" and "PID:" values, as the real tool lists
// USB devices. It lives in LABDIR/tools/ and finds the lab as the parent of
// its own folder.
#include <cstdio>
#include <string>
#include <unistd.h>

#include "common/files.h"

int main() {
    std::string tools = lab::exeFolder();
    std::string labDir = tools.substr(0, tools.find_last_of('/', tools.size() - 2));
    for (int i = 0;; ++i) {
        std::string phone = labDir + "/phones/" + std::to_string(i);
        if (access(phone.c_str(), F_OK) != 0)
            break;
        if (auto line = lab::readFile(phone + "/usb-present", 256))
            std::fputs(line->c_str(), stdout);
    }
    // Other USB devices on the bus (a disk, a camera): lines as getusb prints.
    if (auto extra = lab::readFile(labDir + "/usb-extra", 64 * 1024))
        std::fputs(extra->c_str(), stdout);
    return 0;
}
