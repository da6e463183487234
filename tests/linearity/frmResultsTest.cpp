// The linearity window's wiring on the offscreen platform: it shows the model,
// and the operator's mouse actions reach the linearity logic. The logic itself is
// tested without widgets.
#include "linearity/frmResults.h"

#include "LinearityTestSupport.h"
#include "ScriptedDmm.h"
#include "linearity/ReportDialog.h"
#include "linearity/RunsDialog.h"
#include "linearity/RunsFolder.h"
#include "tests/support/Files.h"
#include "tests/support/Keyboard.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace t720 {
namespace {

class frmResultsTest : public ::testing::Test, protected linearity::test::FakeRunDevices {
  protected:
    frmResultsTest() : window(s, lib, dmm, clock, [] { return std::string("T720S09 V2.01"); }) {
        meter.reading1 = linearity::test::kSkewed;
        meter.reading2 = linearity::test::kSkewed;
        meter.reading1[4] += 3e-6f;  // the two readings of row 4 disagree
        s.LinkState = kLinkLinearityRun;
        window.resize(1300, 680);
        window.Show();
        window.Scan();
    }

    linearity::LinearityState& State() { return window.State(); }
    const linearity::GridModel& Grid() { return window.State().controls.Results; }
    QPoint CellCentre(int row, int col) { return window.Results->CellRect(row, col).center(); }

    // Runs `during` from the first event-loop pass inside the next operation.
    static void DuringNextYield(std::function<void()> during) {
        QTimer::singleShot(0, qApp, std::move(during));
    }

