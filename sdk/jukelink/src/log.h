// Diagnostics of the backup reader: one line per failure, with the reason, in
// the process's one log (kestrova_log.h), and the latest failure of each thread with its category
// for callers that decide by it.
#pragma once

#include <string>

namespace jukelink {

// The categories of the exported iTunesTSF_ErrorCategory, same values.
enum class Category {
    None = 0,
    NotFound = 1,
    Corrupt = 2,
    Encrypted = 3,
    UnsafeFile = 4,
    Incomplete = 5,
    TooLarge = 6,
    Io = 7,
    InvalidArgument = 8,
    WrongPassword = 9,
};

// What went wrong inside the reader, carried up to the exported call.
struct Error {
    Category category = Category::None;
    std::string text;

    // Sets both and returns false, for `return err->fail(...)`.
    bool fail(Category c, std::string why) {
        category = c;
        text = std::move(why);
        return false;
    }
    bool failed() const { return category != Category::None; }
};

void logLine(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The last line logged by this thread (without the prefix and line end).
std::string lastLogLine();

// The calling thread's latest outcome, as the exported calls report it.
// reportFailure also logs "<context>: <text>".
void reportFailure(const char* context, const Error& e);
void reportSuccess();
Category lastFailureCategory();
std::string lastFailureText();

} // namespace jukelink
