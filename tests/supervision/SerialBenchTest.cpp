// Whole supervision passes over a real pseudo-terminal against the simulated
// calibrator: the program's serial code, the bench's model, real time-outs.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "link/QtSerialPort.h"
#include "sim/BenchServer.h"
#include "supervision/Supervisor.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/FakeUsbLibrary.h"
#include "tests/support/Passes.h"

namespace t720 {
namespace {

using sim::BenchOptions;
using sim::BenchServer;
using sim::CalibratorModel;

class SerialBenchTest : public ::testing::Test {
  protected:
    SerialBenchTest()
        : link(dir.filePath("cal").toStdString()),
          port([this](int) { return link; }),
          cal(s, port, lib, RealClock()),
          win(s),
          sup(s, cal, win) {
        s.RangeIdx = 1;
        s.RangeTab = {0, 2, 5, 10, 20, 100, 1000};
    }
    ~SerialBenchTest() override {
        port.SetPortOpen(false);
        if (bench) bench->Stop();
    }
    void StartBench(CalibratorModel::Identity identity = {}) {
        BenchOptions options;
        options.calibratorLink = link;
        options.identity = identity;
        bench = std::make_unique<BenchServer>(options);
        bench->Start();
    }
    std::vector<std::string> Received() {
        return bench->WithCalibrator([](CalibratorModel& m) {
            return std::vector<std::string>(m.received().begin(), m.received().end());
        });
    }

    void Pass() { test::RunOnePass(sup, s); }

    QTemporaryDir dir;
    std::string link;
    SharedState s;
    QtSerialPort port;
    test::FakeUsbLibrary lib;
    Calibrator cal;
    test::FakeMainWindow win;
    Supervisor sup;
    std::unique_ptr<BenchServer> bench;
};

TEST_F(SerialBenchTest, FindsConfiguresAndPollsTheCalibrator) {
    StartBench({"T720-40211", "T720S09 V2.01", 6, 0});
    s.ProzStep = 5;
    sup.OpenComPort(kLinkCom1, false);
    // The line reader hands the identification on with its first point as a comma.
    EXPECT_EQ(win.messages, "Connection via serial line\r\nSNo: T720-40211     ID: T720S09 V2,01");
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(s.SetupPhase, 2);
    EXPECT_EQ(s.RangeTab[1], 555);
    EXPECT_FALSE(win.textremoVisible);
    EXPECT_EQ(Received(),
              (std::vector<std::string>{"SNR?0", "SNR?1", "K1A 128, 5, 6, 0", "K1B 0,0,0, 0",
                                        "K1A 0, 5, 1, 0", "K1B 0,0,0, 0"}));
    const auto state = bench->WithCalibrator([](CalibratorModel& m) { return m.state(); });
    EXPECT_EQ(state.step, 5);
    EXPECT_EQ(state.range, 1);
}

TEST_F(SerialBenchTest, FiveRangeSixteenChannelVariant) {
    StartBench({"T720H-1", "QV310 V1", 5, 0});
    win.rangeScroll = 6;
    s.RangeIdx = 6;
    sup.OpenComPort(kLinkCom1, false);
    EXPECT_EQ(s.SetupPhase, 1);
    EXPECT_EQ(s.RangeIdx, 5);
    EXPECT_TRUE(win.channelsAbove8);
    EXPECT_FALSE(win.hbrVisible);  // no half bridge on a serial link
    EXPECT_EQ(Received()[2], "K1A 128, 0, 6, 0");
    EXPECT_EQ(Received().back(), "K1B 0,0,0, 0");
    EXPECT_EQ(Received()[Received().size() - 2], "K1A 0, 0, 5, 0");
}

TEST_F(SerialBenchTest, ReportsConditionAndSilenceAndRecovers) {
    StartBench();
    sup.OpenComPort(kLinkCom1, false);
    bench->WithCalibrator([](CalibratorModel& m) {
        m.SetFaults({false, false, 4});
        return 0;
    });
    Pass();
    EXPECT_EQ(win.textremo, "T720 bell !");
    bench->WithCalibrator([](CalibratorModel& m) {
        m.SetFaults({true, false, 0});
        return 0;
    });
    Pass();
    EXPECT_TRUE(win.textremoVisible);
    EXPECT_EQ(win.textremo, "No answer from T720");
    bench->WithCalibrator([](CalibratorModel& m) {
        m.SetFaults({});
        return 0;
    });
    Pass();
    EXPECT_FALSE(win.textremoVisible);
}

TEST_F(SerialBenchTest, ADeviceThatVanishesIsReportedAndReconnectsWhenSelectedAgain) {
    StartBench();
    sup.OpenComPort(kLinkCom1, false);
    ASSERT_EQ(s.LinkState, kLinkConnected);
    bench->HangUpCalibrator();
    for (int i = 0; i < 3; ++i) {
        win.textremoVisible = false;
        Pass();
        EXPECT_TRUE(win.textremoVisible);
        EXPECT_EQ(win.textremo, "No answer from T720");
        EXPECT_EQ(s.LinkState, kLinkConnected);
    }
    EXPECT_FALSE(port.PortOpen());  // closed on the hang-up: no poll can spin on it

    bench->RestoreCalibrator();
    bench->WithCalibrator([](CalibratorModel& m) {
        m.ClearRecord();
        return 0;
    });
    sup.CommandCOM1Click();
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_FALSE(win.textremoVisible);
    EXPECT_EQ(Received().front(), "SNR?0");
}

}  // namespace
}  // namespace t720
