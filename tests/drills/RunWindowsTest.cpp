// Linearity runs through the windows the operator uses: the whole program in this
// process against the bench, real mouse events on the real widgets, the pauses of
// the run skipped (FastClock) but every exchange with the devices real.
#include <QApplication>
#include <QContextMenuEvent>
#include <QTest>
#include <algorithm>

#include "linearity/TapSequence.h"
#include "link/CalCommands.h"
#include "tests/drills/FaultDrill.h"
#include "tests/support/FastClock.h"

namespace t720::drill {
namespace {

using Outcome = linearity::ScanResult::Outcome;

class RunWindows : public FaultDrill {
  protected:
    RunWindows() { clock = &fast; }

    frmTor720& Main() { return program->Window(); }
    frmResults& Results() { return program->LinearityWindow(); }
    QString Status(QLabel* panel) { return panel->text(); }
    // The window system tells of a window's activation by an event of its own.
    bool InFront(QWidget& window) {
        QCoreApplication::processEvents();
        return window.isActiveWindow();
    }
    int Count(const std::vector<std::string>& lines, const std::string& line) {
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    int Taps() {
        const auto record = CalibratorRecord();
        return static_cast<int>(std::count_if(
            record.begin(), record.end(), [](const auto& l) { return l.rfind("K1Y ", 0) == 0; }));
    }

    // "Spez" clicked; `act` runs once from the run's own event handling, at the
    // first yield after `rows` rows; then the loop runs until the run has returned.
    bool Run(int rows, const std::function<void()>& act) {
        const int tapsBefore = Taps();
        bool acted = false;
        QTimer hand;
        QObject::connect(&hand, &QTimer::timeout, [&] {
            const frmResults* results = program->LinearityWindowIfMade();
            if (acted || !results || !results->Busy() || Taps() - tapsBefore < rows) return;
            acted = true;
            act();
        });
        hand.start(0);
        QTest::mouseClick(Main().Commandsp, Qt::LeftButton);
        return RunUntil([&] { return acted && !Results().Busy(); }) && acted;
    }

    test::FastClock fast;
};

TEST_F(RunWindows, TheMainWindowIsOffForTheRunAndEitherStatusBarStopsIt) {
    ASSERT_NO_FATAL_FAILURE(StartForLinearity());
    const char* kPrompt = "Stopp: hier klicken ->";

    // While the run measures, nothing in the main window acts but its status bar.
    ASSERT_TRUE(Run(1, [&] {
        EXPECT_FALSE(Main().Command6->isEnabled());
        EXPECT_TRUE(Results().isEnabled());
        EXPECT_EQ(Status(Results().statusPanel1), kPrompt);
        QTest::mousePress(Main().Command6, Qt::LeftButton);
        QTest::mouseRelease(Main().Command6, Qt::LeftButton);
        QTest::mouseClick(Main().CommandCOM1, Qt::LeftButton);
        QTest::mousePress(Main().CommandCOM2, Qt::RightButton);
        QTest::mouseClick(Main().Commandsp, Qt::LeftButton);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, {2, 2}, Main().mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(Main().ChanLabel, &menu);  // nor does its context menu open
        EXPECT_FALSE(Main().contextMenu->isVisible());
        QTest::keyClick(Main().CommandCOM2, Qt::Key_Menu);
        EXPECT_FALSE(Main().com2Menu->isVisible());
        QTest::mouseClick(Results().statusPanel1, Qt::LeftButton);
    }));
    EXPECT_EQ(Results().LastScan().outcome, Outcome::Stopped);
    EXPECT_EQ(Taps(), 1);
    EXPECT_EQ(program->State().LinkType, kLinkUsb);
    EXPECT_EQ(program->State().ComIncr, 0);
    EXPECT_FALSE(program->State().ScanRequest);
    // The main window is back in use and in front; the results window is off, and
    // says how the run ended instead of offering a stop.
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(Main().Command6->isEnabled());
    EXPECT_TRUE(InFront(Main()));
    EXPECT_FALSE(Results().isEnabled());
    EXPECT_EQ(Status(Results().statusPanel1), "Run stopped after row 1");
    EXPECT_EQ(Status(Main().statusPanel2), "Run stopped after row 1");

    // A second run brings the results window back into use; the main window's
    // status bar stops it.
    ASSERT_TRUE(Run(3, [&] {
        EXPECT_TRUE(Results().isEnabled());
        EXPECT_EQ(Status(Results().statusPanel1), kPrompt);
        EXPECT_EQ(Status(Main().statusPanel2), "");
        QTest::mouseClick(Main().statusPanel1, Qt::LeftButton);
    }));
    EXPECT_EQ(Results().LastScan().outcome, Outcome::Stopped);
    EXPECT_EQ(Status(Main().statusPanel2), "Run stopped after row 3");
    EXPECT_TRUE(InFront(Main()));

    // A right click on "Spez" shows that run again, in use, with its stop prompt.
    // Nothing polls in the mode, so the main window is out of use for all of it
    // and comes back in front after the stop.
    QTest::mousePress(Main().Commandsp, Qt::RightButton);
    EXPECT_FALSE(Main().Channel[2]->isEnabled());
    ASSERT_TRUE(RunPassesUntil([&] { return Results().isEnabled(); }));
    EXPECT_EQ(program->State().LinkState, kLinkLinearityRun);
    EXPECT_EQ(Status(Results().statusPanel1), kPrompt);
    const uint64_t sent = CalibratorLines();
    QTest::mouseClick(Main().Channel[2], Qt::LeftButton);
    QTest::mousePress(Main().Command6, Qt::LeftButton);
    QTest::mouseRelease(Main().Command6, Qt::LeftButton);
    EXPECT_EQ(Main().ChanLabel->text().toStdString(), ChanLabelText(0));
    EXPECT_EQ(CalibratorLines(), sent);
    QTest::mouseClick(Results().statusPanel1, Qt::LeftButton);
    ASSERT_TRUE(RunPassesUntil([&] { return Connected(); }));
    EXPECT_TRUE(Main().Channel[2]->isEnabled());
    EXPECT_TRUE(InFront(Main()));
    // And from the keyboard: the menu of "Spez", then Escape in the results window;
    // the main window comes back with the focus where the operator left it.
    Main().Commandsp->setFocus();
    QTest::keyClick(Main().Commandsp, Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(Main().spezMenu, Qt::Key_Return);
    ASSERT_TRUE(RunPassesUntil([&] { return Results().isEnabled(); }));
    QTest::keyClick(&Results(), Qt::Key_Escape);
    ASSERT_TRUE(RunPassesUntil([&] { return Connected(); }));
    EXPECT_TRUE(InFront(Main()));
    EXPECT_EQ(QApplication::focusWidget(), Main().Commandsp);

    // A completed run leaves the mode on: greyed-out buttons stay dead.
    ASSERT_TRUE(Run(20, [] {}));
    ASSERT_EQ(Results().LastScan().outcome, Outcome::Completed);
    // Both readings of a row are of the taps the calibrator selected for it.
    const auto taps = linearity::TapSequence();
    for (int row = 1; row <= 20; ++row) {
        const sim::CalibratorModel::Taps t{taps[row].t, taps[row].a, taps[row].b, taps[row].d};
        const double across = bench->WithDmm([&](const auto& m) { return m.TrueReading(t); });
        EXPECT_NEAR(Results().State().DmmReading1[row], across, 1e-6) << row;
        EXPECT_NEAR(Results().State().DmmReading2[row], across, 1e-6) << row;
    }
    const uint64_t lines = CalibratorLines();
    QTest::mousePress(Main().Command6, Qt::LeftButton);
    QTest::mouseRelease(Main().Command6, Qt::LeftButton);
    QTest::mousePress(Main().CommandCOM2, Qt::RightButton);
    ASSERT_TRUE(RunPasses(3));
    EXPECT_EQ(CalibratorLines(), lines);  // nothing sent, no polling in the mode
    EXPECT_EQ(program->State().LinkState, kLinkLinearityRun);
    EXPECT_EQ(program->State().ComIncr, 0);
    QTest::mouseClick(Results().statusPanel1, Qt::LeftButton);
    ASSERT_TRUE(RunPassesUntil([&] { return Connected(); }));
    EXPECT_EQ(Status(Results().statusPanel1), "");  // nothing left to stop

    const auto record = CalibratorRecord();
    EXPECT_EQ(Count(record, K1BText(0, 1, 0)), 0);  // never a beep in between
    EXPECT_EQ(Count(record, "DCL"), 0);             // never a change of link
}

TEST_F(RunWindows, AnIdleStopClickStopsNothingAndTheSearchOwnsTheWindows) {
    ASSERT_NO_FATAL_FAILURE(StartForLinearity());
    // Clicked while connected and idle, it leaves nothing pending: a calibrator that
    // falls silent is reported at once, and the next run measures every row.
    QTest::mouseClick(Main().statusPanel1, Qt::LeftButton);
    SetCalibratorFaults({.silent = true});
    ASSERT_TRUE(RunPasses(2));
    EXPECT_TRUE(Main().Textremo->isVisible());
    EXPECT_EQ(Main().Textremo->text(), "No answer from USB bus !");
    SetCalibratorFaults({});
    ASSERT_TRUE(RunPassesUntil([&] { return !Main().Textremo->isVisible(); }));
    ASSERT_TRUE(Run(20, [] {}));
    EXPECT_EQ(Results().LastScan().outcome, Outcome::Completed);
    EXPECT_EQ(Taps(), 20);

    // That run shown again. During its shunt search "Spez" is out of use, and a stop
    // click is the search's, even when a timer pass sees it first: the search ends
    // early, the linearity mode stays.
    QTest::mouseClick(Results().statusPanel1, Qt::LeftButton);
    ASSERT_TRUE(RunPassesUntil([&] { return Connected(); }));
    QTest::mousePress(Main().Commandsp, Qt::RightButton);
    ASSERT_TRUE(RunPassesUntil([&] { return Results().isEnabled(); }));
    bool clicked = false;
    QTimer hand;
    QObject::connect(&hand, &QTimer::timeout, [&] {
        if (clicked || !Results().Searching()) return;
        clicked = true;
        QTest::mouseClick(Main().Commandsp, Qt::LeftButton);
        EXPECT_FALSE(program->State().ScanRequest);
        QTest::mouseClick(Results().statusPanel1, Qt::LeftButton);
        program->State().TickCountdown = 0;
        program->Supervision().TimerTick();
    });
    hand.start(0);
    QTest::mouseClick(Results().CmdOpt, Qt::LeftButton);
    ASSERT_TRUE(clicked);
    const auto& lines = Results().State().controls.OptiL1;
    EXPECT_EQ(lines[0].rfind("0 Rs:", 0), 0u);
    EXPECT_TRUE(lines[4].empty());
    EXPECT_FALSE(program->State().StopRequest);
    EXPECT_EQ(program->State().LinkState, kLinkLinearityRun);
    EXPECT_EQ(Taps(), 20);
    QTest::mouseClick(Results().statusPanel1, Qt::LeftButton);
    ASSERT_TRUE(RunPassesUntil([&] { return Connected(); }));
    EXPECT_TRUE(Main().Commandsp->isEnabled());
    EXPECT_TRUE(InFront(Main()));
}

TEST_F(RunWindows, ACalibratorFoundAfterStartUpShowsItsRangesInBothLabels) {
    // The variant's first range is 0.5 mV/V: every percent value gets two decimals.
    WriteSettings("[Properties]\nConnection=1\nT720Range=1\nT720Proze=5\n");
    StartProgram();
    ASSERT_FALSE(Connected());
    StartBench({.usbSocket = usbSocket});
    ASSERT_TRUE(RunPassesUntil([&] { return Connected(); }));
    Main().Render();
    EXPECT_EQ(Main().RangeLabel->text().toStdString(), RangeLabelText(555));
    EXPECT_EQ(Main().ProzLabel->text().toStdString(), ProzLabelText(false, 5, 0.5, true));
}

TEST_F(RunWindows, TheResultsWindowFitsA1024By768Screen) {
    ASSERT_NO_FATAL_FAILURE(StartForLinearity());
    ASSERT_TRUE(Run(20, [] {}));
    frmResults& results = Results();
    EXPECT_LE(results.minimumSizeHint().width(), 1000);
    EXPECT_LE(results.minimumSizeHint().height(), 700);
    results.resize(1000, 700);
    QTest::mouseClick(results.CmdOpt, Qt::LeftButton);  // the summary lines, the widest texts
    QCoreApplication::processEvents();
    // Every text whole on one line, every cell of a column in the column's font; the
    // plot and the optimisation pane beside the grid, inside the window.
    for (int row = 0; row < linearity::GridModel::kRows; ++row)
        for (int col = 0; col < linearity::GridModel::kCols; ++col) {
            EXPECT_TRUE(results.Results->CellTextFits(row, col)) << row << "," << col;
            EXPECT_EQ(results.Results->CellFont(row, col), results.Results->ColumnFont(col))
                << row << "," << col;
        }
    for (const QLabel* line : results.OptiL1) {
        EXPECT_FALSE(line->text().isEmpty());
        EXPECT_LE(line->sizeHint().width(), line->width()) << line->text().toStdString();
    }
    const QRect grid = results.Results->geometry();
    const QRect side = results.Picture1->parentWidget()->geometry();
    EXPECT_LE(grid.right(), side.left());
    EXPECT_LE(side.right(), results.width());
}

}  // namespace
}  // namespace t720::drill
