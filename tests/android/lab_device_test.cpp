// Discovery and preparation of virtual phones through the real adb.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "android_lab.h"
#include "greenlink.h"

TEST(LabDevices, ListsIdentifiesAndPreparesBothPhones) {
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    EXPECT_EQ(AndroidTSF_CheckConnectDeviceToPC_Count(), 2);

    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(0), 0);
    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(1), 0);
    // adb lists the phones in an order of its own; positions follow it.
    std::string serial0 = lab.serialAt(0), serial1 = lab.serialAt(1);
    ASSERT_NE(serial0, serial1);
    EXPECT_EQ(AndroidTSF_CheckDevicesID(serial0.data(), serial1.data()), 0);
    EXPECT_EQ(AndroidTSF_CheckDevicesID(serial1.data(), serial0.data()), -1);

    AndroidDeviceInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(AndroidTSF_GetAndroidDevicesInfo(&info, 0), 0);
    EXPECT_STREQ(info.serial, serial0.c_str());
    EXPECT_GT(std::strlen(info.model), 0u);
    EXPECT_GT(std::strlen(info.manufacturer), 0u);
    EXPECT_GT(std::strlen(info.version), 0u);
    EXPECT_EQ(std::strchr(info.version, '\n'), nullptr);
    uint64_t memoryTotal = info.memoryTotal; // packed field
    EXPECT_EQ(memoryTotal, 0u);
    EXPECT_EQ(AndroidTSF_GetAndroidDevicesInfo(&info, 9), -1);

    // One phone before 4.4 and one after, in the default scenario.
    int at44 = AndroidTSF_CheckAndroidVersionAt44(0) + AndroidTSF_CheckAndroidVersionAt44(1);
    EXPECT_EQ(at44, 1);

    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), -1); // no agent yet
    ASSERT_EQ(AndroidTSF_ReadyTodoing(0), 0);
    EXPECT_EQ(AndroidTSF_GetReadyTodoProgress(), 100);
    ASSERT_EQ(AndroidTSF_ReadyTodoing(1), 0);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(1), 0);
    // Preparing again replaces the agent and still answers.
    ASSERT_EQ(AndroidTSF_ReadyTodoing(0), 0);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(0), 0);
    EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(2), -1);

    // Closing the program removes the agent of position 0.
    EXPECT_EQ(AndroidTSF_UnInit(), 0);
    std::string out;
    lab.adb({"-s", serial0, "shell", "pm", "path", "com.quellfin.kestrova"}, &out);
    EXPECT_EQ(out.find("package:"), std::string::npos) << out;

    // A position beyond the listed phones.
    EXPECT_EQ(AndroidTSF_CheckDeviceDetected(5), -5);
}

// Without its package the agent cannot be put on the phone: preparation ends
// within the greeting's bound and says why, instead of trying for ever.
TEST(LabDevices, APhoneWithoutTheAgentSaysWhyWithinSeconds) {
    AndroidLab lab(1);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(0), 0);
    std::string apk = std::string(getenv("KESTROVA_TOOL_DIR")) + "/kestrova1.apk";
    std::string kept = lab.scratch("apk") + "/kestrova1.apk";
    ASSERT_EQ(std::rename(apk.c_str(), kept.c_str()), 0);

    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(AndroidTSF_ReadyTodoing(0), -1);
    auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started)
            .count();
    EXPECT_LT(seconds, 20);
    std::string why = AndroidTSF_GetReadyTodoFailure(0);
    EXPECT_NE(why.find("kestrova1.apk) is missing"), std::string::npos) << why;

    ASSERT_EQ(std::rename(kept.c_str(), apk.c_str()), 0);
    ASSERT_EQ(AndroidTSF_ReadyTodoing(0), 0);
    EXPECT_STREQ(AndroidTSF_GetReadyTodoFailure(0), "");
}

TEST(LabDevices, UnauthorizedAndOfflinePhones) {
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(0), 0);
    int p1 = lab.phoneAt(1), p0 = lab.phoneAt(0);
    ASSERT_TRUE(lab.lab({"state", "--phone", std::to_string(p1), "unauthorized"}));
    // The phone is listed, waiting for the user's "Allow": -2, as for the
    // "offline" of older adb, and adb is not restarted.
    int r = -9;
    for (int i = 0; i < 20 && r != -2; ++i) {
        r = AndroidTSF_CheckDeviceDetected(1);
        if (r != -2)
            usleep(250000);
    }
    EXPECT_EQ(r, -2);
    // On its way to "unauthorized" the phone may pass through "offline".
    r = -9;
    for (int i = 0; i < 40 && r != 0; ++i) {
        r = AndroidTSF_CheckDeviceDetected(0);
        if (r != 0)
            usleep(250000);
    }
    EXPECT_EQ(r, 0);

    ASSERT_TRUE(lab.lab({"allow", "--phone", std::to_string(p1)}));
    ASSERT_TRUE(lab.lab({"state", "--phone", std::to_string(p1), "device"}));
    ASSERT_TRUE(lab.lab({"state", "--phone", std::to_string(p0), "offline"}));
    r = -9;
    for (int i = 0; i < 40 && r != -2; ++i) {
        r = AndroidTSF_CheckDeviceDetected(0);
        if (r != -2)
            usleep(250000);
    }
    EXPECT_EQ(r, -2);
}

