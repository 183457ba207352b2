// Reading a 50 MB file from the virtual iPhone: IphoneTSF_Read in
// 10,240-byte calls against a plain afc_file_read loop with 1 MiB reads, in
// the same run, alternating. Also the cost of the device-count poll.
#include "afc_access.h"
#include "mobile_device_access.h"
#include "phone_content.h"
#include "virtual_iphone.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fruitlink.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kSize = 50ull << 20;
const char* const kPath = "/DCIM/102APPLE/IMG_0200.MOV";

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

double g_openSeconds = 0;

double viaExportedRead() {
    auto t0 = Clock::now();
    if (IphoneTSF_Open(kPath, 0) != 1000)
        return -1;
    g_openSeconds += seconds(t0, Clock::now());
    std::vector<char> buf(10240);
    uint64_t total = 0;
    int n;
    while ((n = IphoneTSF_Read(1000, buf.data(), 10240, 0)) > 0)
        total += static_cast<uint64_t>(n);
    IphoneTSF_Close(1000, 0);
    auto t1 = Clock::now();
    return total == kSize ? kSize / seconds(t0, t1) / 1e6 : -1;
}

double viaPlainAfc(fruitlink::AFCMediaDirectory& afc) {
    auto t0 = Clock::now();
    uint64_t h = 0;
    if (afc_file_open(afc.handle(), kPath, AFC_FOPEN_RDONLY, &h) != AFC_E_SUCCESS)
        return -1;
    std::vector<char> buf(1u << 20);
    uint64_t total = 0;
    uint32_t n = 0;
    while (afc_file_read(afc.handle(), h, buf.data(), 1u << 20, &n) == AFC_E_SUCCESS && n > 0)
        total += n;
    afc_file_close(afc.handle(), h);
    auto t1 = Clock::now();
    return total == kSize ? kSize / seconds(t0, t1) / 1e6 : -1;
}

} // namespace

int main() {
    char tmpl[] = "/tmp/fruitlink-bench-XXXXXX";
    std::string dir = ::mkdtemp(tmpl);
    std::string root = dir + "/phone";
    viphone::ContentOptions opt;
    opt.largeFileBytes = kSize;
    std::vector<viphone::ContentFile> files;
    std::string error;
    if (!viphone::writeMediaTree(root, opt, &files, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    viphone::Lab lab("UNIX:" + dir + "/mux.sock");
    if (!lab.start(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    ::setenv("USBMUXD_SOCKET_ADDRESS", lab.muxAddress().c_str(), 1);
    IphoneTSF_Init();
    lab.addPhone(viphone::PhoneConfig::standard("00008030-00000000BENCH001", root));
    for (int i = 0; i < 3000 && IphoneTSF_ConnectDeviceCount() == 0; ++i)
        ::usleep(20000);
    auto devs = fruitlink::MobileDeviceAccess::singleton().devices();
    if (devs.empty()) {
        std::fprintf(stderr, "the virtual iPhone did not attach\n");
        return 1;
    }
    auto afc = fruitlink::AFCMediaDirectory::create(devs[0]);

    std::vector<double> ours, plain;
    for (int round = 0; round < 6; ++round) {
        // Alternate which goes first, so neither always runs on a warm cache.
        if (round % 2) {
            ours.push_back(viaExportedRead());
            plain.push_back(viaPlainAfc(*afc));
        } else {
            plain.push_back(viaPlainAfc(*afc));
            ours.push_back(viaExportedRead());
        }
    }
    std::sort(ours.begin(), ours.end());
    std::sort(plain.begin(), plain.end());
    double o = ours[ours.size() / 2], p = plain[plain.size() / 2];
    std::printf("50 MB file, median of 6 alternating rounds\n");
    std::printf("  IphoneTSF_Read, 10240-byte calls: %8.1f MB/s\n", o);
    std::printf("  afc_file_read, 1 MiB reads:       %8.1f MB/s\n", p);
    std::printf("  ratio: %.2f (target >= 0.80)\n", o / p);
    std::printf("  IphoneTSF_Open (AFC connection, session, service start): %.1f ms each\n",
                g_openSeconds / 6 * 1e3);

    const int polls = 1000000;
    auto t0 = Clock::now();
    long sum = 0;
    for (int i = 0; i < polls; ++i)
        sum += IphoneTSF_ConnectDeviceCount();
    auto t1 = Clock::now();
    std::printf("IphoneTSF_ConnectDeviceCount: %.0f ns per call (%ld)\n",
                seconds(t0, t1) / polls * 1e9, sum / polls);
    afc.reset();
    lab.stop();
    std::filesystem::remove_all(dir);
    return 0;
}
