// The real supervision pass and the real results window, with the main window
// faked: how a stop click meets the shunt search and a run started after it. Runs
// through both real windows are drilled with the whole program (tests/drills).
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
