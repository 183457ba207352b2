#include "lab_fixture.h"

#include "trace.h"

#include <archive.h>
#include <archive_entry.h>
#include <cstdlib>
#include <filesystem>
#include <fruitlink.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fltest {

std::string makeTempDir(const std::string& tag) {
    std::string tmpl = std::string(KESTROVA_TEST_BUILD_DIR) + "/fl-" + tag + "-XXXXXX";
    std::filesystem::create_directories(KESTROVA_TEST_BUILD_DIR);
    char* made = ::mkdtemp(tmpl.data());
    return made ? std::string(made) : std::string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& data) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

std::string makeArchive(const std::vector<ArchiveEntry>& entries, bool cpio) {
    std::string out;
    archive* a = archive_write_new();
    if (cpio)
        archive_write_set_format_cpio_odc(a);
    else
        archive_write_set_format_pax_restricted(a);
    archive_write_add_filter_gzip(a);
    archive_write_set_bytes_in_last_block(a, 1);
    auto append = [](archive*, void* client, const void* buf, size_t n) -> la_ssize_t {
        static_cast<std::string*>(client)->append(static_cast<const char*>(buf), n);
        return static_cast<la_ssize_t>(n);
    };
    archive_write_open(a, &out, nullptr, append, nullptr);
    for (const auto& e : entries) {
        archive_entry* en = archive_entry_new();
        archive_entry_set_pathname(en, e.name.c_str());
        archive_entry_set_perm(en, static_cast<mode_t>(e.mode));
        archive_entry_set_size(en, 0); // cpio wants a size on every entry
        switch (e.type) {
        case ArchiveEntry::File:
            archive_entry_set_filetype(en, AE_IFREG);
            archive_entry_set_size(en, static_cast<la_int64_t>(e.data.size()));
            break;
        case ArchiveEntry::Dir:
            archive_entry_set_filetype(en, AE_IFDIR);
            break;
        case ArchiveEntry::Symlink:
            archive_entry_set_filetype(en, AE_IFLNK);
            archive_entry_set_symlink(en, e.target.c_str());
            break;
        case ArchiveEntry::Hardlink:
            archive_entry_set_filetype(en, AE_IFREG);
            archive_entry_set_hardlink(en, e.target.c_str());
            break;
        }
        archive_write_header(a, en);
        if (e.type == ArchiveEntry::File && !e.data.empty())
            archive_write_data(a, e.data.data(), e.data.size());
        archive_entry_free(en);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

void IphoneLabTest::SetUp() {
    dir_ = makeTempDir("lab");
    ASSERT_FALSE(dir_.empty());
    // UNIX socket paths are short; fall back to /tmp for a deep build folder.
    std::string sock = dir_ + "/mux.sock";
    if (sock.size() > 100) {
        char tmpl[] = "/tmp/kfl-XXXXXX";
        sock = std::string(::mkdtemp(tmpl)) + "/mux.sock";
    }
    lab_ = std::make_unique<viphone::Lab>("UNIX:" + sock);
    std::string error;
    ASSERT_TRUE(lab_->start(&error)) << error;
    ::setenv("USBMUXD_SOCKET_ADDRESS", lab_->muxAddress().c_str(), 1);
    fruitlink::setLogPathForTesting(dir_ + "/tavrelin.log");
    IphoneTSF_Init();
}

void IphoneLabTest::TearDown() {
    if (lab_)
        lab_->stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string IphoneLabTest::udid(int n) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "00008030-0000AB000000%04d", n);
    return buf;
}

viphone::PhoneConfig IphoneLabTest::phoneConfig(int n, viphone::PairMode pair) {
    std::string root = dir_ + "/phone" + std::to_string(n);
    std::filesystem::create_directories(root);
    auto cfg = viphone::PhoneConfig::standard(udid(n), root);
    cfg.values["DeviceName"] = "Phone " + std::to_string(n);
    cfg.pair = pair;
    return cfg;
}

int IphoneLabTest::addAndWait(const viphone::PhoneConfig& cfg) {
    int before = IphoneTSF_ConnectDeviceCount();
    int index = lab_->addPhone(cfg);
    EXPECT_TRUE(eventually([&] { return IphoneTSF_ConnectDeviceCount() == before + 1; }));
    return index;
}

std::string IphoneLabTest::lastError() const {
    char buf[1024];
    IphoneTSF_GetLastError(buf, sizeof buf);
    return buf;
}

} // namespace fltest
