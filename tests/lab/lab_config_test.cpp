// The controller's pure parts: scenarios, export lines, adb's answers.
#include <gtest/gtest.h>

#include "controller/lab_config.h"

using namespace lab;

TEST(LabConfig, DefaultScenarioSpansTheSmsRoleBoundary) {
    auto phones = scenarioPhones("default", 4);
    ASSERT_EQ(phones.size(), 4u);
    auto major = [](const PhoneProfile& p) { return std::stoi(p.release); };
    EXPECT_LT(phones[0].sdk, 19); // below 4.4
    EXPECT_LT(phones[0].release, "4.4");
    EXPECT_GE(major(phones[1]), 10);
    EXPECT_NE(phones[0].model, phones[1].model);
    EXPECT_EQ(scenarioPhones("unauthorized", 1)[0].state, "unauthorized");
    EXPECT_EQ(scenarioPhones("sms-never", 1)[0].smsPromptAcceptAfterSeconds, -1);
    for (const auto& p : scenarioPhones("modern", 3))
        EXPECT_GE(major(p), 10);
    EXPECT_TRUE(scenarioPhones("no-such", 1).empty());
}

TEST(LabConfig, ExportLinesRoundTripOddValues) {
    std::vector<std::pair<std::string, std::string>> env = {
        {"HOME", "/tmp/lab dir/home"}, {"PORT", "5037"}, {"ODD", "it's $(x)"}, {"EMPTY", ""}};
    std::string text = exportLines(env);
    EXPECT_NE(text.find("export PORT=5037\n"), std::string::npos);
    auto back = parseExportLines("noise\n" + text);
    ASSERT_EQ(back.size(), env.size());
    for (const auto& [k, v] : env)
        EXPECT_EQ(back[k], v) << k;
}

TEST(LabConfig, AdbAnswers) {
    auto list = parseDeviceList("List of devices attached\r\n127.0.0.1:5555\tdevice\r\n"
                                "127.0.0.1:5556\tunauthorized\n127.0.0.1:5557\toffline "
                                "transport_id:3\n\n* daemon started successfully\n");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list["127.0.0.1:5555"], "device");
    EXPECT_EQ(list["127.0.0.1:5556"], "unauthorized");
    EXPECT_EQ(list["127.0.0.1:5557"], "offline");
    EXPECT_TRUE(connectSucceeded("connected to 127.0.0.1:5555\n"));
    EXPECT_TRUE(connectSucceeded("already connected to 127.0.0.1:5555\n"));
    EXPECT_FALSE(connectSucceeded("failed to connect to '127.0.0.1:5555': Connection refused\n"));
    EXPECT_FALSE(connectSucceeded("failed to authenticate to 127.0.0.1:5555\n"));
}
