// Starts the built program on a private X server and waits until its window
// shows on that server's screen, read back from the server's frame buffer.
#include <QImage>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char kXvfb[] = "/usr/bin/Xvfb";

pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
            posix_spawn_file_actions_t* actions = nullptr) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string key = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& x : extraEnv)
            replaced = replaced || x.rfind(key, 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0].c_str(), actions, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

// Stops and reaps the child when the test leaves, whichever way it leaves.
struct Child {
    pid_t pid = -1;
    ~Child() {
        if (pid <= 0)
            return;
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
};

// A port nobody listens on now, for the program's adb server.
int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

// Stops an adb server the program may have started on its private port.
struct AdbServer {
    int port;
    ~AdbServer() {
        Child adb;
        adb.pid = spawn({"/usr/bin/adb", "-P", std::to_string(port), "kill-server"}, {});
        int status = 0;
        if (adb.pid > 0 && waitpid(adb.pid, &status, 0) == adb.pid)
            adb.pid = -1;
    }
};

// The screen of an Xvfb frame-buffer file (XWD, 32 bits per pixel).
std::optional<QImage> readScreen(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), {});
    if (d.size() < 100)
        return std::nullopt;
    auto field = [&d](int i) {
        return uint32_t(d[4 * i]) << 24 | uint32_t(d[4 * i + 1]) << 16 |
               uint32_t(d[4 * i + 2]) << 8 | d[4 * i + 3];
    };
    const uint32_t headerSize = field(0), width = field(4), height = field(5);
    const uint32_t bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
    const size_t offset = size_t(headerSize) + size_t(colours) * 12;
    if (bitsPerPixel != 32 || width > 8192 || height > 8192 ||
        d.size() < offset + size_t(bytesPerLine) * height)
        return std::nullopt;
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(image.scanLine(int(y)), d.data() + offset + size_t(y) * bytesPerLine,
                    size_t(width) * 4);
    return image;
}

// The window sits at 100, 60: its title strip is dark, the page below it light.
bool windowShown(const QImage& screen) {
    return qGray(screen.pixel(600, 80)) < 90 && qGray(screen.pixel(600, 650)) > 200;
}

TEST(Launch, ProgramShowsItsWindowOnAnXServer) {
    if (access(kXvfb, X_OK) != 0)
        GTEST_SKIP() << "Xvfb is not installed";
    std::string dir = KESTROVA_TEST_BUILD_DIR "/app-launch-XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(dir, ignored);
        }
    } cleanup{dir}; // declared first, so it runs after both children are stopped

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    Child server;
    server.pid = spawn({kXvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24",
                        "-fbdir", dir, "-nolisten", "tcp"},
                       {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    ASSERT_GT(server.pid, 0);

    // The server writes its display number once it accepts clients.
    std::string display;
    pollfd pfd{fds[0], POLLIN, 0};
    char buf[32];
    while (display.find('\n') == std::string::npos && poll(&pfd, 1, 30000) > 0) {
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        display.append(buf, size_t(n));
    }
    close(fds[0]);
    ASSERT_NE(display.find('\n'), std::string::npos) << "Xvfb did not start";
    display = ":" + display.substr(0, display.find('\n'));

    const int adbPort = freePort();
    ASSERT_GT(adbPort, 0);
    AdbServer adb{adbPort}; // stopped after the program, before the X server
    Child program;
    program.pid = spawn({KESTROVA_BIN_DIR "/kestrova"},
                        {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + dir,
                         "HOME=" + dir, "ANDROID_ADB_SERVER_PORT=" + std::to_string(adbPort)});
    ASSERT_GT(program.pid, 0);

    std::optional<QImage> screen;
    bool shown = false;
    int status = 0;
    bool exited = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!shown && !exited && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        exited = waitpid(program.pid, &status, WNOHANG) == program.pid;
        screen = readScreen(fs::path(dir) / "Xvfb_screen0");
        shown = screen && windowShown(*screen);
    }
    if (screen)
        screen->save(QStringLiteral(KESTROVA_TEST_BUILD_DIR "/app-xvfb-screen.png"));
    EXPECT_FALSE(exited) << "the program ended early, status " << status;
    EXPECT_TRUE(shown) << "no window on the screen";
    if (exited)
        program.pid = -1;
}

} // namespace
