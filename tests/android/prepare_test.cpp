// What the user is told when the agent cannot be put on a phone.
#include <gtest/gtest.h>

#include <string>

#include "agent_lifecycle.h"

using greenlink::installFailureText;

TEST(PrepareFailure, InstallOutputsBecomeReasons) {
    EXPECT_EQ(installFailureText("Performing Streamed Install\nSuccess\n"), "");
    // Xiaomi phones refuse until "Install via USB" is on.
    std::string miui = installFailureText(
        "Performing Streamed Install\nadb: failed to install kestrova1.apk: Failure "
        "[INSTALL_FAILED_USER_RESTRICTED: Install canceled by user]\n");
    EXPECT_NE(miui.find("Install via USB"), std::string::npos) << miui;
    EXPECT_EQ(
        installFailureText("adb: failed to install x.apk: Failure "
                           "[INSTALL_FAILED_INSUFFICIENT_STORAGE]\r\n"),
        "The phone refused to install the Kestrova app (INSTALL_FAILED_INSUFFICIENT_STORAGE).");
    EXPECT_EQ(installFailureText("Failure [INSTALL_FAILED_VERSION_DOWNGRADE: older]"),
              "The phone refused to install the Kestrova app (INSTALL_FAILED_VERSION_DOWNGRADE).");
    EXPECT_EQ(installFailureText("adb: device '127.0.0.1:5555' not found\n"),
              "The phone went away while the Kestrova app was being installed.");
    EXPECT_EQ(installFailureText(""), "The Kestrova app could not be installed on the phone.");
}
