// lab_adb_bench [--mb 50] [--exchanges 20000]
//
// Starts a lab with one Android 10 phone whose agent ports run the
// request/reply stand-in, then measures with the real adb:
//  - adb push and adb pull of one file (best of three, MB/s),
//  - 4-byte request / 10,240-byte reply exchanges through adb forward,
//    with a client that re-arms TCP_QUICKACK after every receive and with
//    one that does not (delayed ACKs then cost whole milliseconds whenever
//    a reply arrives in pieces).
// Ratios against the phone-free baseline (cp of the same file, a loopback
// echo server with the same exchange) are printed beside each figure.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "common/files.h"
#include "common/net.h"
#include "common/proc.h"
#include "controller/lab_config.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

struct Lab {
    std::string dir;
    lab::EnvOverrides env;
    std::string serial;
    lab::ProcResult adb(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"/usr/bin/adb", "-s", serial};
        argv.insert(argv.end(), args.begin(), args.end());
        return lab::runProcess(argv, env, 600);
    }
};

// adb prints its own rate ("... 812.3 MB/s (52428800 bytes in 0.064s)"),
// which leaves out its start-up; the best of the runs is kept.
double g_adbReported = 0;

void noteAdbRate(const std::string& text) {
    size_t at = text.find(" MB/s (");
    if (at == std::string::npos || at == 0)
        return;
    size_t start = text.rfind(' ', at - 1);
    start = start == std::string::npos ? 0 : start + 1;
    g_adbReported = std::max(g_adbReported, std::atof(text.c_str() + start));
}

double bestOf3(const std::function<bool()>& run) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto t0 = Clock::now();
        if (!run())
            return -1;
        best = std::min(best, seconds(t0));
    }
    return best;
}

bool recvExact(int fd, char* buf, size_t n, bool quickAck) {
    while (n > 0) {
        if (quickAck) {
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
        }
        ssize_t got = recv(fd, buf, n, 0);
        if (got <= 0)
            return false;
        buf += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

// Exchanges per second on a connected socket speaking the stand-in's protocol.
double exchanges(int port, int count, bool quickAck) {
    int fd = lab::connectLoopback(static_cast<uint16_t>(port));
    if (fd < 0)
        return -1;
    lab::setNoDelay(fd);
    const uint32_t replySize = 10240;
    char req[4] = {static_cast<char>(replySize & 0xFF), static_cast<char>(replySize >> 8), 0, 0};
    std::string reply(replySize, '\0');
    for (int i = 0; i < 50; ++i) // warm-up
        if (!lab::writeAll(fd, req, 4) || !recvExact(fd, reply.data(), replySize, quickAck))
            return close(fd), -1;
    auto t0 = Clock::now();
    for (int i = 0; i < count; ++i)
        if (!lab::writeAll(fd, req, 4) || !recvExact(fd, reply.data(), replySize, quickAck))
            return close(fd), -1;
    double rate = count / seconds(t0);
    close(fd);
    return rate;
}

// The baseline: the same exchange against a plain loopback server.
int startBaselineServer(std::thread& t) {
    uint16_t port = 0;
    int lfd = lab::listenLoopback(0, &port);
    t = std::thread([lfd] {
        int fd = accept(lfd, nullptr, nullptr);
        lab::setNoDelay(fd);
        unsigned char req[4];
        std::string reply;
        while (lab::readExact(fd, req, 4)) {
            reply.assign(req[0] | req[1] << 8 | req[2] << 16, 'Z');
            if (!lab::writeAll(fd, reply))
                break;
        }
        close(fd);
        close(lfd);
    });
    return port;
}

} // namespace

int main(int argc, char** argv) {
    lab::ignoreSigpipe();
    int mb = 50, count = 20000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--mb")
            mb = std::atoi(argv[i + 1]);
        else if (std::string(argv[i]) == "--exchanges")
            count = std::atoi(argv[i + 1]);
    }
    char tmpl[] = "/tmp/kestrova-lab-bench-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    Lab lab;
    lab.dir = tmpl;
    std::string ctl = std::string(KESTROVA_BIN_DIR) + "/kestrova-lab";
    auto up = lab::runProcess({ctl, "up", "--dir", lab.dir + "/lab", "--android", "1", "--scenario",
                               "modern", "--agent-stub", "rr"},
                              {}, 120);
    if (up.exitCode != 0) {
        std::fprintf(stderr, "lab did not start: %s\n", up.err.c_str());
        return 1;
    }
    auto env = lab::parseExportLines(up.out);
    lab.env.assign(env.begin(), env.end());
    lab.serial = env["KESTROVA_LAB_SERIAL_0"];

    std::string src = lab.dir + "/src.bin";
    {
        std::mt19937_64 rng(1);
        std::string data(static_cast<size_t>(mb) * 1000 * 1000, '\0');
        for (size_t i = 0; i + 8 <= data.size(); i += 8) {
            uint64_t v = rng();
            std::memcpy(&data[i], &v, 8);
        }
        lab::writeFileAtomic(src, data);
    }
    double cp = bestOf3([&] {
        return fs::copy_file(src, lab.dir + "/cp.bin", fs::copy_options::overwrite_existing);
    });
    auto timed = [&](const std::vector<std::string>& args) {
        auto r = lab.adb(args);
        noteAdbRate(r.out + r.err);
        return r.exitCode == 0;
    };
    double push = bestOf3([&] { return timed({"push", src, "/sdcard/bench.bin"}); });
    double pushReported = g_adbReported;
    g_adbReported = 0;
    double pull = bestOf3([&] {
        return timed({"pull", "/sdcard/bench.bin", lab.dir + "/back.bin"});
    });
    std::printf("file of %d MB: cp %.0f MB/s; adb push %.0f MB/s (adb's own figure %.0f), "
                "adb pull %.0f MB/s (adb's own figure %.0f); push/cp %.2f, pull/cp %.2f\n",
                mb, mb / cp, mb / push, pushReported, mb / pull, g_adbReported, cp / push,
                cp / pull);

    auto fwd = lab.adb({"forward", "tcp:0", "tcp:15531"});
    lab.adb({"install", env["KESTROVA_TOOL_DIR"] + "/kestrova1.apk"});
    lab.adb({"shell", "am", "start", "-n", "com.quellfin.kestrova/.S"});
    int port = std::atoi(fwd.out.c_str());
    double quick = exchanges(port, count, true);
    double plain = exchanges(port, std::max(200, count / 50), false);
    std::thread server;
    double base = exchanges(startBaselineServer(server), count, true);
    server.join();
    std::printf("adb forward, 4 B request / 10,240 B reply: %.0f exchanges/s re-arming "
                "TCP_QUICKACK, %.0f/s without; loopback baseline %.0f/s (forward/baseline %.2f)\n",
                quick, plain, base, quick / base);

    lab::runProcess({ctl, "down", "--dir", lab.dir + "/lab"}, {}, 60);
    fs::remove_all(lab.dir);
    return push > 0 && pull > 0 && quick > 0 ? 0 : 1;
}
