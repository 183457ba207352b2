#pragma once
// A lab of virtual phones for one test: its own folder, adb server and
// ports, stopped at the end of the test.
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "common/proc.h"

class LabTest : public ::testing::Test {
  protected:
    void TearDown() override;

    // kestrova-lab up with these extra arguments; fails the test when it does not come up.
    void up(const std::vector<std::string>& args = {});
    lab::ProcResult adb(const std::vector<std::string>& args, int timeoutSec = 60);
    // adb -s SERIAL-of-phone ...
    lab::ProcResult adbOn(int phone, const std::vector<std::string>& args, int timeoutSec = 60);
    lab::ProcResult ctl(const std::vector<std::string>& args);
    std::string serial(int phone) const;
    std::string phoneDir(int phone) const;
    std::string localDir(); // scratch folder for the test's own files
    // The adb server's state word for the phone, "" when it is not listed.
    std::string listedState(int phone);
    // Polls until the phone is listed in `state` (or not listed, for ""); bounded.
    bool waitForState(int phone, const std::string& state, int seconds = 20);
    // adb forward tcp:0 tcp:PORT; the local port or 0.
    int forward(int phone, int devicePort);
    // am start of the agent app with this token in its start intent (a
    // test may show it in adb's arguments; the program never does).
    lab::ProcResult startAgent(int phone, const std::string& token = kLabTestToken);
    // kestrova-lab knock --dir DIR ARGS...: its report line.
    std::string knock(const std::vector<std::string>& args);

    static inline const std::string kLabTestToken =
        "0A1B2C3D4E5F60718293A4B5C6D7E8F90123456789ABCDEF0123456789ABCDEF";

    std::string m_dir;
    std::map<std::string, std::string> m_env;
    bool m_up = false;
};

std::string randomBytes(size_t n, unsigned seed);
std::string readWhole(const std::string& path);
void writeWhole(const std::string& path, const std::string& data);
