#include <gtest/gtest.h>

#include "app/SettingsStore.h"
#include "link/PortList.h"
#include "tests/support/Files.h"

namespace t720 {
namespace {

TEST(PortMapping, TheChoiceIsStoredByStableNameBesideEverythingElseInTheFile) {
    auto store = OpenSettingsStore();
    const QString path = store->fileName();
    ASSERT_TRUE(test::WriteFile(path,
                                "[Properties]\nT720Range=3\n\n[Ports]\nCOM2=/home/op/cal\n"
                                "COM4=/dev/ttyUSB1\nCOM5=/dev/ttyUSB1\nCOM12=/dev/ttyS11\n\n"
                                "[Other]\nKey=value\n"));
    store = OpenSettingsStore();
    const PortMap stored = StoredPortMap(*store);
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0";
    const std::vector<PortInfo> ports = {
        {.device = "/dev/ttyUSB0", .byId = byId},
        {.device = "/dev/ttyS0", .com = {1}, .byDefault = {1}},
        {.device = "/home/op/cal", .listed = false, .com = {2}},
        {.device = "/dev/ttyUSB1", .com = {4, 5}},
    };
    // A new port for COM3, the others as they were but the pty link given up.
    const PortMap wanted = ChosenPortMap(ports, {3, 1, 0, 4}, stored);
    EXPECT_EQ(wanted, (PortMap{"", "", "", byId, "/dev/ttyUSB1", "/dev/ttyUSB1"}));
    ASSERT_TRUE(StorePortMap(*store, wanted));

    EXPECT_EQ(SerialDevicePath(3), byId);
    EXPECT_EQ(SerialDevicePath(2), "/dev/ttyS1");
    EXPECT_EQ(SerialDevicePath(1), "/dev/ttyS0");  // without an entry: the system's port
    EXPECT_EQ(SerialDevicePath(9), "/dev/ttyS8");
    QSettings file(path, QSettings::IniFormat);
    EXPECT_EQ(file.value("Properties/T720Range").toString(), "3");
    EXPECT_EQ(file.value("Ports/COM5").toString(), "/dev/ttyUSB1");
    EXPECT_EQ(file.value("Ports/COM12").toString(), "/dev/ttyS11");
    EXPECT_EQ(file.value("Other/Key").toString(), "value");
    EXPECT_FALSE(file.contains("Ports/COM1"));
    QFile::remove(path);
}

}  // namespace
}  // namespace t720
