// The program: builds the shared state, the transports, the panel and the
// supervision, runs the start-up, and ends through the main window's close —
// by the operator or by a signal.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "app/SharedState.h"
#include "app/SignalWatcher.h"
#include "app/StoredSettings.h"
#include "linearity/DmmLink.h"
#include "linearity/frmResults.h"
#include "link/Calibrator.h"
#include "link/QtSerialPort.h"
#include "link/UsbCalLibrary.h"
#include "panel/MainPanel.h"
#include "panel/frmTor720.h"
#include "supervision/Supervisor.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZORTorT720"));
    QApplication::setOrganizationName(QStringLiteral("ZORTorT720"));

    // The state outlives every window.
    t720::SharedState state;
    t720::QtSerialPort comm1;
    auto library = t720::MakeLoadedUsbCalLibrary(t720::UsbLibrarySearch::FromEnvironment());
    t720::Calibrator calibrator(state, comm1, *library, t720::RealClock());
    t720::MainPanel panel(state, calibrator);

    // The linearity window and its DMM line (`MSComm2`); the window is made the
    // first time a run needs it and lives until the program ends.
    t720::QtSerialPort comm2;
    t720::DmmLink dmm(comm2, t720::RealClock());
    std::unique_ptr<t720::frmResults> results;
    t720::Supervisor supervisor(state, calibrator, panel, [&]() -> t720::LinearityPort& {
        if (!results)
            results = std::make_unique<t720::frmResults>(
                state, *library, dmm, t720::RealClock(),
                [&supervisor] { return supervisor.Identification(); });
        return *results;
    });
    panel.Attach(&supervisor);
    t720::frmTor720 window(panel, supervisor, state);
    // A close (or a signal) waits until a run or a shunt search has returned.
    window.SetBusyQuery([&] { return results && results->Busy(); });

    t720::SettingsFile settings;
    window.SetShutdown([&] {
        if (!panel.Shutdown(settings))
            std::fprintf(stderr, "t720: the settings could not be saved to %s\n",
                         qPrintable(settings.Path()));
    });
    t720::SignalWatcher signalWatcher([&](int) { window.close(); });

    // The switches are searched in the text that follows the program name.
    QStringList args = QApplication::arguments();
    args.removeFirst();
    panel.Startup(settings, args.join(u' ').toStdString());
    if (!settings.Note().empty()) std::fprintf(stderr, "t720: %s\n", settings.Note().c_str());

    window.Render();
    window.show();
    window.StartTimer();
    return app.exec();
}
