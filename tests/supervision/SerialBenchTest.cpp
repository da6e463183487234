// Whole supervision passes over a real pseudo-terminal against the simulated
// calibrator: the program's serial code, the bench's model, real time-outs.
#include <gtest/gtest.h>

#include "link/QtSerialPort.h"
#include "supervision/Supervisor.h"
#include "tests/support/BenchRig.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/FakeUsbLibrary.h"
#include "tests/support/Passes.h"

namespace t720 {
namespace {

class SerialBenchTest : public ::testing::Test, protected test::BenchRig {
  protected:
    SerialBenchTest() { s.RangeTab = {0, 2, 5, 10, 20, 100, 1000}; }
    ~SerialBenchTest() override { port.SetPortOpen(false); }

    void Pass() { test::RunOnePass(sup, s); }

    SharedState s;
    QtSerialPort port{[this](int) { return calibratorLink; }};
    test::FakeUsbLibrary lib;
    Calibrator cal{s, port, lib, RealClock()};
    test::FakeMainWindow win{s};
    Supervisor sup{s, cal, win};
};

TEST_F(SerialBenchTest, AFiveRangeVariantIsSetUpPolledAndItsVerdictsReported) {
    StartBench({.calibratorLink = calibratorLink, .identity = {"T720H-1", "QV310 V1", 5, 0}});
    win.rangeScroll = 6;
    s.RangeIdx = 6;
    s.SignFlag = 1;
    sup.OpenComPort(kLinkCom1, false);
    EXPECT_EQ(win.messages, "Connection via serial line\r\nSNo: T720H-1     ID: QV310 V1");
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(s.SetupPhase, 1);
    EXPECT_EQ(s.RangeIdx, 5);
    EXPECT_TRUE(win.channelsAbove8);
    EXPECT_FALSE(win.hbrVisible);  // no half bridge on a serial link
    // The refused probe sends no K1B; the poll has the sign back and range 5.
    EXPECT_EQ(CalibratorRecord(), (std::vector<std::string>{"SNR?0", "SNR?1", "K1A 128, 0, 6, 0",
                                                            "K1A 1, 0, 5, 0", "K1B 0,0,0, 0"}));
    EXPECT_FALSE(win.textremoVisible);

    SetCalibratorFaults({.condition = 4});
    Pass();
    EXPECT_EQ(win.textremo, "T720 bell !");
    SetCalibratorFaults({.silent = true});
    Pass();
    EXPECT_TRUE(win.textremoVisible);
    EXPECT_EQ(win.textremo, "No answer from T720");
    SetCalibratorFaults({});
    Pass();
    EXPECT_FALSE(win.textremoVisible);
}

}  // namespace
}  // namespace t720
