#include "program/Program.h"

#include <cstdio>

#include "app/DialogueTrace.h"

namespace t720 {

Program::Program(Clock& clock)
    : clock_(clock),
      library_(MakeLoadedUsbCalLibrary(UsbLibrarySearch::FromEnvironment())),
      calibrator_(state_, comm1_, *library_, clock_),
      panel_(state_, calibrator_),
      comm2_({}, TraceLink::Dmm),
      dmm_(comm2_, clock_),
      supervisor_(state_, calibrator_, panel_,
                  [this]() -> LinearityView& { return LinearityWindow(); }),
      window_(panel_, supervisor_, state_),
      // A signal ends the program the way the operator's close does.
      signalWatcher_([this](int) { window_.close(); }) {
    panel_.Attach(&supervisor_);
    // Every transmission shows the window's state first, as it holds the thread.
    calibrator_.SetRepaint([this] { window_.RenderNow(); });
    // A close (or a signal) waits until a run or a shunt search has returned.
    window_.SetBusyQuery([this] { return results_ && results_->Busy(); });
    window_.SetShutdown([this] {
        if (!panel_.Shutdown(settings_))
            std::fprintf(stderr, "t720: the settings could not be saved to %s\n",
                         qPrintable(settings_.Path()));
    });
    DialogueTrace::SetNotice([this](const std::string& note) { panel_.SetNote(note); });
}

Program::~Program() {
    DialogueTrace::SetNotice({});
}

void Program::Tell(const std::string& note) {
    const std::string& shown = panel_.Model().statusNote;
    panel_.SetNote(shown.empty() ? note : shown + "; " + note);
    window_.Render();
}

void Program::Start(const std::string& commandLine) {
    panel_.Startup(settings_, commandLine);
    if (!settings_.Note().empty()) std::fprintf(stderr, "t720: %s\n", settings_.Note().c_str());
    if (settings_.Flag("Remote/Enabled", true)) StartRemote();
    window_.Render();
    window_.show();
    window_.StartTimer();
}

void Program::StartRemote() {
    remote_ = std::make_unique<RemoteDesk>(
        state_, panel_, supervisor_,
        RemoteDesk::Hooks{
            [this] { return RemoteRefusal(); },
            [this] {
                return state_.LinkState == kLinkLinearityRun ||
                       state_.LinkState == kLinkRedisplay || (results_ && results_->Busy());
            },
            [this] { return results_ && results_->Searching(); }, [this] { window_.Render(); }});
    supervisor_.SetPassObserver([this](bool polled) { remote_->PassSeen(polled); });
    if (const std::string why = remote_->Start(remote::DefaultSocketPlace()); !why.empty()) {
        std::fprintf(stderr, "t720: remote control is off: %s\n", why.c_str());
        Tell("Remote control is off: " + why);
        supervisor_.SetPassObserver({});
        remote_.reset();
    }
}

std::string Program::RemoteRefusal() {
    // The panel is out of the operator's use from the start of a linearity run to
    // its stop, and while the shunt search holds the thread.
    if (results_ && results_->Searching()) return "the shunt search is running";
    if (state_.LinkState == kLinkLinearityRun || state_.LinkState == kLinkRedisplay ||
        (results_ && results_->Busy()))
        return "a linearity run is in progress";
    if (!panel_.Model().enabled) return "the main window is switched off";
    if (supervisor_.InPass()) return "a supervision pass is running";
    return {};
}

frmResults& Program::LinearityWindow() {
    if (!results_) {
        results_ = std::make_unique<frmResults>(state_, *library_, dmm_, clock_,
                                                [this] { return supervisor_.Identification(); });
        // Why a run ended early stays readable in the main window, which comes back
        // into use while the results window is switched off.
        results_->SetRunNote([this](const std::string& why) {
            panel_.SetNote(why);
            window_.Render();
        });
    }
    return *results_;
}

}  // namespace t720
