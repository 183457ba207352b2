// A full backup of ~200 MB of camera roll from the virtual iPhone through
// its backup service (IphoneTSF_TakeBackup into a fresh folder each round)
// against reading the same files with a plain afc_file_read loop, in the
// same run, alternating. The second figure is a second backup with nothing
// changed (incremental).
#include "afc_access.h"
#include "mobile_device_access.h"
#include "virtual_iphone.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fruitlink.h>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
constexpr int kFiles = 50;
constexpr uint64_t kFileBytes = 4ull << 20; // 50 x 4 MiB = 200 MiB

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::string photoPath(int i) {
    char name[64];
    std::snprintf(name, sizeof name, "DCIM/100APPLE/IMG_%04d.HEIC", i);
    return name;
}

// What the rounds before wrote goes to the disk first, so that no round pays
// for another's write-back (or is held back by the kernel's limit on unwritten
// data).
void settle(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

// Each round backs up into a folder of its own, and the previous round's
// files are cut to nothing rather than deleted: a folder deleted just before
// would have the file system skip its just-freed inodes for every file and
// folder the backup creates (ext4 does not reuse an inode deleted moments
// ago), a cost of the benchmark's clean-up, not of the backup; and keeping
// the bytes would have each round write into memory never used before, which
// a virtual machine hands out slowly.
void emptyFiles(const std::string& root) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec))
            fs::resize_file(it->path(), 0, ec);
}

double backupRound(const std::string& root, const std::string& previous, int64_t* bytes) {
    if (!previous.empty())
        emptyFiles(previous);
    settle(fs::path(root).parent_path());
    IphoneTSF_SetBackupRoot(root.c_str());
    auto t0 = Clock::now();
    if (IphoneTSF_TakeBackup(0) != 0)
        return -1;
    *bytes = IphoneTSF_GetBackupBytesReceived();
    return double(*bytes) / seconds(t0, Clock::now()) / 1e6;
}

// Every file read whole; with a folder, also written there (as a copy to
// this computer's disk must, and as the backup does).
double afcRound(fruitlink::AFCMediaDirectory& afc, const std::string& dir,
                const std::string& out = {}) {
    settle(dir);
    auto t0 = Clock::now();
    std::vector<char> buf(1u << 20);
    uint64_t total = 0;
    for (int i = 0; i < kFiles; ++i) {
        uint64_t h = 0;
        if (afc_file_open(afc.handle(), ("/" + photoPath(i)).c_str(), AFC_FOPEN_RDONLY, &h) !=
            AFC_E_SUCCESS)
            return -1;
        std::ofstream file;
        if (!out.empty())
            file.open(out + "/" + std::to_string(i), std::ios::binary | std::ios::trunc);
        uint32_t n = 0;
        while (afc_file_read(afc.handle(), h, buf.data(), 1u << 20, &n) == AFC_E_SUCCESS && n > 0) {
            total += n;
            if (file)
                file.write(buf.data(), n);
        }
        afc_file_close(afc.handle(), h);
    }
    return double(total) / seconds(t0, Clock::now()) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Waits for the phone of this UDID to be the library's first device.
std::shared_ptr<fruitlink::AMDevice> waitFor(const std::string& udid) {
    for (int i = 0; i < 3000; ++i) {
        auto devs = fruitlink::MobileDeviceAccess::singleton().devices();
        if (devs.size() == 1 && devs[0]->udid() == udid)
            return devs[0];
        ::usleep(20000);
    }
    return nullptr;
}

} // namespace

