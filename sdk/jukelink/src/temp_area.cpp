#include "temp_area.h"

#include <cerrno>
#include <cstring>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fsutil.h"

namespace jukelink {

namespace {

bool isOwnPrivateFolder(const std::string& dir) {
    struct stat st;
    return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 077) == 0;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path) == 0 || errno == ENOENT ? 0 : -1;
}

} // namespace

void TempArea::setBase(const std::string& base) {
    if (base == m_base)
        return;
    Error ignored;
    clean(&ignored);
    m_base = base;
}

bool TempArea::folder(std::string* out, Error* err) {
    if (!m_dir.empty() && isOwnPrivateFolder(m_dir)) {
        *out = m_dir;
        return true;
    }
    m_dir.clear();
    if (m_base.empty() || !isDirectory(m_base))
        return err->fail(Category::InvalidArgument,
                         "the temp folder is not set or is not a folder");
    std::string templ = joinPath(m_base, "jukelink-XXXXXX");
    if (mkdtemp(templ.data()) == nullptr)
        return err->fail(Category::Io,
                         "cannot make a private folder in " + m_base + ": " + strerror(errno));
    m_dir = templ;
    *out = m_dir;
    return true;
}

bool TempArea::clean(Error* err) {
    if (m_dir.empty())
        return true;
    // Depth first and without following links: only what lies inside goes.
    if (nftw(m_dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) != 0 && errno != ENOENT)
        return err->fail(Category::Io, "cannot remove " + m_dir + ": " + strerror(errno));
    m_dir.clear();
    return true;
}

} // namespace jukelink
