// The real serial port code over a pseudo-terminal, the test playing the device.
// Answers, whole or in pieces, are read over the bench's pty in the SendSetting
// bench tests and the line drills.
#include <gtest/gtest.h>

#include "link/LineTransport.h"
#include "link/QtSerialPort.h"
#include "tests/support/Pty.h"

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

    test::Pty pty;
    QtSerialPort port;
    int lastCommPort = 0;
};

TEST_F(OverPty, SilenceGivesAnEmptyAnswerAfterTheTimeOut) {
    Open();
    const double start = RealClock().Now();
    EXPECT_EQ(QueryCom(port, "K1A 0, 5, 2, 3"), "");
    EXPECT_GT(RealClock().Now() - start, static_cast<double>(kCalibratorTimeout));
    EXPECT_EQ(pty.ReadLines(1), "K1A 0, 5, 2, 3\n");
}

TEST_F(OverPty, ADeviceThatHangsUpClosesThePortInsteadOfSpinning) {
    Open();
    pty.CloseMaster();
    EXPECT_EQ(QueryCom(port, "K1A 0, 5, 2, 3"), "");
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
}

}  // namespace
}  // namespace t720
