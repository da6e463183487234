// Faults during the linearity measurement, played against the whole program in
// this process: a DMM that falls silent in the middle of a run, and the end of the
// program by a signal while a run, the shunt search or the shunt menu holds the
// thread.
#include <signal.h>

#include <QTest>

#include "tests/drills/FaultDrill.h"

namespace t720::drill {
namespace {

using Outcome = linearity::ScanResult::Outcome;

// What the meter may answer instead of a reading is the scan's business (tests of
// linearity); here the run meets a meter that falls silent after row 1.
TEST_F(FaultDrill, DmmFallsSilentMidRun) {
    const std::string message = "Run abandoned: no answer from the DMM in row 2";
    ASSERT_NO_FATAL_FAILURE(StartForLinearity({.silentAfter = 2}));
    const CpuShare cpu(ThreadCpuSeconds);
    QTest::mouseClick(program->Window().Commandsp, Qt::LeftButton);
    // The run lives inside one pass; when it has returned, the mode is over.
    ASSERT_TRUE(RunUntil([&] {
        const frmResults* results = program->LinearityWindowIfMade();
        return results && !results->Busy() && Connected();
    }));
    EXPECT_LT(cpu.Share(), kIdleCpuShare);  // it waited for the meter, it did not spin

    const frmResults& results = *program->LinearityWindowIfMade();
    EXPECT_EQ(results.LastScan().outcome, Outcome::Abandoned);
    EXPECT_EQ(results.statusPanel1->text().toStdString(), message);
    EXPECT_FALSE(DmmRemote());
    EXPECT_EQ(DmmRecord().back(), "SYST:LOC");
    EXPECT_FALSE(program->Dmm().IsOpen());

    // Ended as after a stop: the main window back in use, telling why, the
    // calibrator polled.
    EXPECT_TRUE(program->Window().Command6->isEnabled());
    EXPECT_EQ(program->Window().statusPanel2->text().toStdString(), message);
    EXPECT_TRUE(program->State().ScanEnded);
    const uint64_t lines = CalibratorLines();
    ASSERT_TRUE(RunPasses(3));
    EXPECT_GE(CalibratorLines(), lines + 6);
    EXPECT_FALSE(Model().TextremoVisible) << Model().Textremo;
}

// Raises SIGTERM once, from the event loop, as soon as `when` holds.
class RaiseWhen {
  public:
    explicit RaiseWhen(std::function<bool()> when) {
        QObject::connect(&timer_, &QTimer::timeout, [this, when] {
            if (raised_ || !when()) return;
            raised_ = true;
            raise(SIGTERM);
        });
        timer_.start(5);
    }
    bool Raised() const { return raised_; }

  private:
    QTimer timer_;
    bool raised_ = false;
};

// The link the program kept at its end; the settings held no values before.
QString SavedLink(const QString& ini) {
    return QSettings(ini, QSettings::IniFormat).value("Properties/Connection").toString();
}

TEST_F(FaultDrill, SigtermDuringALinearityRun) {
    ASSERT_NO_FATAL_FAILURE(StartForLinearity());
    // The signal comes while the run yields at the end of a row.
    const RaiseWhen signal([&] {
        const frmResults* results = program->LinearityWindowIfMade();
        return results && results->Busy();
    });
    ASSERT_TRUE(RunToQuit([&] { QTest::mouseClick(program->Window().Commandsp, Qt::LeftButton); }));
    ASSERT_TRUE(signal.Raised());

    const frmResults& results = *program->LinearityWindowIfMade();
    EXPECT_EQ(results.LastScan().outcome, Outcome::Stopped);
    const std::vector<std::string> dmm = DmmRecord();
    // Stopped after the row in which the signal came, or the next one.
    EXPECT_LE(std::count(dmm.begin(), dmm.end(), "MEAS:VOLT:DC? 1,1E-6"), 4);
    EXPECT_EQ(dmm.back(), "SYST:LOC");
    EXPECT_FALSE(DmmRemote());
    EXPECT_FALSE(program->Dmm().IsOpen());
    EXPECT_EQ(CalibratorRecord().back(), "DCL");
    EXPECT_EQ(SavedLink(Ini()), "1");
}

// The signal comes while the search yields with the shunt menu open above it: the
// menu's own loop and the search both give way.
TEST_F(FaultDrill, SigtermDuringTheShuntSearchWithItsMenuOpen) {
    ASSERT_NO_FATAL_FAILURE(StartForLinearity());
    frmResults& results = ShowCompletedRun();
    bool menuWasOpen = false;
    // At a yield of the search the operator right-clicks a shunt cell; the signal
    // comes while the menu is open.
    const RaiseWhen signal([&] { return menuWasOpen; });
    bool opened = false;
    QTimer operatorHand;
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        if (opened || !results.Busy()) return;
        opened = true;
        QTimer::singleShot(0, [&] { menuWasOpen = results.mnu_rsel->isVisible(); });
        QTest::mousePress(results.Results, Qt::RightButton, {},
                          results.Results->CellRect(4, 3).center());
    });
    operatorHand.start(5);
    ASSERT_TRUE(RunToQuit([&] { results.CmdOpt->click(); }));
    ASSERT_TRUE(menuWasOpen);
    ASSERT_TRUE(signal.Raised());

    EXPECT_FALSE(results.mnu_rsel->isVisible());
    EXPECT_FALSE(results.Busy());
    EXPECT_TRUE(results.State().controls.OptiL1[4].empty());  // the search was cut short
    EXPECT_EQ(CalibratorRecord().back(), "DCL");
    EXPECT_EQ(SavedLink(Ini()), "1");
}

}  // namespace
}  // namespace t720::drill
