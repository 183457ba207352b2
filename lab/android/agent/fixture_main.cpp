// kestrova-android-fixture: fills a virtual phone's folder from a seed, dumps
// it as canonical JSON, or sets its agent faults.
//
//   kestrova-android-fixture fill --dir PHONEDIR [--seed S] [--records N]
//       [--contacts N] [--messages N] [--calls N] [--events N]
//       [--photos N] [--videos N] [--music N] [--apps N]
//       [--photo-size BYTES] [--video-size BYTES] [--music-size BYTES]
//   kestrova-android-fixture dump --dir PHONEDIR [--out FILE]
//   kestrova-android-fixture faults --dir PHONEDIR [key=value ...]   (none: clear)
#include "dump.h"
#include "faults.h"
#include "fixtures.h"
#include "wire.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr, "usage: kestrova-android-fixture fill|dump|faults --dir PHONEDIR ...\n");
    return 2;
}

bool setCount(lab::FixtureOptions& o, const std::string& flag, long long n) {
    std::map<std::string, int*> counts = {{"--contacts", &o.contacts}, {"--messages", &o.messages},
                                          {"--calls", &o.calls},       {"--events", &o.events},
                                          {"--photos", &o.photos},     {"--videos", &o.videos},
                                          {"--music", &o.music},       {"--apps", &o.apps}};
    std::map<std::string, int64_t*> sizes = {{"--photo-size", &o.photoSize},
                                             {"--video-size", &o.videoSize},
                                             {"--music-size", &o.musicSize}};
    if (flag == "--records") {
        o.contacts = o.messages = o.calls = o.events = static_cast<int>(n);
    } else if (flag == "--seed") {
        o.seed = static_cast<uint64_t>(n);
    } else if (auto c = counts.find(flag); c != counts.end()) {
        *c->second = static_cast<int>(n);
    } else if (auto s = sizes.find(flag); s != sizes.end()) {
        *s->second = n;
    } else {
        return false;
    }
    if (flag == "--seed")
        return true;
    return n >= 0 && n <= (flag.find("size") != std::string::npos ? (1LL << 40) : 100000LL);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    std::string verb = argv[1], dir, out;
    lab::FixtureOptions options;
    std::vector<std::string> faultLines;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.find('=') != std::string::npos && verb == "faults") {
            faultLines.push_back(arg);
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        std::string value = argv[++i];
        if (arg == "--dir") {
            dir = value;
        } else if (arg == "--out") {
            out = value;
        } else {
            auto n = lab::parseInteger(value);
            if (verb != "fill" || !n || !setCount(options, arg, *n)) {
                std::fprintf(stderr, "kestrova-android-fixture: bad option %s %s\n", arg.c_str(),
                             value.c_str());
                return 2;
            }
        }
    }
    if (dir.empty())
        return usage();
    if (verb == "fill") {
        std::string error;
        if (!lab::fillPhone(dir, options, &error)) {
            std::fprintf(stderr, "kestrova-android-fixture: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (verb == "dump") {
        std::string text = lab::dumpPhone(dir);
        if (out.empty()) {
            std::cout << text;
            return std::cout.flush() ? 0 : 1;
        }
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        file << text;
        return file.flush() ? 0 : 1;
    }
    if (verb == "faults") {
        std::string text;
        for (const auto& line : faultLines)
            text += line + "\n";
        return lab::writeFaults(dir, lab::parseFaults(text)) ? 0 : 1;
    }
    return usage();
}
