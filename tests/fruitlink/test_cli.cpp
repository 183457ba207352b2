// kestrova-virtual-iphone as the lab controller runs it: a child process on
// a TCP address, controlled through its standard input.
#include "lab_fixture.h"

#include <csignal>
#include <fruitlink.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

TEST(VirtualIphoneProgram, PrintsItsAddressAndAttachesOnCommand) {
    std::string dir = fltest::makeTempDir("cli");
    std::string exe = std::string(KESTROVA_BIN_DIR) + "/kestrova-virtual-iphone";
    std::string phone = "root=" + dir + "/p1,name=Cli Phone,missing=SerialNumber";
    std::vector<std::string> args = {exe, "--mux", "TCP:127.0.0.1:0", "--phone", phone};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&fa, fromChild[1], 1);
    posix_spawn_file_actions_addclose(&fa, toChild[1]);
    posix_spawn_file_actions_addclose(&fa, fromChild[0]);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    FILE* out = ::fdopen(fromChild[0], "r");
    char line[512];
    std::string address;
    while (std::fgets(line, sizeof line, out)) {
        std::string l = line;
        if (l.rfind("export USBMUXD_SOCKET_ADDRESS=", 0) == 0)
            address = l.substr(30, l.find('\n') - 30);
        if (l.rfind("READY", 0) == 0)
            break;
    }
    ASSERT_EQ(address.rfind("127.0.0.1:", 0), 0u) << address;
    ::setenv("USBMUXD_SOCKET_ADDRESS", address.c_str(), 1);
    IphoneTSF_Init();
    EXPECT_TRUE(fltest::eventually([] { return IphoneTSF_ConnectDeviceCount() == 1; }));
    DeviceNode* n = GetiPhoneDeviceListIndex(0);
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n->info->deviceName, "Cli Phone");
    EXPECT_EQ(n->info->serialNumber, nullptr);

    const char detach[] = "detach 0\n";
    ASSERT_EQ(::write(toChild[1], detach, sizeof detach - 1),
              static_cast<ssize_t>(sizeof detach - 1));
    EXPECT_TRUE(fltest::eventually([] { return IphoneTSF_ConnectDeviceCount() == 0; }));
    const char quit[] = "quit\n";
    ASSERT_EQ(::write(toChild[1], quit, sizeof quit - 1), static_cast<ssize_t>(sizeof quit - 1));
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::fclose(out);
    ::close(toChild[1]);
    std::filesystem::remove_all(dir);
}

} // namespace
