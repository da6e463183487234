// The main window's panel on faked links with its own settings file: what the
// panel's tests and the window's wiring tests start from. For test programs that
// link the panel (t720_panel).
#pragma once

#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "panel/MainPanel.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/FakeUsbLibrary.h"
#include "tests/support/Files.h"

namespace t720::test {

class PanelRig {
  public:
    PanelRig() : port(clock), cal(s, port, lib, clock), panel(s, cal), sup(s, cal, panel) {
        panel.Attach(&sup);
    }

    // Start-up with a settings file holding `ini` (none when empty) and this command line.
    void Start(const QByteArray& ini = {}, const std::string& commandLine = {}) {
        if (!ini.isEmpty()) WriteFile(IniPath(), ini);
        settings = std::make_unique<SettingsFile>(
            std::make_unique<QSettings>(IniPath(), QSettings::IniFormat));
        panel.Startup(*settings, commandLine);
    }
    QString IniPath() const { return dir.filePath("ZORTorT720.ini"); }
    const PanelModel& m() const { return panel.Model(); }

    QTemporaryDir dir;
    SharedState s;
    FakeClock clock;
    FakeSerialPort port;
    FakeUsbLibrary lib;
    Calibrator cal;
    MainPanel panel;
    Supervisor sup;
    std::unique_ptr<SettingsFile> settings;
};

}  // namespace t720::test
