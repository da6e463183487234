// The supervision pass of the main window's 3 ms timer: it finds the calibrator on
// the selected link, connects and configures it, re-sends the whole wanted setting
// on every pass, reports the calibrator's answer, and paces the linearity run.
// Also the operator's choice of link (OpenComPort and the three link buttons).
#pragma once

#include <functional>
#include <string>

#include "app/SharedState.h"
#include "link/Calibrator.h"
#include "supervision/LinearityView.h"
#include "supervision/MainWindowView.h"

namespace t720 {

// The calibrator message that a verdict (AnswerStatus) shows in `Textremo` on the
// given link; nullptr for a verdict that shows none.
const char* FaultText(int32_t linkType, int32_t answerStatus);

class Supervisor {
  public:
    // `linearity` creates (once) and returns the linearity window; it is called only
    // when a run needs the window.
    Supervisor(SharedState& state, Calibrator& calibrator, MainWindowView& window,
               std::function<LinearityView&()> linearity = {});

    // One tick of the timer (or a direct call, which counts the same): counts down
    // and runs a pass on every tenth tick or on the tick after a request. A tick
    // that arrives while a pass is running (the linearity run yields to the event
    // loop) is ignored, so passes never nest.
    void TimerTick();

    // A tick that only counts down changes nothing else, so the window's timer need
    // not wake for each: it sleeps until the tick that runs the next pass and counts
    // the ticks it slept through here first (as ticks do, none counts during a pass;
    // the count never goes below the tick that is due).
    void CountIdleTicks(int ticks);
    int TicksToNextPass() const { return s_.TickCountdown > 1 ? s_.TickCountdown : 1; }
    // A handler's request for an immediate pass: while connected, the very next tick
    // runs one.
    void RequestPass();
    // Told whenever the tick that runs the next pass has moved: after a pass (also one
    // run by a direct call) and after a request.
    void SetReplan(std::function<void()> replan) { replan_ = std::move(replan); }

    // Selects a link (1 USB library, 2 COM1, 3 COM(2 + ComIncr)), releasing the old
    // one first when asked, and runs one tick so that the search starts at once.
    void OpenComPort(int32_t linkType, bool clearFirst);

    // The link buttons.
    void CommandUSBbClick() { OpenComPort(kLinkUsb, true); }
    void CommandCOM1Click() { OpenComPort(kLinkCom1, true); }
    void CommandCOM2Click() { OpenComPort(kLinkComX, true); }
    // Right mouse button on the COM2 button: the next port number, COM2..COM9.
    void CommandCOM2RightPress();

    // Told once a pass: right after its poll has been judged (true; the verdict is
    // in AnswerStatus), or at the end of a pass that sent nothing (false).
    void SetPassObserver(std::function<void(bool polled)> observer) {
        passObserver_ = std::move(observer);
    }

    bool InPass() const { return inPass_; }
    // The identification text of the calibrator of the current connection (kept
    // from the pass that found it), for the records of a linearity run.
    const std::string& Identification() const { return connectedId_; }

  private:
    void Pass();
    void DiscoveryStep();
    void DiscoverUsb();
    void DiscoverSerial();
    void SetChannelCount();
    void ConnectionStep();
    void SetupStep();
    void FaultReport();
    void RunStep();
    void RedisplayStep();
    LinearityView* Linearity();

    SharedState& s_;
    Calibrator& cal_;
    MainWindowView& win_;
    std::function<LinearityView&()> linearityFactory_;
    std::function<void(bool)> passObserver_;
    std::function<void()> replan_;
    std::string idText_;  // identification obtained by this pass's discovery step
    std::string connectedId_;
    bool inPass_ = false;
};

}  // namespace t720
