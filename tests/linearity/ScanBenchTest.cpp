// The linearity run against the simulated bench, in real time: the calibrator's
// divider set through the stand-in USB library, the DMM read over its own
// pseudo-terminal with the program's serial port. A full run takes its 26 s of
// settling pauses; the other runs stop or fail early.
#include "linearity/Scan.h"

#include "LinearityTestSupport.h"
#include "linearity/TapSequence.h"
#include "link/QtSerialPort.h"
#include "sim/BenchServer.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

#include <stdlib.h>

#include <algorithm>
#include <cmath>

namespace t720::linearity {
namespace {

using sim::BenchOptions;
using sim::BenchServer;
using sim::CalibratorModel;
using sim::DmmModel;
using test::RecordingHost;

const std::string kStandin = std::string(T720_BUILD_BIN_DIR) + "/libzorusbcal.so";
constexpr std::string_view kMeasure = "MEAS:VOLT:DC? 1,1E-6";

class ScanBenchTest : public ::testing::Test {
  protected:
    ScanBenchTest() {
        setenv("T720_BENCH_SOCKET", socket.c_str(), 1);
        bench.Start();
        s.DeviceId = "T720-40211";
        s.LinkType = kLinkUsb;
    }
    ~ScanBenchTest() override {
        port.SetPortOpen(false);
        bench.Stop();
        unsetenv("T720_BENCH_SOCKET");
    }

    ScanResult Run() { return Scan(state, ScanContext{s, *library, dmm, RealClock(), host}); }

    std::vector<std::string> CalibratorLines() {
        return bench.WithCalibrator([](const CalibratorModel& m) {
            return std::vector<std::string>(m.received().begin(), m.received().end());
        });
    }
    std::vector<std::string> DmmLines() {
        return bench.WithDmm([](const DmmModel& m) {
            return std::vector<std::string>(m.received().begin(), m.received().end());
        });
    }
    int Readings() {
        return bench.WithDmm([](const DmmModel& m) { return m.readings(); });
    }
    bool Remote() {
        return bench.WithDmm([](const DmmModel& m) { return m.remote(); });
    }
    // The K1Y commands of the first `rows` rows, as the calibrator must receive them.
    static std::vector<std::string> K1YOfRows(int rows) {
        const auto taps = TapSequence();
        std::vector<std::string> lines;
        for (int row = 1; row <= rows; ++row) lines.push_back(K1YText(taps[row]));
        return lines;
    }
    const GridModel& Grid() const { return state.controls.Results; }

    QTemporaryDir dir;
    const std::string socket = dir.filePath("usb.sock").toStdString();
    const std::string dmmLink = dir.filePath("dmm").toStdString();
    BenchServer bench{BenchOptions{.usbSocket = socket, .dmmLink = dmmLink}};
    SharedState s;
    QtSerialPort port{[this](int) { return dmmLink; }};
    DmmLink dmm{port, RealClock()};
    std::unique_ptr<UsbCalLibrary> library = MakeLoadedUsbCalLibrary({kStandin, ""});
    RecordingHost host;
    LinearityState state;
};

TEST_F(ScanBenchTest, AFullRunMeasuresTheDividerTheCalibratorSelected) {
    const ScanResult result = Run();
    ASSERT_EQ(result.outcome, ScanResult::Outcome::Completed) << result.message;

    // The twenty tap settings reached the calibrator in row order, each accepted.
    EXPECT_EQ(CalibratorLines(), K1YOfRows(20));
    EXPECT_EQ(bench.WithCalibrator([](const CalibratorModel& m) { return m.state().taps; }),
              (CalibratorModel::Taps{1, 10, 9, 1}));

    // The meter: remote, its error queue emptied, 40 readings, back to local.
    const std::vector<std::string> lines = DmmLines();
    ASSERT_EQ(lines.size(), 44u);
    EXPECT_EQ(lines[0], "SYST:REM");
    EXPECT_EQ(lines[1], "SYST:ERR?");
    EXPECT_EQ(lines[2], "SYST:ERR?");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kMeasure), 40);
    EXPECT_EQ(lines.back(), "SYST:LOC");
    EXPECT_EQ(Readings(), 40);
    EXPECT_FALSE(Remote());
    EXPECT_FALSE(port.PortOpen());

    // Each row holds what the meter read across the taps of that row: the K1Y was
    // in place before the row's first reading.
    const auto taps = TapSequence();
    for (int row = 1; row <= 20; ++row) {
        const CalibratorModel::Taps t{taps[row].t, taps[row].a, taps[row].b, taps[row].d};
        const double expected = bench.WithDmm([&](const DmmModel& m) { return m.TrueReading(t); });
        EXPECT_NEAR(state.Reading1[row], expected, 1e-6) << row;
        EXPECT_NEAR(state.Reading2[row], expected, 1e-6) << row;
        EXPECT_FALSE(Grid().Cell(row, 1).text.empty()) << row;
        EXPECT_FALSE(Grid().Cell(row, 2).text.empty()) << row;
        EXPECT_EQ(Grid().Cell(row, 2).foreColour, kBlack) << row;  // the pair agrees
    }
    // Evaluated: deviations in the grid, the plot and the optimisation offered.
    EXPECT_FALSE(Grid().Cell(1, 8).text.empty());
    EXPECT_TRUE(state.controls.Picture1.visible);
    EXPECT_TRUE(state.controls.CmdOpt.visible);
    EXPECT_FALSE(s.StopRequest);
    EXPECT_FALSE(result.recordPath.isEmpty()) << result.note;
}

TEST_F(ScanBenchTest, AStopAfterRowTwoEndsTheRunWithTheMeterLocal) {
    host.onYield = [this] {
        if (host.yields == 2) s.StopRequest = true;
    };
    const ScanResult result = Run();
    EXPECT_EQ(result.outcome, ScanResult::Outcome::Stopped);
    EXPECT_EQ(CalibratorLines(), K1YOfRows(2));
    EXPECT_EQ(Readings(), 4);
    EXPECT_EQ(DmmLines().back(), "SYST:LOC");
    EXPECT_FALSE(Remote());
    EXPECT_FALSE(Grid().Cell(2, 2).text.empty());
    EXPECT_TRUE(Grid().Cell(3, 1).text.empty());
    EXPECT_TRUE(Grid().Cell(1, 8).text.empty());  // nothing evaluated
    EXPECT_FALSE(state.controls.CmdOpt.visible);
}

TEST_F(ScanBenchTest, AMeterThatAnswersGarbageAbandonsTheRunWithTheMeterLocal) {
    bench.SetDmmFaults({.garbageAfter = 1});
    const ScanResult result = Run();
    EXPECT_EQ(result.outcome, ScanResult::Outcome::Abandoned);
    EXPECT_NE(result.message.find(std::string(DmmModel::kGarbage)), std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find("row 1"), std::string::npos) << result.message;
    EXPECT_EQ(CalibratorLines(), K1YOfRows(1));
    EXPECT_EQ(DmmLines().back(), "SYST:LOC");
    EXPECT_FALSE(Remote());
    EXPECT_FALSE(Grid().Cell(1, 1).text.empty());
    EXPECT_TRUE(Grid().Cell(1, 2).text.empty());
    EXPECT_TRUE(s.StopRequest);  // the supervision ends the linearity mode
}

}  // namespace
}  // namespace t720::linearity
