#include "tests/drills/FaultDrill.h"

#include <time.h>
#include <unistd.h>

#include <QApplication>

#include "linearity/ScanGrid.h"
#include "tests/linearity/LinearityTestSupport.h"
#include "tests/support/Files.h"

namespace t720::drill {

namespace {

double Seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

CpuShare::CpuShare(std::function<double()> cpuSeconds)
    : cpuSeconds_(std::move(cpuSeconds)), cpu0_(cpuSeconds_()), wall0_(Seconds(CLOCK_MONOTONIC)) {}

double CpuShare::Share() const {
    const double wall = Seconds(CLOCK_MONOTONIC) - wall0_;
    return wall > 0 ? (cpuSeconds_() - cpu0_) / wall : 0.0;
}

FaultDrill::FaultDrill() {
    setenv("T720_USBCAL_LIBRARY", test::kStandin.c_str(), 1);
}

FaultDrill::~FaultDrill() {
    program.reset();
    unsetenv("T720_USBCAL_LIBRARY");
    QFile::remove(Ini());
}

uint64_t FaultDrill::CalibratorLines() {
    return bench->WithCalibrator([](const sim::CalibratorModel& m) { return m.receivedTotal(); });
}

bool FaultDrill::DmmRemote() {
    return bench->WithDmm([](const sim::DmmModel& m) { return m.remote(); });
}

QString FaultDrill::Ini() const {
    return qEnvironmentVariable("XDG_CONFIG_HOME") + "/ZORTorT720/ZORTorT720.ini";
}

void FaultDrill::WriteSettings(const QString& text) {
    ASSERT_TRUE(test::WriteFile(Ini(), text.toUtf8()));
}

void FaultDrill::StartProgram(const std::string& commandLine) {
    program = std::make_unique<Program>(*clock);
    program->Start(commandLine);
}

void FaultDrill::StartOnCom1() {
    StartBench({.calibratorLink = calibratorLink});
    WriteSettings(QString("[Ports]\nCOM1=%1\n[Properties]\nConnection=2\n")
                      .arg(QString::fromStdString(calibratorLink)));
    StartProgram();
    ASSERT_TRUE(Connected()) << Model().txtMessages;
}

void FaultDrill::StartForLinearity(sim::DmmFaults dmmFaults) {
    StartBench({.usbSocket = usbSocket, .dmmLink = dmmLink, .dmmFaults = dmmFaults});
    WriteSettings(QString("[Ports]\nCOM1=%1\n").arg(QString::fromStdString(dmmLink)));
    StartProgram("/ZOREinmessen");
    ASSERT_TRUE(Connected()) << Model().txtMessages;
}

frmResults& FaultDrill::ShowCompletedRun() {
    frmResults& results = program->LinearityWindow();
    // What the pass does when it starts a run...
    program->State().LinkState = kLinkLinearityRun;
    program->Panel().SetEnabled(false);
    program->Window().Render();
    results.Show();
    // ...and what the run leaves behind.
    std::array<double, 21> readings{};
    for (int row = 1; row <= 20; ++row) readings[row] = linearity::test::kSkewed[row];
    linearity::ShowRecordedRun(results.State(), results, readings, readings);
    results.Render();
    return results;
}

bool FaultDrill::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds patience) {
    // The program's own 3 ms timer keeps the loop turning; this one makes sure it
    // turns even when the program's has stopped.
    QTimer wake;
    wake.start(10);
    const QDeadlineTimer deadline(patience);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool FaultDrill::RunPassesUntil(const std::function<bool()>& done) {
    std::string shown = Model().statusPanel1;
    return RunUntil([&] {
        if (Model().statusPanel1 == shown) return false;
        shown = Model().statusPanel1;
        return done();
    });
}

bool FaultDrill::RunPasses(int passes, const std::function<void()>& after) {
    int seen = 0;
    return RunPassesUntil([&] {
        if (after) after();
        return ++seen >= passes;
    });
}

bool FaultDrill::RunUntilCalibratorLines(uint64_t lines) {
    const uint64_t target = CalibratorLines() + lines;
    return RunUntil([&] { return CalibratorLines() >= target; });
}

bool FaultDrill::RunToQuit(const std::function<void()>& during,
                           std::chrono::milliseconds patience) {
    bool tooLong = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        tooLong = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(patience);
    QTimer::singleShot(0, qApp, during);
    QApplication::exec();
    return !tooLong;
}

}  // namespace t720::drill
