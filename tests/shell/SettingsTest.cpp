#include "link/PortName.h"
#include "shell/LockLights.h"
#include "shell/PortSlots.h"
#include "shell/SettingsKey.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// The port is read after "COM", else it is port one.
TEST(PortSetting, ComesFromTheSettingsFile) {
    CScopedSettings settings;
    EXPECT_EQ(ReadConfiguredPort(), 1); // missing
    const std::vector<std::pair<const char*, int>> table = {
        {"COM12", 1}, {"com3", 1}, {"xCOM5", 1}, {"", 1},      {"COM", 1},     {"COM0", 1},
        {"COM8", 8},  {"COM9", 1}, {"COM-2", 1}, {"COM 4", 4}, {"COM7xyz", 7}, {"COM3", 3},
    };
    for (const auto& [text, port] : table) {
        settings.Set("PortOfMonitor", text);
        EXPECT_EQ(ReadConfiguredPort(), port) << "'" << text << "'";
    }
    settings.Set("Ports/COM2", "/dev/serial/by-id/usb-gnss");
    CSettingsKey key;
    ASSERT_EQ(key.Create(), 0);
    const auto named = key.NamedPortDevices();
    ASSERT_EQ(named.size(), 1);
    EXPECT_EQ(named.value(2), "/dev/serial/by-id/usb-gnss");
    // A service names its file whole: that one alone is read, and one that
    // is not a regular file is refused as the user's would be.
    const QString service = settings.Folder() + "/service.ini";
    QFile file(service);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nPortOfMonitor=COM5\n");
    file.close();
    qputenv("QUILLMAR_SETTINGS", QFile::encodeName(service));
    EXPECT_EQ(ReadConfiguredPort(), 5);
    qputenv("QUILLMAR_SETTINGS", QFile::encodeName(settings.Folder()));
    EXPECT_NE(SettingsRefusal(), "");
    EXPECT_EQ(ReadConfiguredPort(), 1);
    qunsetenv("QUILLMAR_SETTINGS");
    EXPECT_EQ(ReadConfiguredPort(), 3);
}

// Nothing set is nothing written: no entry reads back as "@Invalid()".
TEST(SettingsFile, HoldsNoInvalidEntries) {
    CScopedSettings settings;
    {
        CSettingsKey key;
        ASSERT_EQ(key.Create(), 0);
        key.WriteNetSources({});
        key.WriteRecentFiles({}, 4);
        key.Write("Source", QString());
        key.Write("Empty", QVariant());
        key.WriteNetSources({"tcp://127.0.0.1:5000"});
    }
    WriteWindowSettings({});
    QFile file(settings.Folder() + "/Quillmar Solution/Quillmar.ini");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_FALSE(text.contains("@Invalid")) << text.toStdString();
    CSettingsKey key;
    ASSERT_EQ(key.Create(), 0);
    EXPECT_EQ(key.NetSources(), QStringList{"tcp://127.0.0.1:5000"});
}

// The datagrams' form, source identifier and TTL: a setting that cannot be
// used is named and keeps its default.
TEST(UdpOutputSetting, EachIsCheckedAndFallsBackToItsDefault) {
    const std::string a32(32, 'A');
    const std::vector<std::pair<QStringList, QString>> table = {
        // ServeUdpFormat, Udp450Source, ServeUdpTtl -> what is read, the bad keys
        {{"", "", ""}, "nmea QM0001 1 "},
        {{" IEC450 ", a32.c_str(), "255"}, QString("iec450 %1 255 ").arg(a32.c_str())},
        {{"450", "QM-01", "256"}, "nmea QM0001 1 ServeUdpFormat,Udp450Source,ServeUdpTtl"},
        {{"nmea", (a32 + "A").c_str(), "-1"}, "nmea QM0001 1 Udp450Source,ServeUdpTtl"},
    };
    for (const auto& [values, read] : table) {
        CScopedSettings settings;
        for (int i = 0; i < 3; ++i)
            settings.Set(QStringList{"ServeUdpFormat", "Udp450Source", "ServeUdpTtl"}[i],
                         values[i]);
        QStringList bad;
        const UdpOutput output = ReadUdpOutput(&bad);
        EXPECT_EQ(QString("%1 %2 %3 %4")
                      .arg(UdpFormatText(output.format), output.strSource.c_str())
                      .arg(output.nTtl)
                      .arg(bad.join(',')),
                  read);
    }
}

// Named slots win and the others take the present devices in order, the rest
// left out. Plugged in after the start: the slot in use takes the first
// newcomer when it has no device, the others fill the free slots in order; an
// adapter that went away keeps its slot for when it comes back.
TEST(PortSlots, NamedSlotsWinTheOthersTakePresentDevicesInOrderAndLaterOnesFreeSlots) {
    auto expect = [](const CPortSlots& portSlots, const QStringList& devices) {
        for (int port = 0; port <= kPortSlots + 1; ++port)
            EXPECT_EQ(portSlots.Device(port), devices.value(port - 1)) << "COM" << port;
    };
    QStringList present = {"/dev/ttyS0", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2",
                           "/dev/ttyUSB0"};
    CPortSlots::SortDevices(present);
    EXPECT_EQ(present, (QStringList{"/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                    "/dev/ttyS0"}));
    CPortSlots portSlots;
    portSlots.Assign({{1, "/dev/ttyUSB2"}, {3, "/dev/gnss"}}, present);
    expect(portSlots, {"/dev/ttyUSB2", "/dev/ttyUSB0", "/dev/gnss", "/dev/ttyUSB10", "/dev/ttyACM0",
                       "/dev/ttyS0"});
    for (int i = 0; i < 12; ++i) // more devices than slots: the eighth is the last taken
        present << QString("/dev/ttyUSB%1").arg(i + 20);
    portSlots.Assign({}, present);
    EXPECT_EQ(portSlots.Device(8), "/dev/ttyUSB22");

    CPortSlots later;
    later.Assign({{2, "/dev/serial/by-id/gnss"}}, {"/dev/ttyUSB0"});
    EXPECT_FALSE(later.Refresh({"/dev/ttyUSB0"}, 5));
    EXPECT_TRUE(later.Refresh({"/dev/ttyUSB1", "/dev/ttyUSB0", "/dev/ttyACM0"}, 5));
    expect(later, {"/dev/ttyUSB0", "/dev/serial/by-id/gnss", "/dev/ttyACM0", "", "/dev/ttyUSB1"});
    EXPECT_FALSE(later.Refresh({}, 4)); // all unplugged: the slots stay
    expect(later, {"/dev/ttyUSB0", "/dev/serial/by-id/gnss", "/dev/ttyACM0", "", "/dev/ttyUSB1"});
}

// The lock keys' lights as the kernel lists them; two keyboards' lights
// count as one, anything else under the LED class is not a lock.
TEST(LockLights, ComeFromTheKernelsKeyboardLights) {
    QTemporaryDir root;
    for (const auto& [led, value] : {std::pair{"input3::capslock", "1"},
                                     {"input3::numlock", "0"},
                                     {"input5::numlock", "1\n"},
                                     {"input5::capslock", "0"},
                                     {"mmc0::", "1"}}) {
        QDir().mkpath(root.filePath(led));
        ASSERT_TRUE(WriteFile(root.filePath(QString(led) + "/brightness").toStdString(), value));
    }
    const QMap<QString, bool> lights = ReadLockLights(root.path());
    EXPECT_EQ(lights, (QMap<QString, bool>{{"capslock", true}, {"numlock", true}}));
    EXPECT_TRUE(ReadLockLights(root.filePath("none")).isEmpty());
}

} // namespace
