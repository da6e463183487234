// The program as a process: how long from its start to the first completed pass
// (found, probed and polled), and how much memory it holds at most while it polls.
//
//   build/bin/bench_startup [seconds of polling, default 5]
#include <signal.h>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "app/Clock.h"
#include "benchmarks/ProgramOnBench.h"
#include "sim/ProcessFigures.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
    QTemporaryDir dir;

    t720::benchmarks::ProgramOnBench run(dir);
    t720::sim::BenchServer& bench = run.bench;
    t720::sim::ChildProcess& program = run.program;
    const double start = t720::RealClock().Now();
    // The first pass sends the probe (K1A, K1B) and the first poll (K1A, K1B).
    if (!program.Started() || !bench.WaitForReceived(4, std::chrono::seconds(30))) {
        std::fprintf(stderr, "the program did not reach the calibrator\n%s\n",
                     program.Output().c_str());
        return 1;
    }
    const double firstPass = t720::RealClock().Now() - start;

    const uint64_t polled = bench.WithCalibrator([](auto& m) { return m.receivedTotal(); });
    bench.WaitForReceived(polled + 1000000,
                          std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
    const long peak = t720::sim::ProcessMemoryKiB(program.Pid(), "VmHWM").value_or(0);
    program.Signal(SIGTERM);
    const auto status = program.Wait();
    bench.Stop();

    std::printf("program start-up and memory\n");
    std::printf("  start to first completed pass: %.0f ms\n", firstPass * 1e3);
    std::printf("  peak resident memory while polling %.0f s: %.1f MiB\n", seconds, peak / 1024.0);
    std::printf("  ended by SIGTERM with status %d\n", status.value_or(-1));
    return status == 0 ? 0 : 1;
}
