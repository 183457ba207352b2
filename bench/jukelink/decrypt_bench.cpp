// Encrypted backups: decrypting one large file through the backup reader
// (AES-256-CBC, zero IV, cut to its recorded size) against `openssl enc -d
// -aes-256-cbc` on the same bytes, in the same run; and the time the real
// key derivation takes (PBKDF2-HMAC-SHA256 with 10,000,000 rounds, then
// PBKDF2-HMAC-SHA1 with 10,000).
//
//   jukelink_decrypt_bench [megabytes (default 200)] [work folder]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <openssl/evp.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "crypto.h"
#include "fsutil.h"
#include "keybag.h"

namespace fs = std::filesystem;

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string hex(const uint8_t* p, size_t n) {
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += {d[p[i] >> 4], d[p[i] & 15]};
    return s;
}

// The file as a phone writes it: PKCS#7 padding, zero IV.
bool writeCipherFile(const std::string& path, const uint8_t* key, size_t bytes) {
    std::mt19937_64 rng(42);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    static const uint8_t iv[16] = {};
    EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key, iv);
    FILE* f = fopen(path.c_str(), "wb");
    std::vector<uint8_t> plain(1 << 20), cipher((1 << 20) + 32);
    bool ok = f != nullptr;
    for (size_t done = 0; ok && done < bytes; done += plain.size()) {
        for (size_t i = 0; i < plain.size(); i += 8) {
            uint64_t v = rng();
            memcpy(&plain[i], &v, 8);
        }
        size_t n = std::min(plain.size(), bytes - done);
        int out = 0;
        ok = EVP_EncryptUpdate(ctx, cipher.data(), &out, plain.data(), static_cast<int>(n)) == 1 &&
             fwrite(cipher.data(), 1, static_cast<size_t>(out), f) == static_cast<size_t>(out);
    }
    int tail = 0;
    ok = ok && EVP_EncryptFinal_ex(ctx, cipher.data(), &tail) == 1 &&
         fwrite(cipher.data(), 1, static_cast<size_t>(tail), f) == static_cast<size_t>(tail);
    EVP_CIPHER_CTX_free(ctx);
    return f != nullptr && fclose(f) == 0 && ok;
}

double ours(const std::string& in, const std::string& out, const jukelink::SecretBytes& key,
            int64_t plainSize) {
    auto t0 = std::chrono::steady_clock::now();
    jukelink::Fd src(open(in.c_str(), O_RDONLY | O_CLOEXEC));
    jukelink::Fd dst(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    jukelink::Error err;
    if (!jukelink::decryptFileFd(src.get(), dst.get(), key, plainSize, in, &err)) {
        fprintf(stderr, "decrypt failed: %s\n", err.text.c_str());
        exit(1);
    }
    return seconds(t0);
}

double opensslEnc(const std::string& in, const std::string& out, const std::string& keyHex) {
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("openssl", "openssl", "enc", "-d", "-aes-256-cbc", "-K", keyHex.c_str(), "-iv",
               "00000000000000000000000000000000", "-in", in.c_str(), "-out", out.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "openssl enc failed\n");
        exit(1);
    }
    return seconds(t0);
}

bool sameFiles(const std::string& a, const std::string& b) {
    FILE* fa = fopen(a.c_str(), "rb");
    FILE* fb = fopen(b.c_str(), "rb");
    std::vector<char> x(1 << 20), y(1 << 20);
    bool same = fa && fb;
    while (same) {
        size_t n = fread(x.data(), 1, x.size(), fa);
        size_t m = fread(y.data(), 1, y.size(), fb);
        same = n == m && memcmp(x.data(), y.data(), n) == 0;
        if (n == 0)
            break;
    }
    if (fa)
        fclose(fa);
    if (fb)
        fclose(fb);
    return same;
}

} // namespace

int main(int argc, char** argv) {
    const size_t mb = argc > 1 ? static_cast<size_t>(atol(argv[1])) : 200;
    const std::string work =
        argc > 2 ? argv[2] : fs::temp_directory_path().string() + "/jukelink-decrypt-bench";
    fs::create_directories(work);
    const size_t bytes = mb << 20;
    uint8_t keyBytes[32];
    for (int i = 0; i < 32; ++i)
        keyBytes[i] = static_cast<uint8_t>(i * 7 + 3);
    const jukelink::SecretBytes key(keyBytes, 32);
    const std::string cipher = work + "/cipher.bin";
    if (!writeCipherFile(cipher, keyBytes, bytes)) {
        fprintf(stderr, "cannot write %s\n", cipher.c_str());
        return 1;
    }
    // Best of three each, alternating, so both meet the same page cache.
    double bestOurs = 1e9, bestOpenssl = 1e9;
    for (int round = 0; round < 3; ++round) {
        bestOurs =
            std::min(bestOurs, ours(cipher, work + "/ours.bin", key, static_cast<int64_t>(bytes)));
        bestOpenssl =
            std::min(bestOpenssl, opensslEnc(cipher, work + "/openssl.bin", hex(keyBytes, 32)));
    }
    const bool same = sameFiles(work + "/ours.bin", work + "/openssl.bin");
    const double mbOurs = static_cast<double>(mb) / bestOurs;
    const double mbOpenssl = static_cast<double>(mb) / bestOpenssl;
    printf("decrypt %zu MB: reader %.3f s (%.0f MB/s), openssl enc -d -aes-256-cbc %.3f s "
           "(%.0f MB/s), throughput ratio reader/openssl %.2f, outputs identical: %s\n",
           mb, bestOurs, mbOurs, bestOpenssl, mbOpenssl, mbOurs / mbOpenssl, same ? "yes" : "NO");

    jukelink::Keybag bag;
    bag.hasDoubleProtection = true;
    bag.dpSalt = std::string(20, 'd');
    bag.dpIterations = 10'000'000;
    bag.salt = std::string(20, 's');
    bag.iterations = 10'000;
    jukelink::SecretBytes derived;
    jukelink::Error err;
    auto t0 = std::chrono::steady_clock::now();
    jukelink::derivePasswordKey("a password", bag, &derived, &err);
    printf("key derivation: PBKDF2-HMAC-SHA256 10,000,000 rounds + PBKDF2-HMAC-SHA1 10,000 "
           "rounds: %.2f s\n",
           seconds(t0));
    fs::remove_all(work);
    return same ? 0 : 1;
}