    SharedState s;
    frmResults window;
};

TEST_F(frmResultsTest, ShowsTheRunFromTheModel) {
    ASSERT_EQ(window.LastScan().outcome, linearity::ScanResult::Outcome::Completed);
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Linearitätsmessung"));

    // The grid was laid out for the widget's own size.
    EXPECT_NEAR(Grid().width, window.Results->SizeInTwips().width(), 1.0);
    const auto* grid = window.Results;
    for (int row = 0; row < linearity::GridModel::kRows; ++row)
        for (int col = 0; col < linearity::GridModel::kCols; ++col)
            EXPECT_EQ(grid->CellText(row, col).toStdString(), Grid().Cell(row, col).text);
    EXPECT_EQ(grid->CellBackground(1, 0), window.palette().color(QPalette::Button));
    EXPECT_EQ(grid->CellAlignment(1, 1), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(grid->CellAlignment(1, 4), Qt::AlignCenter);
    EXPECT_EQ(grid->CellForeground(4, 2), QColor(255, 0, 0));
    EXPECT_EQ(grid->CellForeground(5, 2), QColor(0, 0, 0));
    const Colour curve = Grid().Cell(3, 8).backColour;
    EXPECT_EQ(grid->CellBackground(3, 8), QColor::fromRgb(ArgbOf(curve)));
    EXPECT_LT(grid->CellRect(20, 9).bottom(), grid->height());
    EXPECT_LT(grid->CellRect(20, 9).right(), grid->width());

    EXPECT_TRUE(window.Picture1->isVisible());
    EXPECT_FALSE(window.Picture1->Shown().primitives.empty());
    EXPECT_EQ(window.minppm->text(), QString::fromStdString(State().controls.minppm.caption));
    EXPECT_TRUE(window.CmdOpt->isVisible());
    EXPECT_EQ(window.CmdOpt->text(), "Optimierung");
    EXPECT_EQ(window.statusPanel1->text(), "Stopp: hier klicken ->");
    EXPECT_TRUE(window.statusPanel2->text().startsWith("Saved "))
        << window.statusPanel2->text().toStdString();
    EXPECT_EQ(window.statusPanel2->toolTip(), "Saved " + window.LastScan().recordPath);  // where
    // Picture2 stands beside the lower half of the grid.
    EXPECT_GT(window.Picture2->y(), window.Results->height() / 3);
}

TEST_F(frmResultsTest, RightClickInTheShuntColumnChoosesFromThePopUpMenu) {
    DuringNextYield([&] {
        ASSERT_TRUE(window.mnu_rsel->isVisible());
        EXPECT_TRUE(window.mnu_r[0]->isChecked());  // the row's choice so far
        EXPECT_EQ(window.Results->CellBackground(4, 3), QColor(255, 255, 0));
        window.mnu_rsel->setActiveAction(window.mnu_r[3]);
        QTest::keyClick(window.mnu_rsel, Qt::Key_Return);
    });
    QTest::mousePress(window.Results, Qt::RightButton, {}, CellCentre(4, 3));
    EXPECT_EQ(State().RowShunt[4], 3);
    EXPECT_EQ(window.Results->CellText(4, 3), "  750 kOhm");
    EXPECT_EQ(window.Results->CellBackground(4, 3), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(window.Results->CellText(0, 9), "d% tst");  // evaluated with the shunt

    // Dismissed without a choice: the row keeps its shunt.
    DuringNextYield([&] {
        EXPECT_TRUE(window.mnu_r[3]->isChecked());
        QTest::keyClick(window.mnu_rsel, Qt::Key_Escape);
    });
    QTest::mousePress(window.Results, Qt::RightButton, {}, CellCentre(4, 3));
    EXPECT_EQ(State().RowShunt[4], 3);
    EXPECT_EQ(window.Results->CellText(4, 3), "  750 kOhm");

    // Other columns open nothing.
    QTest::mousePress(window.Results, Qt::RightButton, {}, CellCentre(4, 2));
    EXPECT_FALSE(window.mnu_rsel->isVisible());
}

TEST_F(frmResultsTest, LeftClickOnCopyPutsTheGridOnTheClipboard) {
    QGuiApplication::clipboard()->clear();
    QTest::mousePress(window.Results, Qt::LeftButton, {}, CellCentre(0, 0));
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 21);
    EXPECT_EQ(text.count(u'\t'), 21 * 9);
    EXPECT_TRUE(text.startsWith(QStringLiteral("copy\t1.MW in V\t2.MW in V\tR Shunt")));
    EXPECT_EQ(window.statusPanel1->text(), "Copied");
    EXPECT_EQ(Grid().currentRow, 20);  // the copy ends on the last cell
    EXPECT_EQ(Grid().currentCol, 9);
}

TEST_F(frmResultsTest, AStatusBarClickOrEscapeIsTheStopRequestWhileTheWindowIsOn) {
    QTest::mouseClick(window.statusPanel2, Qt::LeftButton);
    EXPECT_TRUE(s.StopRequest);
    s.StopRequest = false;
    QTest::keyClick(window.Results, Qt::Key_Escape);
    EXPECT_TRUE(s.StopRequest);
    s.StopRequest = false;
    window.SetEnabled(false);  // the linearity mode has ended
    QTest::mouseClick(window.statusPanel1, Qt::LeftButton);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(s.StopRequest);
}

// The grid from the keyboard: Ctrl+C copies, the cursor reaches "R Shunt" and the
// menu key (or Shift+F10) there chooses the shunt; elsewhere it opens nothing.
TEST_F(frmResultsTest, KeysCopyTheGridAndChooseAShunt) {
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(window.Results, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().count(QStringLiteral("\r\n")), 21);
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Right,
                              Qt::Key_Right, Qt::Key_Right})
        QTest::keyClick(window.Results, key);
    DuringNextYield([&] {
        ASSERT_TRUE(window.mnu_rsel->isVisible());
        window.mnu_rsel->setActiveAction(window.mnu_r[2]);
        QTest::keyClick(window.mnu_rsel, Qt::Key_Return);
    });
    QTest::keyClick(window.Results, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(State().RowShunt[4], 2);
    EXPECT_EQ(window.Results->CellText(4, 3), "1,0 MOhm");
    QTest::keyClick(window.Results, Qt::Key_Left);
    bool opened = false;
    DuringNextYield([&] {
        opened = window.mnu_rsel->isVisible();
        window.mnu_rsel->close();
    });
    QTest::keyClick(window.Results, Qt::Key_Menu);
    QApplication::processEvents();
    EXPECT_FALSE(opened);
}

TEST_F(frmResultsTest, TabWalksFromTheGridToTheButtonsAndEveryControlIsNamed) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    std::vector<QWidget*> expected{window.Results};
    expected.insert(expected.end(), window.OptiL1.begin(), window.OptiL1.end());
    expected.insert(expected.end(), {window.CmdOpt, window.CmdRuns, window.CmdReport});
    State().controls.Opti.enabled = true;
    window.Render();
    EXPECT_EQ(test::TabOrder(window.Results), expected);
    EXPECT_EQ(test::Unnamed(window), std::vector<QString>{});
}

