// How fast the supervision runs and what it costs: the real pass on the 3 ms timer,
// with the stand-in USB library against an instantly answering bench (with the
// dialogue trace off, then on), then on a serial link with a silent calibrator
// (every pass waits out the 0.3 s time-out).
//
//   build/bin/bench_pass_rate [seconds per part, default 10]
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/DialogueTrace.h"
#include "app/SharedState.h"
#include "link/Calibrator.h"
#include "link/QtSerialPort.h"
#include "link/UsbCalLibrary.h"
#include "panel/MainPanel.h"
#include "sim/BenchServer.h"
#include "sim/ProcessFigures.h"
#include "supervision/Supervisor.h"

namespace {

struct Figures {
    double passesPerSecond;
    double cpuPercent;
};

// Runs the timer for `seconds` on `linkType` and counts the passes by the setting
// commands the bench received (`perPass` commands per pass).
Figures Run(t720::sim::BenchServer& bench, int32_t linkType, const std::string& link,
            double seconds, int perPass) {
    t720::SharedState s;
    t720::QtSerialPort comm1([&](int) { return link; });
    auto library = t720::MakeLoadedUsbCalLibrary(
        {QCoreApplication::applicationDirPath().toStdString() + "/libzorusbcal.so", ""});
    t720::Calibrator calibrator(s, comm1, *library, t720::RealClock());
    t720::MainPanel panel(s, calibrator);
    t720::Supervisor supervisor(s, calibrator, panel);
    panel.Attach(&supervisor);
    s.RangeTab = t720::kStandardRanges;
    s.RangeIdx = 1;
    supervisor.OpenComPort(linkType, false);

    const auto sent = [&] {
        return bench.WithCalibrator([perPass](t720::sim::CalibratorModel& m) {
            using C = t720::sim::CalibratorModel::Command;
            return m.count(perPass == 2 ? C::K1B : C::K1A);
        });
    };
    const uint64_t before = sent();
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(3);
    QObject::connect(&timer, &QTimer::timeout, [&] { supervisor.TimerTick(); });
    const double cpu0 = t720::sim::ThreadCpuSeconds();
    const double wall0 = t720::RealClock().Now();
    timer.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    timer.stop();
    const double wall = t720::RealClock().Now() - wall0;
    const double cpu = t720::sim::ThreadCpuSeconds() - cpu0;
    const double passes = static_cast<double>(sent() - before);
    comm1.SetPortOpen(false);
    return {passes / wall, 100.0 * cpu / wall};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    QTemporaryDir dir;

    t720::sim::BenchOptions options;
    options.calibratorLink = dir.filePath("cal").toStdString();
    options.usbSocket = dir.filePath("bench.sock").toStdString();
    t720::sim::BenchServer bench(options);
    bench.Start();
    setenv("T720_BENCH_SOCKET", options.usbSocket.c_str(), 1);

    const Figures usb = Run(bench, t720::kLinkUsb, options.calibratorLink, seconds, 2);
    // The same with every call written to the trace (in this temporary directory).
    t720::DialogueTrace::Start(dir.filePath("trace").toStdString());
    const Figures traced = Run(bench, t720::kLinkUsb, options.calibratorLink, seconds, 2);
    const auto traceBytes = std::filesystem::file_size(t720::DialogueTrace::Active()->File());
    t720::DialogueTrace::Stop();
    bench.WithCalibrator([](t720::sim::CalibratorModel& m) {
        m.SetFaults({true, false, 0});
        return 0;
    });
    const Figures silent = Run(bench, t720::kLinkCom1, options.calibratorLink, seconds, 1);
    bench.Stop();

    std::printf("supervision pass, %.0f s per part\n", seconds);
    std::printf(
        "  USB link, answering bench: %.1f passes/s (nominal 33.3, goal >= 31), "
        "CPU %.2f %% of a core (goal < 3 %%)\n",
        usb.passesPerSecond, usb.cpuPercent);
    std::printf(
        "  USB link, dialogue trace on: %.1f passes/s, CPU %.2f %% of a core, "
        "%.1f KiB of trace per second\n",
        traced.passesPerSecond, traced.cpuPercent,
        static_cast<double>(traceBytes) / 1024.0 / seconds);
    std::printf(
        "  serial link, silent calibrator: %.2f passes/s, CPU %.2f %% of a core "
        "(goal < 5 %%)\n",
        silent.passesPerSecond, silent.cpuPercent);
    return 0;
}
