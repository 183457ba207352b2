// Fills a virtual iPhone's folder: a media tree under DCIM, Recordings and
// iTunes_Control with distinct bytes per file, and the user databases under
// var/mobile/Library made by the iOS fixture generator tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace viphone {

struct ContentOptions {
    uint32_t seed = 1;
    uint64_t largeFileBytes = 0; // one extra large video when > 0
    int iosVersion = 7;
    int recordCount = 10;
    std::string fixtureTool; // path of kestrova-iosfixture; empty = no databases
};

struct ContentFile {
    std::string afcPath; // "/DCIM/100APPLE/IMG_0001.JPG"
    uint64_t size = 0;
    enum Kind { Photo, Video, Music, Other } kind = Other;
};

// The bytes of one generated file: a seeded stream, so two files never match
// and a reader can check every byte without keeping a copy.
void fillPattern(uint32_t seed, uint64_t offset, char* out, size_t n);

bool writeMediaTree(const std::string& root, const ContentOptions& opt,
                    std::vector<ContentFile>* files, std::string* error);

// Runs the fixture tool (argument vector, no shell) and moves its databases
// to their places on a phone (var/mobile/Library/..., the call history of
// older phones in var/wireless/Library/CallHistory).
bool writeUserDatabases(const std::string& root, const ContentOptions& opt, std::string* error);

} // namespace viphone
