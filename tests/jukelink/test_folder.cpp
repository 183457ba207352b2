#include "test_folder.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace jukelink_test {

TempFolder::TempFolder() {
    std::string base = std::string(KESTROVA_TEST_BUILD_DIR) + "/jukelink-tmp";
    fs::create_directories(base);
    std::string templ = base + "/t-XXXXXX";
    char* made = mkdtemp(templ.data());
    if (made == nullptr)
        abort();
    m_path = made;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // A test may have made parts read-only.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            chmod(it->path().c_str(), 0700);
    }
    chmod(m_path.c_str(), 0700);
    fs::remove_all(m_path, ec);
}

std::string TempFolder::sub(const std::string& name) const {
    std::string p = m_path + "/" + name;
    fs::create_directories(p);
    return p;
}

std::map<std::string, FileState> snapshot(const std::string& root) {
    std::map<std::string, FileState> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st;
        if (lstat(e.path().c_str(), &st) != 0)
            continue;
        FileState s;
        s.size = static_cast<uint64_t>(st.st_size);
        s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (S_ISREG(st.st_mode)) {
            std::string bytes = readFile(e.path());
            uint64_t h = 1469598103934665603ull;
            for (unsigned char c : bytes)
                h = (h ^ c) * 1099511628211ull;
            s.hash = h;
        }
        out[fs::relative(e.path(), root).string()] = s;
    }
    return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), {});
}

} // namespace jukelink_test