// Phones of today's makers, each with its own USB identity, are counted,
// listed with their maker and prepared. Beside them a maker's USB disk and a
// camera are no phones, and a phone with USB debugging off is counted before
// adb sees it.
TEST(LabDevices, PhonesOfTodaysMakersAreFoundAndPrepared) {
    AndroidLab lab(6, {"--scenario", "makers"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    EXPECT_EQ(AndroidTSF_CheckConnectDeviceToPC_Count(), 6);
    const std::string extra = lab.session().dir().toStdString() + "/usb-extra";
    writeFile(extra, "VID:1256,PID:24577,IF:08/06/50\nVID:1193,PID:12801,IF:06/01/01\n");
    EXPECT_EQ(AndroidTSF_CheckConnectDeviceToPC_Count(), 6);
    writeFile(extra, "VID:10007,PID:65352,IF:06/01/01\n");
    EXPECT_EQ(AndroidTSF_CheckConnectDeviceToPC_Count(), 7);
    std::remove(extra.c_str());

    // Only positions 0 and 1 take an agent: two phones at a time, then unplug them.
    std::set<std::string> makers;
    for (int round = 0; round < 3; ++round) {
        for (int position = 0; position < 2; ++position) {
            ASSERT_EQ(AndroidTSF_CheckDeviceDetected(position), 0) << round;
            AndroidDeviceInfo info = {};
            ASSERT_EQ(AndroidTSF_GetAndroidDevicesInfo(&info, position), 0);
            makers.insert(info.manufacturer);
            ASSERT_EQ(AndroidTSF_ReadyTodoing(position), 0) << info.manufacturer;
            EXPECT_EQ(AndroidTSF_CheckDevicesIsConnect(position), 0) << info.manufacturer;
        }
        const int first = lab.phoneAt(0), second = lab.phoneAt(1);
        ASSERT_TRUE(lab.lab({"unplug", "--phone", std::to_string(first)}));
        ASSERT_TRUE(lab.lab({"unplug", "--phone", std::to_string(second)}));
    }
    EXPECT_EQ(makers.size(), 6u);
    EXPECT_EQ(AndroidTSF_CheckConnectDeviceToPC_Count(), 0);
}

// Another program on this computer (an IDE, a mirroring tool) shares the adb
// server: its forward survives the program's counting and its checks, also
// of a phone that is not there, because the server is never restarted while
// it answers.
TEST(LabDevices, ASecondAdbClientKeepsItsForward) {
    AndroidLab lab(1);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(0), 0);
    const std::string serial = lab.serialAt(0);
    ASSERT_TRUE(lab.adb({"-s", serial, "forward", "tcp:0", "tcp:7777"}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(AndroidTSF_CheckConnectDeviceToPC_Count(), 1);
        EXPECT_EQ(AndroidTSF_CheckDeviceDetected(5), -5);
    }
    EXPECT_EQ(AndroidTSF_CheckDeviceDetected(0), 0);
    std::string forwards;
    ASSERT_TRUE(lab.adb({"forward", "--list"}, &forwards));
    EXPECT_NE(forwards.find("tcp:7777"), std::string::npos) << forwards;
}

// adb lists a phone this computer may not open as "no permissions": a result
// of its own (its guidance is about udev rules), and the phone still counts.
TEST(LabDevices, APhoneWithoutPermissionsIsToldApart) {
    AndroidLab lab(2);
    ASSERT_TRUE(lab.ok()) << lab.error();
    ASSERT_EQ(AndroidTSF_CheckDeviceDetected(0), 0);
    const int phone = lab.phoneAt(1);
    ASSERT_TRUE(lab.lab({"state", "--phone", std::to_string(phone), "nopermissions"}));
    int r = -9;
    for (int i = 0; i < 40 && r != -3; ++i)
        if ((r = AndroidTSF_CheckDeviceDetected(1)) != -3)
            usleep(250000);
    EXPECT_EQ(r, -3);
    EXPECT_EQ(AndroidTSF_CheckConnectDeviceToPC_Count(), 2);
    ASSERT_TRUE(lab.lab({"allow", "--phone", std::to_string(phone)}));
    ASSERT_TRUE(lab.lab({"state", "--phone", std::to_string(phone), "device"}));
    r = -9;
    for (int i = 0; i < 40 && r != 0; ++i)
        if ((r = AndroidTSF_CheckDeviceDetected(1)) != 0)
            usleep(250000);
    EXPECT_EQ(r, 0);
}
