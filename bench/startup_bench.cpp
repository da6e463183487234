// The program as a process: how long from its start to the first completed pass
// (found, probed and polled), and how much memory it holds at most while it polls.
//
//   build/bin/bench_startup [seconds of polling, default 5]
#include <signal.h>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>

#include "app/Clock.h"
#include "bench/ProgramOnBench.h"

namespace {

// Peak resident memory of a process, kB (0 when it cannot be read).
long PeakRssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmHWM:" && status >> value) return value;
        status.ignore(256, '\n');
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
    QTemporaryDir dir;

    t720::bench::ProgramOnBench run(dir);
    t720::sim::BenchServer& bench = run.bench;
    t720::test::ChildProcess& program = run.program;
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
    const long peak = PeakRssKb(program.Pid());
    program.Signal(SIGTERM);
    const auto status = program.Wait();
    bench.Stop();

    std::printf("program start-up and memory\n");
    std::printf("  start to first completed pass: %.0f ms\n", firstPass * 1e3);
    std::printf("  peak resident memory while polling %.0f s: %.1f MiB\n", seconds, peak / 1024.0);
    std::printf("  ended by SIGTERM with status %d\n", status.value_or(-1));
    return status == 0 ? 0 : 1;
}
