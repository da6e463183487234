// The linearity run against the simulated bench, in real time: the calibrator's
// divider set through the stand-in USB library, the DMM read over its own
// pseudo-terminal with the program's serial port. A full run takes its 26 s of
// settling pauses.
#include "linearity/Scan.h"

#include "LinearityTestSupport.h"
#include "linearity/TapSequence.h"
#include "link/QtSerialPort.h"
#include "tests/support/BenchRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace t720::linearity {
namespace {

using sim::CalibratorModel;
using sim::DmmModel;
using test::RecordingHost;

constexpr std::string_view kMeasure = "MEAS:VOLT:DC? 1,1E-6";

class ScanBenchTest : public ::testing::Test, protected t720::test::BenchRig {
  protected:
    ScanBenchTest() {
        StartBench({.usbSocket = usbSocket, .dmmLink = dmmLink});
        s.DeviceId = "T720-40211";
        s.LinkType = kLinkUsb;
    }
    ~ScanBenchTest() override { port.SetPortOpen(false); }

    ScanResult Run() { return Scan(state, ScanContext{s, *library, dmm, RealClock(), host}); }
    template <class F>
    auto Dmm(F f) {
        return bench->WithDmm([&](const DmmModel& m) { return f(m); });
    }
    const GridModel& Grid() const { return state.controls.Results; }

    SharedState s;
    QtSerialPort port{[this](int) { return dmmLink; }};
    DmmLink dmm{port, RealClock()};
    std::unique_ptr<UsbCalLibrary> library = t720::test::LoadStandin();
    RecordingHost host;
    LinearityState state;
};

TEST_F(ScanBenchTest, AFullRunMeasuresTheDividerTheCalibratorSelected) {
    const ScanResult result = Run();
    ASSERT_EQ(result.outcome, ScanResult::Outcome::Completed) << result.message;

    // The twenty tap settings reached the calibrator in row order, each accepted.
    EXPECT_EQ(CalibratorRecord(), test::kRunK1Y);
    EXPECT_EQ(CalibratorState().taps, (CalibratorModel::Taps{1, 10, 9, 1}));

    // The meter: remote, its error queue emptied, 40 readings, back to local.
    const std::vector<std::string> lines = DmmRecord();
    ASSERT_EQ(lines.size(), 44u);
    EXPECT_EQ(lines[0], "SYST:REM");
    EXPECT_EQ(lines[1], "SYST:ERR?");
    EXPECT_EQ(lines[2], "SYST:ERR?");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kMeasure), 40);
    EXPECT_EQ(lines.back(), "SYST:LOC");
    EXPECT_EQ(Dmm([](const DmmModel& m) { return m.readings(); }), 40);
    EXPECT_FALSE(Dmm([](const DmmModel& m) { return m.remote(); }));
    EXPECT_FALSE(port.PortOpen());

    // Each row holds what the meter read across the taps of that row: the K1Y was
    // in place before the row's first reading.
    const auto taps = TapSequence();
    for (int row = 1; row <= 20; ++row) {
        const CalibratorModel::Taps t{taps[row].t, taps[row].a, taps[row].b, taps[row].d};
        const double expected = Dmm([&](const DmmModel& m) { return m.TrueReading(t); });
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

}  // namespace
}  // namespace t720::linearity
