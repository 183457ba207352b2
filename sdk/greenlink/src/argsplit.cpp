// How the text-taking runners turn a command text into argument elements.
#include "runner.h"

#include <string_view>

namespace greenlink {

std::vector<std::string> splitShellWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0; // '"' or '\'' while inside quotes
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                word += c;
        } else if (quote == '"') {
            // Inside double quotes a backslash only escapes what the shell
            // would treat specially there.
            if (c == '"') {
                quote = 0;
            } else if (c == '\\' && i + 1 < text.size() &&
                       std::string_view("\"\\$`").find(text[i + 1]) != std::string_view::npos) {
                word += text[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == '"' || c == '\'')
                quote = c;
            else if (c == '\\' && i + 1 < text.size())
                word += text[++i];
            else
                word += c;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

std::vector<std::string> splitAtSpaces(const std::string& text) {
    std::vector<std::string> parts;
    if (text.empty())
        return parts;
    std::string part;
    for (const char c : text) {
        if (c == ' ') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

std::vector<std::string> splitAtSpacesOutsideQuotes(const std::string& text) {
    std::vector<std::string> parts;
    if (text.empty())
        return parts;
    std::string part;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == ' ' && !quoted) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

} // namespace greenlink
