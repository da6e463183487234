// The whole program as the operator runs it: the shared state, both serial lines,
// the USB library, the calibrator, both windows, the supervision, the settings
// store and the signal watcher, wired together. It needs a QApplication and an
// event loop and adds nothing else, so main() is only those, and tests can run
// the very same program inside their own process.
#pragma once

#include <memory>
#include <string>

#include "app/Clock.h"
#include "app/SharedState.h"
#include "app/StoredSettings.h"
#include "linearity/DmmLink.h"
#include "linearity/frmResults.h"
#include "link/Calibrator.h"
#include "link/QtSerialPort.h"
#include "link/UsbCalLibrary.h"
#include "panel/MainPanel.h"
#include "panel/frmTor720.h"
#include "program/RemoteDesk.h"
#include "program/SignalWatcher.h"
#include "supervision/Supervisor.h"

namespace t720 {

class Program {
  public:
    // The USB library is looked for as the environment says (UsbLibrarySearch),
    // the settings in the per-user store. Pauses and time-outs run on `clock`.
    explicit Program(Clock& clock = RealClock());
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up with the text that follows the program name on the command line:
    // the stored values and the switches, the first pass, the main window shown
    // and its timer running. A note about the settings file goes to stderr too.
    void Start(const std::string& commandLine);

    SharedState& State() { return state_; }
    MainPanel& Panel() { return panel_; }
    Supervisor& Supervision() { return supervisor_; }
    frmTor720& Window() { return window_; }
    const DmmLink& Dmm() const { return dmm_; }
    // The linearity window, made now if no run has made it yet; it lives until
    // the program ends.
    frmResults& LinearityWindow();
    // The linearity window, or nullptr while no run has needed it.
    frmResults* LinearityWindowIfMade() { return results_.get(); }
    // The control socket's desk; nullptr while remote control is off.
    RemoteDesk* Remote() { return remote_.get(); }
    // Why the operator's panel is out of use now, so that a remote set is refused
    // ("" while it is in use).
    std::string RemoteRefusal();
    // A note in the status bar beside those already there, where a user who
    // started the program from the menu (and sees no stderr) reads it.
    void Tell(const std::string& note);

  private:
    void StartRemote();

    // In the order they are made; each is destroyed before those it refers to.
    Clock& clock_;
    SharedState state_;
    QtSerialPort comm1_;
    std::unique_ptr<UsbCalLibrary> library_;
    Calibrator calibrator_;
    MainPanel panel_;
    QtSerialPort comm2_;  // the DMM line, `MSComm2`
    DmmLink dmm_;
    std::unique_ptr<frmResults> results_;
    Supervisor supervisor_;
    frmTor720 window_;
    SettingsFile settings_;
    SignalWatcher signalWatcher_;
    std::unique_ptr<RemoteDesk> remote_;  // made by Start unless [Remote] Enabled=0
};

}  // namespace t720
