#pragma once
// Splits a command line the way the phone's sh would, for the part of sh
// the lab needs: blanks separate words, '...' is literal, "..." keeps blanks
// and honours \" \\ \$ \`, a backslash outside quotes escapes one character.
// Nothing is expanded: $(...) and $VAR stay as written.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

// nullopt when a quote is left open (sh reports a syntax error then).
std::optional<std::vector<std::string>> splitShellWords(std::string_view line);

// Quotes one word so that splitShellWords gives it back unchanged.
std::string shellQuote(std::string_view word);

} // namespace lab
