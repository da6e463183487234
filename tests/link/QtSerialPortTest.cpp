// The real serial port code over a pseudo-terminal, the test playing the device,
// and which device a COM number opens. Answers, whole or in pieces, are read over
// the bench's pty in the bench passes (tests/supervision) and the line drills.
#include <gtest/gtest.h>

#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/SettingsStore.h"
#include "link/LineTransport.h"
#include "link/PortList.h"
#include "link/QtSerialPort.h"
#include "tests/support/Files.h"
#include "sim/Pty.h"

namespace t720 {
namespace {

class OverPty : public ::testing::Test {
  protected:
    OverPty()
        : port([this](int n) {
              lastCommPort = n;
              return pty.SlavePath();
          }) {}
    void Open() {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(port.SetCommPort(4));
        ASSERT_TRUE(port.SetSettings("9600,E,8,1"));
        port.SetPortOpen(true);
        ASSERT_TRUE(port.PortOpen());
        EXPECT_EQ(lastCommPort, 4);
    }

    sim::Pty pty;
    QtSerialPort port;
    int lastCommPort = 0;
};

TEST_F(OverPty, ADeviceThatHangsUpClosesThePortInsteadOfSpinning) {
    Open();
    pty.CloseMaster();
    EXPECT_EQ(QueryCom(port, "SNR?0"), "");
    // Closed, so neither this nor any later read can sit in a poll that returns at once.
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(port.InBufferCount(), 0);
    EXPECT_EQ(port.Input(), "");
}

TEST_F(OverPty, PortNumberIsFixedWhileOpenAndSettingsMustParse) {
    Open();
    EXPECT_FALSE(port.SetCommPort(2));
    EXPECT_FALSE(port.SetSettings("9600,E,8"));
    port.SetPortOpen(false);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_TRUE(port.SetCommPort(2));
}

TEST(QtSerialPort, AMissingDeviceStaysClosedAndIsHarmless) {
    QtSerialPort port([](int) { return std::string("/nonexistent/tty-for-test"); });
    port.SetPortOpen(true);
    EXPECT_FALSE(port.PortOpen());
    port.Output("DCL\n");
    EXPECT_EQ(port.InBufferCount(), 0);
    EXPECT_FALSE(port.WaitForInput(1.0));
    EXPECT_EQ(ReadLineCom(port), "");
    EXPECT_EQ(port.OpenProblem().rfind("no such device /nonexistent/tty-for-test; plug it in", 0),
              0u)
        << port.OpenProblem();
}

TEST(QtSerialPort, ANodeTheUserMayNotOpenIsExplainedWithItsGroup) {
    // Root is let in whatever the mode says: as root, the node belongs to group
    // dialout and the opening is made by a child that has become nobody; as a user,
    // the node is closed to its owner.
    sim::Pty pty;
    ASSERT_TRUE(pty.Ok());
    const std::string node = pty.SlavePath();
    const bool root = geteuid() == 0;
    const group* dialout = getgrnam("dialout");
    if (root) {
        ASSERT_EQ(chown(node.c_str(), 0, dialout ? dialout->gr_gid : 20), 0);
    }
    ASSERT_EQ(chmod(node.c_str(), root ? 0660 : 0), 0);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (root && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(1);
        QtSerialPort port([&](int) { return node; });
        port.SetPortOpen(true);
        const std::string why = port.PortOpen() ? "opened" : port.OpenProblem();
        _exit(write(out[1], why.data(), why.size()) > 0 ? 0 : 1);
    }
    close(out[1]);
    pollfd ready{out[0], POLLIN, 0};
    char text[1024] = {};
    if (poll(&ready, 1, 15000) == 1) read(out[0], text, sizeof text - 1);
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string why = text;
    EXPECT_EQ(why.rfind("no permission for " + node, 0), 0u) << why;
    const std::string g = dialout ? dialout->gr_name : "20";
    const std::string fix = "(group " + g + "): add your user to group " + g +
                            ", then log out and in again (sudo usermod -aG " + g + " $USER)";
    EXPECT_TRUE(!root || why.find(fix) != std::string::npos) << why;
}

TEST(PortMapping, TheChoiceIsStoredByStableNameBesideEverythingElseInTheFile) {
    auto store = OpenSettingsStore();
    const QString path = store->fileName();
    ASSERT_TRUE(test::WriteFile(path,
                                "[Properties]\nT720Range=3\n\n[Ports]\nCOM2=/home/op/cal\n"
                                "COM4=/dev/ttyUSB1\nCOM5=/dev/ttyUSB1\nCOM12=/dev/ttyS11\n\n"
                                "[Other]\nKey=value\n[Damaged\n"));
    store = OpenSettingsStore();  // a damaged line (copied aside at start-up) bars nothing
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