TEST_F(frmResultsTest, AClickOnASummaryLineTakesItsShuntsOver) {
    // When a line cannot be taken over is tested on the model (WindowActionsTest).
    linearity::LinearityState& st = State();
    st.BestShunt[1][2] = 3;
    st.controls.OptiL1[1] = "1 Rs:  Bew=     1.0";
    st.controls.Opti.enabled = true;  // as an optimisation leaves it
    window.Render();
    QTest::mouseClick(window.OptiL1[1], Qt::LeftButton);
    EXPECT_EQ(st.RowShunt[2] + st.RowShunt[19], 3);
    const int row = st.RowShunt[2] == 3 ? 2 : 19;
    EXPECT_EQ(window.Results->CellText(row, 3), "  750 kOhm");
    // Return on a focused line takes it over: no shunts for line 0.
    st.controls.OptiL1[0] = "0 Rs:  Bew=     9.0";
    window.Render();
    QTest::keyClick(window.OptiL1[0], Qt::Key_Return);
    EXPECT_EQ(st.RowShunt[row], 0);
    EXPECT_EQ(window.Results->CellText(row, 3), "");
}

TEST_F(frmResultsTest, ClosingWaitsForTheSearchAndOnlyHidesTheWindow) {
    bool closed = true;
    DuringNextYield([&] { closed = window.close(); });
    window.CmdOpt->click();
    EXPECT_FALSE(closed);              // refused while the search was on the stack...
    EXPECT_FALSE(window.Busy());       // ...which the close asked to stop
    EXPECT_FALSE(window.isVisible());  // and the window went once it had returned
    EXPECT_TRUE(State().controls.OptiL1[4].empty());

    // The supervision brings it back to show the last run again.
    s.StopRequest = false;
    window.Scanx();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.Results->isVisible());

    // Closed while idle in the linearity mode: hidden, and the mode is to end.
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(s.StopRequest);
}

// Runs `act` on the modal dialog of type D that the next operation opens.
template <typename D>
void InNextDialog(std::function<void(D&)> act) {
    QTimer::singleShot(0, qApp, [act] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        act(*dialog);
    });
}

