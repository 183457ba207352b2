// Speed of the Android library against virtual phones, each figure beside a
// baseline measured in the same run:
//   - photo path (export to a scratch file, then add) vs adb pull + adb push
//   - phone-to-phone video copy vs adb pull + adb push of the same file
//   - messages and contacts written per second
//   - small agent exchanges per second (the delayed-ACK stall shows here)
//   - the agent's door: a new connection, which opens with the token and the
//     greeting, against the greeting on the open connection
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "android_lab.h"
#include "channel.h"
#include "greenlink.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937_64 gen(seed);
    std::string out(n, '\0');
    for (size_t i = 0; i + 8 <= n; i += 8) {
        uint64_t v = gen();
        std::memcpy(&out[i], &v, 8);
    }
    return out;
}

// adb pull from the source phone, adb push to the destination: the baseline.
double plainPullPush(AndroidLab& lab, const std::string& phonePath, const std::string& scratch,
                     const std::string& target) {
    auto t0 = Clock::now();
    lab.adb({"-s", lab.serialAt(0), "pull", phonePath, scratch});
    lab.adb({"-s", lab.serialAt(1), "push", scratch, target});
    double t = seconds(t0);
    std::remove(scratch.c_str());
    return t;
}

int findByName(int count, const std::string& name, bool video, long long* size) {
    for (int i = 0; i < count; ++i) {
        if (video) {
            ItemVideoInfo v{};
            if (AndroidTSF_GetVideoInfo(&v, i, 0) == 0 && name == v.displayName) {
                *size = v.size;
                return v.id;
            }
        } else {
            ItemPhotoInfo p{};
            if (AndroidTSF_GetPhotoInfo(&p, i, 0) == 0 &&
                std::string(p.path).find(name) != std::string::npos) {
                *size = p.size;
                return p.id;
            }
        }
    }
    return -1;
}

void benchFiles(AndroidLab& lab) {
    std::string src = lab.sdcard(lab.phoneAt(0));
    mkdir((src + "/DCIM").c_str(), 0755);
    mkdir((src + "/Movies").c_str(), 0755);
    writeFile(src + "/DCIM/photo.jpg", randomBytes(4 << 20, 1));
    writeFile(src + "/Movies/movie.mp4", randomBytes(64 << 20, 2));
    std::string scratch = lab.scratch("bench") + "/123";

    AndroidTSF_FlushDevicesPhotos(0);
    long long size = 0;
    int id = findByName(AndroidTSF_GetPhotoCount(0), "photo.jpg", false, &size);
    const int rounds = 5;
    double base = 0, ours = 0;
    for (int r = 0; r < rounds; ++r) {
        base += plainPullPush(lab, "/sdcard/DCIM/photo.jpg", scratch,
                              "/sdcard/Pictures/base" + std::to_string(r) + ".jpg");
        auto t0 = Clock::now();
        AndroidTSF_ExportPhotofromDevice(id, scratch.data(), size, 0);
        char name[] = "photo.jpg";
        AndroidTSF_addPhoto(scratch.data(), name, 1);
        ours += seconds(t0);
        std::remove(scratch.c_str());
    }
    std::printf(
        "photo 4 MiB x%d: adb pull+push %.3f s, export+add %.3f s, ratio %.2f (target <= 1.5)\n",
        rounds, base, ours, ours / base);

    AndroidTSF_FlushDevicesVideo(0);
    id = findByName(AndroidTSF_GetVideoCount(0), "movie.mp4", true, &size);
    base = plainPullPush(lab, "/sdcard/Movies/movie.mp4", scratch, "/sdcard/Pictures/base.mp4");
    auto t0 = Clock::now();
    char name[] = "movie.mp4";
    int rc = AndroidTSF_TransferVideofromDevice(id, name, size, 0, 1);
    double t = seconds(t0);
    double mb = static_cast<double>(size) / (1 << 20);
    // Each direction of the agent channel alone, to see which side limits.
    t0 = Clock::now();
    AndroidTSF_ExportVideofromDevice2(id, scratch.data(), size, 0);
    double readTime = seconds(t0);
    t0 = Clock::now();
    char streamed[] = "streamed.mp4";
    AndroidTSF_AddVideoToDevice2(scratch.data(), streamed, 1);
    double writeTime = seconds(t0);
    std::remove(scratch.c_str());
    std::printf("agent channel alone: read %.1f MiB/s, write %.1f MiB/s\n", mb / readTime,
                mb / writeTime);
    std::printf("video 64 MiB: adb pull+push %.1f MiB/s, phone to phone %.1f MiB/s (rc %d), "
                "ratio %.2f (target >= 0.8)\n",
                mb / base, mb / t, rc, base / t);
}

