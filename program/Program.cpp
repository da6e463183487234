#include "program/Program.h"

#include <cstdio>

namespace t720 {

Program::Program()
    : library_(MakeLoadedUsbCalLibrary(UsbLibrarySearch::FromEnvironment())),
      calibrator_(state_, comm1_, *library_, RealClock()),
      panel_(state_, calibrator_),
      comm2_({}, TraceLink::Dmm),
      dmm_(comm2_, RealClock()),
      supervisor_(state_, calibrator_, panel_,
                  [this]() -> LinearityPort& { return LinearityWindow(); }),
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
}

Program::~Program() = default;

void Program::Start(const std::string& commandLine) {
    panel_.Startup(settings_, commandLine);
    if (!settings_.Note().empty()) std::fprintf(stderr, "t720: %s\n", settings_.Note().c_str());
    window_.Render();
    window_.show();
    window_.StartTimer();
}

frmResults& Program::LinearityWindow() {
    if (!results_)
        results_ = std::make_unique<frmResults>(state_, *library_, dmm_, RealClock(),
                                                [this] { return supervisor_.Identification(); });
    return *results_;
}

}  // namespace t720
