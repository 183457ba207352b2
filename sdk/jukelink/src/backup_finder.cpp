#include "backup_finder.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <set>

#include "backup_info.h"
#include "fsutil.h"

namespace jukelink {

std::vector<std::string> standardBackupRoots() {
    std::vector<std::string> roots;
    const char* home = getenv("HOME");
    if (home != nullptr && *home != '\0')
        roots.push_back(joinPath(home, "Library/Application Support/MobileSync/Backup"));
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg != nullptr && *xdg == '/')
        roots.push_back(joinPath(xdg, "MobileSync/Backup"));
    else if (home != nullptr && *home != '\0')
        roots.push_back(joinPath(home, ".local/share/MobileSync/Backup"));
    return roots;
}

namespace {

std::vector<std::string> subFolders(const std::string& dir) {
    std::vector<std::string> out;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return out;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = joinPath(dir, name);
        if (isDirectory(path))
            out.push_back(path);
    }
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

class Collector {
  public:
    void add(const std::string& folder) {
        char resolved[PATH_MAX];
        std::string key = realpath(folder.c_str(), resolved) ? resolved : folder;
        if (m_seen.insert(key).second)
            m_found.push_back(folder);
    }
    // Adds the backups directly inside dir; true when there was one.
    bool addChildren(const std::string& dir) {
        bool any = false;
        for (const std::string& sub : subFolders(dir)) {
            if (isBackupFolder(sub)) {
                add(sub);
                any = true;
            }
        }
        return any;
    }
    std::vector<std::string> take() { return std::move(m_found); }

  private:
    std::set<std::string> m_seen;
    std::vector<std::string> m_found;
};

std::string withoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

} // namespace

std::vector<std::string> findBackupFolders(const std::vector<std::string>& roots,
                                           const std::string& userFolder) {
    Collector c;
    for (const std::string& root : roots)
        c.addChildren(root);
    if (!userFolder.empty() && isDirectory(userFolder)) {
        std::string dir = withoutTrailingSlash(userFolder);
        if (isBackupFolder(dir))
            c.add(dir);
        else if (!c.addChildren(dir))
            c.addChildren(joinPath(dir, "Backup"));
    }
    return c.take();
}

} // namespace jukelink
