#include "test_util.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace dbstest {

TempDir::TempDir() {
    std::string base = std::string(KESTROVA_TEST_BUILD_DIR) + "/dbsifter-tmp";
    ::mkdir(base.c_str(), 0700);
    std::string tmpl = base + "/t-XXXXXX";
    if (::mkdtemp(tmpl.data()))
        path_ = tmpl;
}

namespace {
void removeTree(const std::string& path) {
    if (DIR* d = ::opendir(path.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "/" + name;
            struct stat st;
            if (::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                ::chmod(child.c_str(), 0700);
                removeTree(child);
            } else {
                ::unlink(child.c_str());
            }
        }
        ::closedir(d);
    }
    ::rmdir(path.c_str());
}
} // namespace

TempDir::~TempDir() {
    if (!path_.empty()) {
        ::chmod(path_.c_str(), 0700);
        removeTree(path_);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::map<std::string, FileState> snapshot(const std::string& dir) {
    std::map<std::string, FileState> files;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st;
            std::string path = dir + "/" + name;
            if (::stat(path.c_str(), &st) != 0)
                continue;
            files[name] = {readFile(path),
                           (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
        }
        ::closedir(d);
    }
    return files;
}

} // namespace dbstest
