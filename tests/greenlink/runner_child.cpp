// Stand-in tool for the runner tests, linked into a test's tool folder as
// "adb" and "getusb".
//
// Every start appends one record to $KESTROVA_RUNNER_CHILD_OUT:
// "<pid> <count>\n", then each argv element as "<length>\n<bytes>\n", so the
// test sees exactly what arrived and which process it was. argv[1] picks a behaviour:
//   exit N        end with status N
//   forever       never end
//   flood N       write N bytes of a known pattern to stdout
//   signal N      kill itself with signal N
//   env NAME...   record the values of the named variables instead of argv
//   cwd           record the working directory instead of argv
//   fds           record the open descriptors above 2 instead of argv
// anything else: just record. $KESTROVA_RUNNER_CHILD_HANG makes every start
// record and then never end.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void record(const std::vector<std::string>& items) {
    const char* out = std::getenv("KESTROVA_RUNNER_CHILD_OUT");
    if (!out)
        return;
    std::string text = std::to_string(getpid()) + " " + std::to_string(items.size()) + "\n";
    for (const std::string& item : items)
        text += std::to_string(item.size()) + "\n" + item + "\n";
    FILE* file = std::fopen(out, "ab");
    if (!file)
        return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

[[noreturn]] void forever() {
    for (;;)
        pause();
}

void flood(long long count) {
    std::vector<char> block(65536);
    long long written = 0;
    while (written < count) {
        const size_t n = static_cast<size_t>(std::min<long long>(count - written, block.size()));
        for (size_t i = 0; i < n; ++i)
            block[i] = static_cast<char>('a' + (written + static_cast<long long>(i)) % 26);
        if (std::fwrite(block.data(), 1, n, stdout) != n)
            std::exit(3);
        written += static_cast<long long>(n);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "env") {
        std::vector<std::string> values;
        for (int i = 2; i < argc; ++i) {
            const char* value = std::getenv(argv[i]);
            values.push_back(value ? value : "<unset>");
        }
        record(values);
        return 0;
    }
    if (mode == "cwd") {
        char cwd[4096];
        record({getcwd(cwd, sizeof cwd) ? cwd : "<unknown>"});
        return 0;
    }
    if (mode == "fds") {
        std::vector<std::string> open;
        for (int fd = 3; fd < 1024; ++fd)
            if (fcntl(fd, F_GETFD) != -1)
                open.push_back(std::to_string(fd));
        record(open);
        return 0;
    }
    record(std::vector<std::string>(argv, argv + argc));
    if (std::getenv("KESTROVA_RUNNER_CHILD_HANG") || mode == "forever")
        forever();
    if (mode == "exit" && argc > 2)
        return std::atoi(argv[2]);
    if (mode == "flood" && argc > 2)
        flood(std::atoll(argv[2]));
    if (mode == "signal" && argc > 2)
        raise(std::atoi(argv[2]));
    return 0;
}
