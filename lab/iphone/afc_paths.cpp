#include "afc_paths.h"

#include <sys/stat.h>
#include <vector>

namespace viphone {

std::optional<std::string> normaliseAfcPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        std::string part = path.substr(i, j - i);
        if (part == "..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (auto& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

std::optional<std::string> resolveBelowRoot(const std::string& root, const std::string& afcPath) {
    auto rel = normaliseAfcPath(afcPath);
    if (!rel)
        return std::nullopt;
    std::string full = root;
    size_t i = 0;
    while (i < rel->size()) {
        size_t j = rel->find('/', i);
        if (j == std::string::npos)
            break;
        full += "/" + rel->substr(i, j - i);
        struct stat st;
        if (::lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return std::nullopt;
        i = j + 1;
    }
    return rel->empty() ? root : root + "/" + *rel;
}

} // namespace viphone
