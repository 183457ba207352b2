// Fills a virtual phone with realistic data from a seed: the same seed and
// counts always give the same store, files and apps.
#pragma once

#include <cstdint>
#include <string>

namespace lab {

struct FixtureOptions {
    uint64_t seed = 1;
    int contacts = 10, messages = 10, calls = 10, events = 10; // up to 100,000 each
    int photos = 3, videos = 2, music = 3, apps = 2;
    int64_t photoSize = 64 * 1024, videoSize = 256 * 1024, musicSize = 128 * 1024;
    int64_t apkSize = 32 * 1024;
    // The newest instant of the fixture (ms since 1970 UTC); older records
    // step back from it, so nothing depends on the clock.
    int64_t newestMs = 1767225600000; // 2026-01-01 00:00 UTC
};

// Adds the fixture to the phone at dir (creating dir, store.db, sdcard/ and
// data/app/). Returns false and sets *error on failure.
bool fillPhone(const std::string& dir, const FixtureOptions& options, std::string* error = nullptr);

} // namespace lab
