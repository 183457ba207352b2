#include "android/shell_words.h"

namespace lab {

std::optional<std::vector<std::string>> splitShellWords(std::string_view line) {
    std::vector<std::string> words;
    std::string cur;
    bool inWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(cur);
            cur.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            size_t end = line.find('\'', i + 1);
            if (end == std::string_view::npos)
                return std::nullopt;
            cur.append(line.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '"') {
            size_t j = i + 1;
            for (; j < line.size() && line[j] != '"'; ++j) {
                char d = line[j];
                if (d == '\\' && j + 1 < line.size()) {
                    char n = line[j + 1];
                    if (n == '"' || n == '\\' || n == '$' || n == '`') {
                        cur.push_back(n);
                        ++j;
                        continue;
                    }
                    if (n == '\n') {
                        ++j;
                        continue;
                    }
                }
                cur.push_back(d);
            }
            if (j >= line.size())
                return std::nullopt;
            i = j;
        } else if (c == '\\') {
            if (i + 1 < line.size() && line[i + 1] != '\n')
                cur.push_back(line[i + 1]);
            ++i;
        } else {
            cur.push_back(c);
        }
    }
    if (inWord)
        words.push_back(cur);
    return words;
}

std::string shellQuote(std::string_view word) {
    std::string out = "'";
    for (char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    out += "'";
    return out;
}

} // namespace lab
