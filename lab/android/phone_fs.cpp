#include "android/phone_fs.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <vector>

#include "common/files.h"

namespace lab {

namespace {

struct Area {
    const char* phone;
    const char* sub;
};

// Longest prefixes first is not needed: no prefix is a prefix of another.
constexpr Area kAreas[] = {
    {"/sdcard", "sdcard"},
    {"/storage/emulated/0", "sdcard"},
    {"/storage/self/primary", "sdcard"},
    {"/mnt/sdcard", "sdcard"},
    {"/data/local/tmp", "data/local/tmp"},
    {"/data/app", "data/app"},
};

std::string realPath(const std::string& p) {
    char buf[PATH_MAX];
    if (!realpath(p.c_str(), buf))
        return {};
    return buf;
}

bool within(const std::string& inner, const std::string& outer) {
    return inner == outer ||
           (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
            inner[outer.size()] == '/');
}

} // namespace

PhoneFs::PhoneFs(std::string phoneDir) : m_dir(std::move(phoneDir)) {
    while (m_dir.size() > 1 && m_dir.back() == '/')
        m_dir.pop_back();
}

bool PhoneFs::prepare() const {
    bool ok = true;
    for (const auto& a : kAreas)
        ok = makeDirs(m_dir + "/" + a.sub) && ok;
    return ok;
}

std::string PhoneFs::normalize(std::string_view path) {
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string_view::npos)
        return {};
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string_view::npos)
            j = path.size();
        std::string_view part = path.substr(i, j - i);
        if (part == "..") {
            if (parts.empty())
                return {};
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (auto p : parts) {
        out += '/';
        out += p;
    }
    return out.empty() ? "/" : out;
}

ResolvedPath PhoneFs::resolve(std::string_view phonePath) const {
    std::string norm = normalize(phonePath);
    if (norm.empty())
        return {{}, ENOENT};
    for (const auto& a : kAreas) {
        std::string_view prefix = a.phone;
        if (norm.compare(0, prefix.size(), prefix) != 0 ||
            (norm.size() > prefix.size() && norm[prefix.size()] != '/'))
            continue;
        std::string areaDir = m_dir + "/" + a.sub;
        std::string host = areaDir + norm.substr(prefix.size());
        std::string areaReal = realPath(areaDir);
        if (areaReal.empty())
            return {{}, ENOENT};
        // The deepest part that exists decides where the path really leads.
        std::string probe = host;
        std::string real;
        while (true) {
            real = realPath(probe);
            if (!real.empty() || probe.size() <= areaDir.size())
                break;
            probe = probe.substr(0, probe.rfind('/'));
        }
        if (real.empty() || !within(real, areaReal))
            return {{}, EACCES};
        // A dangling link would let a write create its target wherever it points.
        struct stat st;
        if (probe != host && lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return {{}, EACCES};
        return {host, 0};
    }
    return {{}, EACCES};
}

} // namespace lab
