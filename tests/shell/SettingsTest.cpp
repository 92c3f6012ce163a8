#include "link/PortName.h"
#include "link/PortSlots.h"
#include "shell/SettingsKey.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(PortSetting, TextIsReadAfterCOMOrFallsBackToPortOne) {
    const std::vector<std::pair<const char*, int>> table = {
        {"COM3", 3}, {"COM12", 1}, {"com3", 1}, {"xCOM5", 1}, {"", 1},      {"COM", 1},
        {"COM0", 1}, {"COM8", 8},  {"COM9", 1}, {"COM-2", 1}, {"COM 4", 4}, {"COM7xyz", 7},
    };
    for (const auto& [text, port] : table)
        EXPECT_EQ(PortFromSettingText(text), port) << "'" << text << "'";
}

TEST(PortSetting, ComesFromTheSettingsFile) {
    CScopedSettings settings;
    EXPECT_EQ(ReadConfiguredPort(), 1); // missing
    settings.Set("PortOfMonitor", "COM3");
    EXPECT_EQ(ReadConfiguredPort(), 3);
    settings.Set("Ports/COM2", "/dev/serial/by-id/usb-gnss");
    CSettingsKey key;
    ASSERT_EQ(key.Create(), 0);
    const auto named = key.NamedPortDevices();
    ASSERT_EQ(named.size(), 1);
    EXPECT_EQ(named.value(2), "/dev/serial/by-id/usb-gnss");
}

TEST(PortSlots, NamedSlotsWinAndTheOthersTakePresentDevicesInOrder) {
    CPortSlots portSlots;
    QStringList present = {"/dev/ttyS0", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2",
                           "/dev/ttyUSB0"};
    CPortSlots::SortDevices(present);
    EXPECT_EQ(present, (QStringList{"/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                    "/dev/ttyS0"}));
    portSlots.Assign({{1, "/dev/ttyUSB2"}, {3, "/dev/gnss"}}, present);
    const QStringList expected = {"/dev/ttyUSB2", "/dev/ttyUSB0", "/dev/gnss", "/dev/ttyUSB10",
                                  "/dev/ttyACM0", "/dev/ttyS0",   "",          ""};
    for (int port = 1; port <= kPortSlots; ++port)
        EXPECT_EQ(portSlots.Device(port), expected[port - 1]) << "COM" << port;
    EXPECT_EQ(portSlots.Device(0), "");
    EXPECT_EQ(portSlots.Device(9), "");
}

TEST(PortSlots, MoreDevicesThanSlotsLeavesTheRestOut) {
    CPortSlots portSlots;
    QStringList present;
    for (int i = 0; i < 12; ++i)
        present << QString("/dev/ttyUSB%1").arg(i);
    portSlots.Assign({}, present);
    EXPECT_EQ(portSlots.Device(8), "/dev/ttyUSB7");
}

} // namespace
