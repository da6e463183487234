// The linearity run as the operator meets it: the real supervision pass starts it
// in the real results window, a click on that window's status bar stops it, the
// pass ends the mode, and a re-display shows the run again without measuring.
#include "LinearityTestSupport.h"
#include "ScriptedDmm.h"
#include "linearity/frmResults.h"
#include "supervision/Supervisor.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/Passes.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include <memory>

namespace t720 {
namespace {

using linearity::test::ScriptedDmm;
using test::FakeMainWindow;

class LinearityPacingTest : public ::testing::Test, protected linearity::test::FakeRunDevices {
  protected:
    LinearityPacingTest()
        : comm1(clock),
          cal(s, comm1, lib, clock),
          win(s),
          sup(s, cal, win, [this]() -> LinearityPort& {
              if (!results) results = std::make_unique<frmResults>(s, lib, dmm, clock);
              return *results;
          }) {
        s.RangeIdx = 1;
        s.RangeTab = {0, 2, 5, 10, 20, 100, 1000};
        meter.reading1 = meter.reading2 = linearity::test::kSkewed;
    }

    void Pass() { test::RunOnePass(sup, s); }
    int TapCommands() const {
        int n = 0;
        for (const auto& call : lib.calls) n += call.command.rfind("K1Y ", 0) == 0;
        return n;
    }

    SharedState s;
    test::FakeSerialPort comm1;
    Calibrator cal;
    FakeMainWindow win;
    std::unique_ptr<frmResults> results;
    Supervisor sup;
};

TEST_F(LinearityPacingTest, StopFromTheResultsWindowThenShowTheRunAgain) {
    sup.OpenComPort(kLinkUsb, false);
    ASSERT_EQ(s.LinkState, kLinkConnected);
    EXPECT_FALSE(results);  // made on first use

    // The operator clicks the results window's status bar while row 3 is measured;
    // the click is handled at the row's yield.
    meter.onQuery = [&](int query, std::vector<ScriptedDmm::Reply>&) {
        if (query == 1) {
            EXPECT_FALSE(win.enabled);  // the main window is off while the run lasts
            EXPECT_EQ(win.statusPanel1, "");
            // Ticks that arrive meanwhile start no second pass.
            const int16_t before = s.TickCountdown;
            for (int i = 0; i < 30; ++i) sup.TimerTick();
            EXPECT_EQ(s.TickCountdown, before);
        }
        if (query == 5)
            QTimer::singleShot(0, qApp,
                               [&] { QTest::mouseClick(results->statusPanel1, Qt::LeftButton); });
        return false;
    };
    s.ScanRequest = true;  // "Spez"
    Pass();

    ASSERT_TRUE(results);
    EXPECT_EQ(results->LastScan().outcome, linearity::ScanResult::Outcome::Stopped);
    EXPECT_EQ(TapCommands(), 3);
    EXPECT_EQ(dmmPort.lines.back(), "SYST:LOC");
    EXPECT_FALSE(dmmPort.PortOpen());
    const linearity::GridModel& grid = results->State().controls.Results;
    EXPECT_FALSE(grid.Cell(3, 2).text.empty());  // the row under way is completed
    EXPECT_TRUE(grid.Cell(4, 1).text.empty());
    EXPECT_FALSE(results->State().controls.CmdOpt.visible);  // nothing evaluated
    EXPECT_TRUE(results->LastScan().recordPath.isEmpty());   // nor kept

    // The same pass ended the linearity mode.
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_TRUE(s.ScanEnded);
    EXPECT_FALSE(s.StopRequest);
    EXPECT_TRUE(win.enabled);
    EXPECT_FALSE(results->isEnabled());
    EXPECT_TRUE(results->isVisible());  // switched off, not hidden
    EXPECT_FALSE(results->Results->isVisibleTo(results.get()));

    // Right click on "Spez": the run is shown again, not measured again.
    s.LinkState = kLinkRedisplay;
    Pass();
    EXPECT_EQ(s.LinkState, kLinkLinearityRun);
    EXPECT_TRUE(results->isEnabled());
    EXPECT_TRUE(results->Results->isVisible());
    EXPECT_EQ(TapCommands(), 3);
    EXPECT_EQ(results->Results->CellText(3, 0), "R 114");
    lib.calls.clear();
    Pass();
    EXPECT_TRUE(lib.calls.empty());  // no polling in the linearity mode
    EXPECT_EQ(s.LinkState, kLinkLinearityRun);
}

TEST_F(LinearityPacingTest, AStopClickDuringTheSearchEndsTheSearchAndTheModeStays) {
    sup.OpenComPort(kLinkUsb, false);
    s.ScanRequest = true;
    Pass();  // a whole run on the fake clock
    ASSERT_EQ(results->LastScan().outcome, linearity::ScanResult::Outcome::Completed);
    ASSERT_EQ(s.LinkState, kLinkLinearityRun);

    // At the search's first yield: a stop click, then the timer's pass sees it
    // before the search does.
    QTimer::singleShot(0, qApp, [&] {
        QTest::mouseClick(results->statusPanel1, Qt::LeftButton);
        s.TickCountdown = 0;
        sup.TimerTick();
    });
    results->CmdOpt->click();

    const auto& lines = results->State().controls.OptiL1;
    EXPECT_EQ(lines[0].rfind("0 Rs:", 0), 0u);
    EXPECT_TRUE(lines[4].empty());  // the search ended early
    EXPECT_FALSE(s.StopRequest);
    EXPECT_EQ(s.LinkState, kLinkLinearityRun);  // the mode stays
    EXPECT_TRUE(results->Results->isVisible());

    QTest::mouseClick(results->statusPanel1, Qt::LeftButton);
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_TRUE(win.enabled);
}

TEST_F(LinearityPacingTest, AStopClickedWhileIdleEndsTheNextRunInItsOwnPass) {
    sup.OpenComPort(kLinkUsb, false);
    s.StopRequest = true;  // the status bar clicked while connected and idle
    s.ScanRequest = true;
    Pass();
    EXPECT_EQ(results->LastScan().outcome, linearity::ScanResult::Outcome::Stopped);
    EXPECT_EQ(TapCommands(), 1);  // seen after the first row
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_FALSE(s.StopRequest);
}

}  // namespace
}  // namespace t720
