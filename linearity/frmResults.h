// The linearity window "Linearitätsmessung": renders the model of its controls
// (LinearityState::controls) and hands the operator's actions to the linearity
// logic. The supervision pass drives it as a LinearityView (show, switch on/off,
// the run, leaving and re-entering the linearity mode); the logic reaches it as a
// WindowHost (paint now, yield).
#pragma once

#include "app/Clock.h"
#include "app/SharedState.h"
#include "linearity/DmmLink.h"
#include "linearity/GridWidget.h"
#include "linearity/LinearityState.h"
#include "linearity/PictureWidget.h"
#include "linearity/RecordDesk.h"
#include "linearity/Scan.h"
#include "linearity/WindowHost.h"
#include "link/UsbCalLibrary.h"
#include "supervision/LinearityView.h"

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

class QHBoxLayout;

namespace t720 {

class frmResults final : public QWidget, public LinearityView, public linearity::WindowHost {
    Q_OBJECT
  public:
    // `identification` gives the connected calibrator's identification for the
    // run records.
    frmResults(SharedState& shared, UsbCalLibrary& library, DmmLink& dmm, Clock& clock,
               std::function<std::string()> identification = {}, QWidget* parent = nullptr);

    // --- LinearityView ---
    void Show() override;
    void SetEnabled(bool enabled) override;
    void Scan() override;
    // Leaving the linearity mode: the grid is hidden, and the status bar no longer
    // offers a stop; it tells why the run ended when it did not complete.
    void ScanEnd() override;
    void Scanx() override;  // re-entering it: the window, the grid and the stop prompt come back

    // Told "" when a run starts and, when it has returned, why it ended early (""
    // for a completed run), so that the operator can read it in the main window too.
    void SetRunNote(std::function<void(const std::string&)> told) { runNote_ = std::move(told); }

    // --- WindowHost ---
    void Repaint() override;
    void RepaintGrid() override;
    void Yield() override;

    // True while the run or the shunt search is on the stack: the program must not
    // end before it has returned.
    bool Busy() const { return scanning_ || searching_; }
    bool Searching() const override { return searching_; }

    // Brings the widgets to the model without firing handlers.
    void Render();

    linearity::LinearityState& State() { return state_; }
    const linearity::ScanResult& LastScan() const { return lastScan_; }

    // The operator's actions, as the widgets deliver them.
    void CmdOptClick();
    void OptiL1Click(int n);
    void GridButton(int button, double xTwips, double yTwips, QPoint global);

    // Widgets, named as the controls they show.
    linearity::GridWidget* Results = nullptr;
    linearity::PictureWidget* Picture1 = nullptr;
    QFrame* Picture2 = nullptr;
    QLabel* maxppm = nullptr;
    QLabel* minppm = nullptr;
    QGroupBox* Opti = nullptr;
    std::array<QLabel*, 5> OptiL1{};
    QLabel* OptiL3 = nullptr;
    QLabel* OptiLcnt = nullptr;
    QPushButton* CmdOpt = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* statusPanel1 = nullptr;
    QLabel* statusPanel2 = nullptr;  // notes: the run record saved, or why not
    QMenu* mnu_rsel = nullptr;
    std::array<QAction*, 6> mnu_r{};
    // The run records: "Runs…" (history, "as found"), "Report…" (PDF).
    QPushButton* CmdRuns = nullptr;
    QPushButton* CmdReport = nullptr;
    linearity::RecordDesk* Records = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CopyGrid();
    // The window's widgets: the grid, the side pane beside it, the status bar, and
    // the shunt menu of the grid's "R Shunt" column.
    void BuildLayout();
    QWidget* BuildGrid();
    // The plot with its smallest and largest deviation, and `Picture2` below it.
    QWidget* BuildSidePane();
    // The optimisation's summary lines in `fixed`, with the search's figures.
    QGroupBox* BuildOptimisation(const QFont& fixed);
    // "Optimierung", "Runs…" and "Report…".
    QHBoxLayout* BuildButtonRow();
    QStatusBar* BuildStatusBar();
    void BuildShuntMenu();
    void PlaceSidePane();
    void LayOutGrid();  // the grid's model sized as the widget on screen
    void AfterBusy();

    SharedState& shared_;
    UsbCalLibrary& library_;
    DmmLink& dmm_;
    Clock& clock_;
    std::function<std::string()> identification_;
    std::function<void(const std::string&)> runNote_;
    linearity::LinearityState state_;
    linearity::ScanResult lastScan_;
    std::string note_;  // second status panel
    QWidget* side_ = nullptr;
    bool scanning_ = false;
    bool searching_ = false;
    bool hideWhenIdle_ = false;  // closed while busy: hide once the run has returned
};

}  // namespace t720