// The run's record compared with an earlier one, a shunt chosen, the report
// written and the earlier record opened: "Runs…" and "Report…" with real clicks
// and keys.
TEST_F(frmResultsTest, RunsAndReportWorkOnTheRecordsOfTheRuns) {
    using linearity::ReportDialog;
    using linearity::RunsDialog;
    ASSERT_TRUE(window.Records->HasRun());
    linearity::RunRecord earlier = *window.LastScan().record;
    earlier.utcTime = "2020-01-02T03:04:05Z";  // the oldest: the list's last line
    for (int row = 1; row <= 20; ++row) earlier.reading2[row] = linearity::test::kSkewed[row];
    earlier.reading2[2] *= 1.0001;
    const QString earlierPath =
        linearity::SaveRunRecord(linearity::RunRecordDirectory(), earlier).path;
    const QString earlierName = QFileInfo(earlierPath).fileName();

    InNextDialog<RunsDialog>([&](RunsDialog& d) {
        QTest::keyClick(d.list, Qt::Key_End);
        EXPECT_EQ(d.list->currentItem()->text(5), earlierName);
        QTest::mouseClick(d.asFoundButton, Qt::LeftButton);
    });
    QTest::mouseClick(window.CmdRuns, Qt::LeftButton);
    EXPECT_TRUE(window.windowTitle().endsWith("as found: " + earlierName));
    ASSERT_TRUE(window.Records->comparison->isVisible());
    EXPECT_EQ(window.Picture1->Shown().legend.size(), 2u);
    const QTableWidget* table = window.Records->comparison->table;
    EXPECT_EQ(table->item(1, 0)->text(), "90 %");

    // A shunt by hand, then the report.
    DuringNextYield([&] {
        window.mnu_rsel->setActiveAction(window.mnu_r[3]);
        QTest::keyClick(window.mnu_rsel, Qt::Key_Return);
    });
    QTest::mousePress(window.Results, Qt::RightButton, {}, CellCentre(3, 3));
    QTemporaryDir out;
    const QString pdf = out.path() + "/report.pdf";
    InNextDialog<ReportDialog>([&](ReportDialog& d) {
        QTest::keyClicks(d.operatorEdit, "A. Tester");
        QTest::keyClick(d.operatorEdit, Qt::Key_Tab);
        ASSERT_EQ(d.focusWidget(), d.dmmEdit);
        QTest::keyClicks(d.dmmEdit, "DMM-0042");
        d.pathEdit->clear();
        QTest::keyClicks(d.pathEdit, pdf);
        QTest::keyClick(d.pathEdit, Qt::Key_Return);
    });
    QTest::mouseClick(window.CmdReport, Qt::LeftButton);
    EXPECT_EQ(window.statusPanel2->text(), "Report written: " + pdf);
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    for (int row = 0; row < linearity::GridModel::kRows; ++row)
        for (int col = 0; col < linearity::GridModel::kCols; ++col)
            EXPECT_TRUE(text.contains(window.Results->CellText(row, col).trimmed()))
                << row << "," << col;
    for (int row = 0; row < 11; ++row) EXPECT_TRUE(text.contains(table->item(row, 3)->text()));
    EXPECT_TRUE(text.contains(earlierName));
    EXPECT_TRUE(text.contains("A. Tester"));
    const linearity::NotesParse notes = linearity::ReadRunNotes(window.LastScan().recordPath);
    ASSERT_TRUE(notes.notes) << notes.error;
    EXPECT_EQ(notes.notes->dmm, "DMM-0042");
    EXPECT_EQ(notes.notes->shunts[3], 3);
    EXPECT_EQ(notes.notes->asFound, earlierName.toStdString());

    // Operator and DMM are remembered; a report that cannot be written says why.
    InNextDialog<ReportDialog>([&](ReportDialog& d) {
        EXPECT_EQ(d.operatorEdit->text(), "A. Tester");
        d.pathEdit->setText(out.path() + "/gone/report.pdf");
        QTest::mouseClick(d.writeButton, Qt::LeftButton);
    });
    QTest::mouseClick(window.CmdReport, Qt::LeftButton);
    EXPECT_EQ(window.statusPanel2->text(),
              "Report not written: the folder " + out.path() + "/gone is not there");

    // The earlier record opened with the keyboard: shown as a run that measured it.
    InNextDialog<RunsDialog>([&](RunsDialog& d) {
        QTest::keyClick(d.list, Qt::Key_End);
        QTest::keyClick(d.list, Qt::Key_Return);
    });
    QTest::mouseClick(window.CmdRuns, Qt::LeftButton);
    EXPECT_TRUE(window.windowTitle().contains(earlierName)) << window.windowTitle().toStdString();
    EXPECT_FALSE(window.Records->comparison->isVisible());
    EXPECT_EQ(State().Reading2[2], static_cast<float>(earlier.reading2[2]));
    EXPECT_TRUE(window.CmdOpt->isVisible());

    // The records folder set in the dialog goes to the settings file.
    InNextDialog<RunsDialog>([&](RunsDialog& d) {
        d.folderEdit->clear();
        QTest::keyClicks(d.folderEdit, out.path());
        QTest::keyClick(d.folderEdit, Qt::Key_Return);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.list->topLevelItemCount(), 0);
        d.reject();
    });
    QTest::mouseClick(window.CmdRuns, Qt::LeftButton);
    EXPECT_EQ(linearity::CurrentRunsFolder().path, out.path());
    EXPECT_EQ(linearity::SetRunsFolder({}), "");
}

}  // namespace
}  // namespace t720
