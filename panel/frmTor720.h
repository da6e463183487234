// The main window: renders the panel's model and hands the operator's actions to
// it. It owns the 3 ms supervision timer.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <array>
#include <functional>
#include <span>

#include "panel/MainPanel.h"
#include "panel/PortsDialog.h"
#include "supervision/Supervisor.h"

class QGridLayout;
class QGroupBox;
class QVBoxLayout;

namespace t720 {

class frmTor720 : public QMainWindow {
    Q_OBJECT
  public:
    frmTor720(MainPanel& panel, Supervisor& supervisor, SharedState& state,
              QWidget* parent = nullptr);

    // Brings the widgets to the model (only what changed) without firing handlers.
    void Render();
    // Render and paint at once: used before an operation holds the thread.
    void RenderNow();
    // Starts the supervision timer (after start-up).
    void StartTimer();

    // Runs at close, before the program ends: releases the link and keeps the
    // settings. Set by whoever builds the program.
    void SetShutdown(std::function<void()> shutdown) { shutdown_ = std::move(shutdown); }
    // True while closing must wait (a run or a search holds the thread's stack).
    void SetBusyQuery(std::function<bool()> busy) { busy_ = std::move(busy); }

    QTimer& Timer() { return timer_; }
    // What the timer does when it wakes: the supervision tick, the display, and a
    // close that was waiting for a run to return. The timer ticks every 3 ms, but it
    // wakes only for the tick that runs the next pass (every tenth, or the next one
    // after a request): the ticks between only count down, and a wake-up 333 times a
    // second costs about a whole percent of a core for nothing.
    void OnTick();

    // Widgets, for the window's own tests.
    QScrollBar* ChanScroll = nullptr;
    QScrollBar* RangeScroll = nullptr;
    QScrollBar* ProzScroll = nullptr;
    std::array<QRadioButton*, 16> Channel{};
    std::array<QRadioButton*, 6> Range{};
    std::array<QRadioButton*, 11> Proze{};
    std::array<QLabel*, 6> rangeTicks{};
    QLabel* ChanLabel = nullptr;
    QLabel* RangeLabel = nullptr;
    QLabel* ProzLabel = nullptr;
    QRadioButton* Plus = nullptr;
    QRadioButton* Minus = nullptr;
    QCheckBox* HBr = nullptr;
    QPushButton* CommandUSBb = nullptr;
    QPushButton* CommandCOM1 = nullptr;
    QPushButton* CommandCOM2 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Commandsp = nullptr;
    QPushButton* RelRef = nullptr;
    QPlainTextEdit* txtMessages = nullptr;
    QLabel* Textremo = nullptr;
    QLabel* statusPanel1 = nullptr;
    QLabel* statusPanel2 = nullptr;
    // The window's context menu: "Ports…" and the dialogue trace.
    QMenu* contextMenu = nullptr;
    QAction* portsAction = nullptr;
    QAction* traceAction = nullptr;
    // The right-click actions of COM2 and "Spez" as menus, for the keyboard.
    QMenu* com2Menu = nullptr;
    QAction* nextPortAction = nullptr;
    QMenu* spezMenu = nullptr;
    QAction* lastRunAction = nullptr;
    // The ports dialog while it is open.
    PortsDialog* Ports() const { return ports_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The window's widgets: the setting rows and the connection box on the left, the
    // link and command buttons on the right, the status bar.
    void BuildLayout();
    // A row of caption-less option buttons with their values (`tick`) beneath, the
    // scroll bar under them and the value label to the right.
    QGridLayout* BuildOptionRow(QVBoxLayout* into, const QString& title,
                                std::span<QRadioButton*> buttons, QScrollBar*& bar, QLabel*& label,
                                const std::function<QLabel*(int)>& tick);
    // Channel, range and output rows; sign and half bridge under the output.
    void BuildSettingRows(QVBoxLayout* into);
    // The connection messages and the calibrator's message.
    QGroupBox* BuildConnectionBox();
    void BuildButtonColumn(QVBoxLayout* into);
    void BuildStatusBar();
    void BuildContextMenu();
    // The keyboard's ways to the right-click actions, the stop and the beep
    // (frmTor720Keys.cpp).
    void BuildKeyMenus();
    bool OwnMenuKey(QObject* watched, QEvent* event);
    bool BeepEvent(QEvent* event);
    void EndBeep();
    // Room and widths that keep the window still when colours, captions and the
    // note change.
    void KeepSteady();
    void ShowPorts();
    void SwitchTrace(bool on);
    void Connect();
    void Act(const std::function<void()>& action);  // run a handler, then render
    void PlanNextTick();
    int TwipsToPixels(int twips) const;
    // Render's parts: each brings its widgets to the model `m`, all of them when
    // `before` (what the widgets show) is null, else only what changed.
    void RenderWindow(const PanelModel& m, const PanelModel* before);
    void RenderSettingRows(const PanelModel& m, const PanelModel* before);
    void RenderSettingValues(const PanelModel& m, const PanelModel* before);
    void RenderButtons(const PanelModel& m, const PanelModel* before);
    void RenderMessages(const PanelModel& m, const PanelModel* before);
    // Shows the note in the status bar on as many lines as the panel's width needs.
    void FitNote();

    MainPanel& panel_;
    Supervisor& sup_;
    SharedState& s_;
    static constexpr int kTickMs = 3;
    QTimer timer_;
    bool ticking_ = false;
    QElapsedTimer grid_;  // the 3 ms ticks count from the timer's start
    int sleptTicks_ = 1;  // ticks the timer sleeps this time, the last of them the one it wakes for
    std::function<void()> shutdown_;
    std::function<bool()> busy_;
    bool closePending_ = false;
    bool beepHeld_ = false;  // the beep button is held down
    QTimer beepRelease_;     // a Space released: ends the beep unless pressed again at once
    bool shutDown_ = false;
    PanelModel shown_;  // what the widgets show
    std::array<int32_t, 7> shownRangeTab_{};
    bool firstRender_ = true;
    QPointer<PortsDialog> ports_;
    QPointer<QWidget> focusBeforeOff_;  // the focus when the window was switched off
    QString note_;  // the status bar's note in full
};

}  // namespace t720
