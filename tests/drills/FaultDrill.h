// Fault drills: a fault played against the simulated bench while the whole
// program runs — in this process (the same Program that main() runs, its windows
// offscreen, its event loop run by the drill) or as a process of its own. Each
// drill checks that nothing crashes, nothing spins a core, the operator is told,
// and the program recovers when the fault goes away.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "program/Program.h"
#include "sim/ChildProcess.h"
#include "sim/ProcessFigures.h"
#include "tests/support/BenchRig.h"

namespace t720::drill {

using sim::kProgramPatience;

// A program that only waits uses a small share of one core; a spinning loop shows
// close to all of it. Generous, so a loaded machine cannot fail a sound program.
inline constexpr double kIdleCpuShare = 0.5;

// CPU seconds of the calling thread (the program's one thread, when the program
// runs in this process), or of another process (user and system time).
using sim::ProcessCpuSeconds;
using sim::ThreadCpuSeconds;

// The CPU time a source reports against the time that passed since construction.
class CpuShare {
  public:
    explicit CpuShare(std::function<double()> cpuSeconds);
    double Share() const;

  private:
    std::function<double()> cpuSeconds_;
    double cpu0_, wall0_;
};

using sim::ProcessMemoryKiB;

// A build with AddressSanitizer keeps freed memory in quarantine: its figures
// measure the sanitizer, not the program.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kMemoryFiguresTell = false;
#else
inline constexpr bool kMemoryFiguresTell = true;
#endif

class FaultDrill : public ::testing::Test, protected test::BenchRig {
  protected:
    FaultDrill();
    ~FaultDrill() override;

    // --- the bench (BenchRig) ---
    uint64_t CalibratorLines();
    bool DmmRemote();

    // --- the program in this process ---
    // The per-user settings file of this process, written before the program starts.
    QString Ini() const;
    void WriteSettings(const QString& text);
    // Makes and starts the program with this command line; its first pass has run.
    void StartProgram(const std::string& commandLine = {});
    // The program on COM1, where the bench serves the calibrator; connected.
    void StartOnCom1();
    // The program on the USB link with the DMM on COM1 and "Spez" shown, against a
    // bench that serves both; connected.
    void StartForLinearity(sim::DmmFaults dmmFaults = {});
    // The linearity mode as a completed run leaves it — the main window off, the
    // results window showing an evaluated run and offering "Optimierung" — without
    // the run's 26 s of settling pauses.
    frmResults& ShowCompletedRun();
    const PanelModel& Model() { return program->Panel().Model(); }
    bool Connected() { return program->State().LinkState == kLinkConnected; }

    // Runs the program's event loop until `done` holds; false if it still does not
    // after `patience`.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds patience = kProgramPatience);
    // Runs until `passes` further supervision passes have been seen (the status-bar
    // indicator moves once a pass), calling `after` when each has been seen.
    bool RunPasses(int passes, const std::function<void()>& after = {});
    // Runs until `done`, asked when each further pass has been seen, holds.
    bool RunPassesUntil(const std::function<bool()>& done);
    // Runs until the calibrator has received `lines` further lines.
    bool RunUntilCalibratorLines(uint64_t lines);

    // The program's own event loop (QApplication::exec), as main() runs it, until
    // the program asks it to quit. `during` is called on the loop once it runs.
    // False when the loop had to be ended after `patience` instead.
    bool RunToQuit(const std::function<void()>& during,
                   std::chrono::milliseconds patience = kProgramPatience);

    std::unique_ptr<Program> program;
    // The program's pauses and time-outs; the real clock unless a test sets one.
    Clock* clock = &RealClock();
};

}  // namespace t720::drill
