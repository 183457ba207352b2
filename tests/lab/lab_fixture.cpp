#include "lab_fixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <unistd.h>

#include "common/files.h"
#include "controller/lab_config.h"

namespace fs = std::filesystem;

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(rng());
    return s;
}

std::string readWhole(const std::string& path) {
    return lab::readFile(path, size_t(1) << 30).value_or("<missing>");
}

void writeWhole(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

void LabTest::up(const std::vector<std::string>& args) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = std::string(KESTROVA_TEST_BUILD_DIR) + "/lab-" + info->name() + "-" +
            std::to_string(getpid());
    fs::remove_all(m_dir);
    // The lab stops by itself should this test die before TearDown.
    std::vector<std::string> argv = {std::string(KESTROVA_BIN_DIR) + "/kestrova-lab",
                                     "up",
                                     "--dir",
                                     m_dir,
                                     "--owner-pid",
                                     std::to_string(getpid())};
    argv.insert(argv.end(), args.begin(), args.end());
    lab::ProcResult r = lab::runProcess(argv, {}, 120);
    m_up = true;
    ASSERT_EQ(r.exitCode, 0) << r.err << readWhole(m_dir + "/lab.log");
    m_env = lab::parseExportLines(r.out);
    ASSERT_FALSE(m_env["ANDROID_ADB_SERVER_PORT"].empty()) << r.out;
}

void LabTest::TearDown() {
    if (!m_up)
        return;
    ctl({"down"});
    if (!HasFailure())
        fs::remove_all(m_dir);
}

lab::ProcResult LabTest::adb(const std::vector<std::string>& args, int timeoutSec) {
    std::vector<std::string> argv = {"/usr/bin/adb"};
    argv.insert(argv.end(), args.begin(), args.end());
    lab::EnvOverrides env(m_env.begin(), m_env.end());
    return lab::runProcess(argv, env, timeoutSec);
}

lab::ProcResult LabTest::adbOn(int phone, const std::vector<std::string>& args, int timeoutSec) {
    std::vector<std::string> a = {"-s", serial(phone)};
    a.insert(a.end(), args.begin(), args.end());
    return adb(a, timeoutSec);
}

lab::ProcResult LabTest::ctl(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {std::string(KESTROVA_BIN_DIR) + "/kestrova-lab", args[0],
                                     "--dir", m_dir};
    argv.insert(argv.end(), args.begin() + 1, args.end());
    return lab::runProcess(argv, {}, 60);
}

std::string LabTest::serial(int phone) const {
    auto it = m_env.find("KESTROVA_LAB_SERIAL_" + std::to_string(phone));
    return it == m_env.end() ? std::string() : it->second;
}

std::string LabTest::phoneDir(int phone) const {
    return m_dir + "/phones/" + std::to_string(phone);
}

std::string LabTest::localDir() {
    std::string d = m_dir + "/local";
    lab::makeDirs(d);
    return d;
}

std::string LabTest::listedState(int phone) {
    auto r = adb({"devices"});
    auto list = lab::parseDeviceList(r.out);
    auto it = list.find(serial(phone));
    return it == list.end() ? std::string() : it->second;
}

bool LabTest::waitForState(int phone, const std::string& state, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (listedState(phone) == state)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

int LabTest::forward(int phone, int devicePort) {
    auto r = adbOn(phone, {"forward", "tcp:0", "tcp:" + std::to_string(devicePort)});
    return r.exitCode == 0 ? std::atoi(r.out.c_str()) : 0;
}

lab::ProcResult LabTest::startAgent(int phone, const std::string& token) {
    return adbOn(phone, {"shell", "am", "start", "-n",
                         "com.quellfin.kestrova/com.quellfin.kestrova.activity.ServiceActivity",
                         "--es", "com.quellfin.kestrova.TOKEN", token});
}

std::string LabTest::knock(const std::vector<std::string>& args) {
    std::vector<std::string> a = {"knock"};
    a.insert(a.end(), args.begin(), args.end());
    lab::ProcResult r = ctl(a);
    std::string line = r.out.substr(0, r.out.find('\n'));
    return line;
}