int main() {
    char tmpl[] = "/tmp/fruitlink-bench-backup-XXXXXX";
    std::string dir = ::mkdtemp(tmpl);
    std::string phone = dir + "/phone";
    fs::create_directories(phone + "/DCIM/100APPLE");
    fs::create_directories(phone + "/var/mobile/Library/SMS");
    std::vector<char> block(kFileBytes);
    for (int i = 0; i < kFiles; ++i) {
        for (size_t j = 0; j < block.size(); ++j)
            block[j] = static_cast<char>((j * 131 + i * 7) >> 3);
        std::ofstream(phone + "/" + photoPath(i), std::ios::binary)
            .write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    std::string error;
    viphone::Lab lab("UNIX:" + dir + "/mux.sock");
    if (!lab.start(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    ::setenv("USBMUXD_SOCKET_ADDRESS", lab.muxAddress().c_str(), 1);
    IphoneTSF_Init();
    const std::string fastId = "00008030-00000000BENCH002";
    const int fast = lab.addPhone(viphone::PhoneConfig::standard(fastId, phone, "17.2"));
    auto dev = waitFor(fastId);
    if (!dev) {
        std::fprintf(stderr, "the virtual iPhone did not attach\n");
        return 1;
    }
    auto afc = fruitlink::AFCMediaDirectory::create(dev);
    std::vector<double> backup, plain, written;
    int64_t bytes = 0;
    int round = 0;
    // The copies, like the backups, go into a fresh folder each round: files
    // cut short and written again would have ext4 write them out at close.
    int copyRound = 0;
    auto copyInto = [&] {
        const std::string into = dir + "/copies-" + std::to_string(copyRound);
        if (copyRound)
            emptyFiles(dir + "/copies-" + std::to_string(copyRound - 1));
        ++copyRound;
        fs::create_directories(into);
        return afcRound(*afc, dir, into);
    };
    auto backupInto = [&](int64_t* got) {
        const std::string into = dir + "/backups-" + std::to_string(round);
        const std::string before = round ? dir + "/backups-" + std::to_string(round - 1) : "";
        ++round;
        return backupRound(into, before, got);
    };
    for (int i = 0; i < 4; ++i) {
        if (i % 2) {
            backup.push_back(backupInto(&bytes));
            plain.push_back(afcRound(*afc, dir));
            written.push_back(copyInto());
        } else {
            written.push_back(copyInto());
            plain.push_back(afcRound(*afc, dir));
            backup.push_back(backupInto(&bytes));
        }
    }
    const double b = median(backup), p = median(plain), w = median(written);
    std::printf("%d files, %.0f MB, median of 4 alternating rounds\n", kFiles,
                kFiles * kFileBytes / 1e6);
    std::printf("Cable as fast as memory:\n");
    std::printf("  full backup (mobilebackup2):  %8.1f MB/s (%lld bytes)\n", b,
                static_cast<long long>(bytes));
    std::printf("  afc_file_read, 1 MiB reads:   %8.1f MB/s\n", p);
    std::printf("  the same, written to disk:    %8.1f MB/s\n", w);
    std::printf("  ratio to the plain read loop: %.2f (target >= 0.80)\n", b / p);
    std::printf("  ratio to read and write:      %.2f\n", b / w);
    auto t0 = Clock::now();
    const int again = IphoneTSF_TakeBackup(0);
    std::printf("  second backup, nothing changed: %s, %.2f s, %lld bytes\n",
                again == 0 ? "finished" : "failed", seconds(t0, Clock::now()),
                static_cast<long long>(IphoneTSF_GetBackupBytesReceived()));
    afc.reset();
    dev.reset();

    // The same phone on a cable of USB 2's speed, as on a desk: here the
    // link, not memory, bounds both, and the figure is the protocol's cost.
    constexpr uint64_t kLink = 40'000'000;
    lab.detach(fast);
    const std::string slowId = "00008030-00000000BENCH003";
    auto slowConfig = viphone::PhoneConfig::standard(slowId, phone, "17.2");
    slowConfig.linkBytesPerSecond = kLink;
    lab.addPhone(slowConfig);
    dev = waitFor(slowId);
    if (!dev) {
        std::fprintf(stderr, "the second virtual iPhone did not attach\n");
        return 1;
    }
    afc = fruitlink::AFCMediaDirectory::create(dev);
    backup.clear();
    plain.clear();
    for (int i = 0; i < 2; ++i) {
        if (i % 2) {
            backup.push_back(backupInto(&bytes));
            plain.push_back(afcRound(*afc, dir));
        } else {
            plain.push_back(afcRound(*afc, dir));
            backup.push_back(backupInto(&bytes));
        }
    }
    // The slower backup against the faster read loop: the harder comparison.
    const double sb = std::min(backup[0], backup[1]), sp = std::max(plain[0], plain[1]);
    std::printf("Cable of %.0f MB/s (USB 2), the slower backup against the faster read loop "
                "of 2 alternating rounds:\n",
                kLink / 1e6);
    std::printf("  full backup (mobilebackup2):  %8.1f MB/s\n", sb);
    std::printf("  afc_file_read, 1 MiB reads:   %8.1f MB/s\n", sp);
    std::printf("  ratio to the plain read loop: %.2f (target >= 0.80)\n", sb / sp);
    afc.reset();
    dev.reset();
    lab.stop();
    fs::remove_all(dir);
    return 0;
}