void benchRecords(AndroidLab& lab) {
    const int messages = 2000, contacts = 300, exchanges = 3000;
    int older = AndroidTSF_CheckAndroidVersionAt44(0) ? 1 : 0;
    auto t0 = Clock::now();
    for (int i = 0; i < messages; ++i) {
        std::string address = "+4930" + std::to_string(1000000 + i),
                    body = "Benchmark message number " + std::to_string(i) +
                           ", long enough to look like a real one.",
                    date = std::to_string(1700000000000LL + i), type = "1", read = "1";
        SMessage m{};
        m.address = address.data();
        m.body = body.data();
        m.date = date.data();
        m.type = type.data();
        m.read = read.data();
        AndroidTSF_SendSMS(&m, older);
    }
    double t = seconds(t0);
    const double messageSeconds = t;
    std::printf("messages: %d in %.2f s = %.0f/s (target >= 500/s)\n", messages, t, messages / t);

    t0 = Clock::now();
    for (int i = 0; i < contacts; ++i) {
        std::string v[21];
        ABPerson p{};
        char** f = &p.contactId;
        for (int k : {1, 4, 5, 6, 8, 9, 11, 12, 13, 16, 20}) {
            v[k] = "field " + std::to_string(k) + " of " + std::to_string(i);
            f[k] = v[k].data();
        }
        AndroidTSF_AddPerson2(&p, older);
    }
    t = seconds(t0);
    std::printf("contacts (11 fields each, AddPerson2): %d in %.2f s = %.0f/s (target >= 100/s)\n",
                contacts, t, contacts / t);

    t0 = Clock::now();
    for (int i = 0; i < exchanges; ++i)
        AndroidTSF_FlushSMS_Count(older);
    t = seconds(t0);
    std::printf("small exchanges: %.0f/s\n", exchanges / t);
    t0 = Clock::now();
    for (int start = 0; start < 1000; start += 5)
        AndroidTSF_FlushSMS(older, start);
    t = seconds(t0);
    std::printf("message pages of five: %.0f pages/s\n", 200 / t);

    // The door: the 64-byte token rides in the greeting's own write, so a new
    // connection adds no round trip. A job opens one connection per phone
    // (more only after a broken one) and then runs for seconds to hours.
    const int greetings = 100;
    t0 = Clock::now();
    for (int i = 0; i < greetings; ++i) {
        greenlink::channelFor(older)->TCPConnectUnInit(); // the connection goes, the forward stays
        AndroidTSF_CheckDevicesIsConnect(older);
    }
    double fresh = seconds(t0) / greetings;
    t0 = Clock::now();
    for (int i = 0; i < greetings; ++i)
        AndroidTSF_CheckDevicesIsConnect(older);
    double open = seconds(t0) / greetings;
    std::printf("greeting through adb forward: new connection with the token %.2f ms, on the "
                "open connection %.2f ms; per job (one connection a phone) %.2f ms against "
                "%.2f s for writing these %d messages alone\n",
                fresh * 1000, open * 1000, fresh * 1000, messageSeconds, messages);
}

} // namespace

// Arguments: "records" or "files" to run one half only.
int main(int argc, char** argv) {
    std::string only = argc > 1 ? argv[1] : "";
    AndroidLab lab(2, {"--scenario", "legacy"});
    if (!lab.ok()) {
        std::fprintf(stderr, "lab: %s\n", lab.error().c_str());
        return 1;
    }
    if (!lab.prepare(2)) {
        std::fprintf(stderr, "the phones could not be prepared\n");
        return 1;
    }
    if (only != "files")
        benchRecords(lab);
    if (only != "records")
        benchFiles(lab);
    return 0;
}
