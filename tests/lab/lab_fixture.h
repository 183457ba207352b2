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

    std::string m_dir;
    std::map<std::string, std::string> m_env;
    bool m_up = false;
};

std::string randomBytes(size_t n, unsigned seed);
std::string readWhole(const std::string& path);
void writeWhole(const std::string& path, const std::string& data);
