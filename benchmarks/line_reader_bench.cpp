// How quickly the calibrator line reader hands on an answer, and what a time-out
// costs. A device thread on a pseudo-terminal answers each command; we measure from
// just before the device writes its answer to the moment the reader returns it.
//
//   build/bin/bench_line_reader [exchanges]
#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/Clock.h"
#include "link/LineTransport.h"
#include "link/QtSerialPort.h"
#include "sim/ProcessFigures.h"
#include "sim/Pty.h"

namespace {

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    return v[i];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;

    t720::sim::Pty pty;
    t720::QtSerialPort port([&](int) { return pty.SlavePath(); });
    port.SetSettings("9600,E,8,1");
    port.SetPortOpen(true);
    if (!port.PortOpen()) {
        std::fprintf(stderr, "cannot open the pseudo-terminal\n");
        return 1;
    }
    t720::Clock& clock = t720::RealClock();

    std::atomic<double> writtenAt{0.0};
    std::thread device([&] {
        for (int i = 0; i < exchanges; ++i) {
            if (pty.ReadLines(1).empty()) return;
            // Let the reader settle into its wait, so we measure a wake-up, not luck.
            const double settle = clock.Now() + 0.0005;
            clock.SleepUntil(settle);
            writtenAt = clock.Now();
            pty.Write("0\r\n");
        }
    });

    std::vector<double> delays;
    delays.reserve(static_cast<size_t>(exchanges));
    for (int i = 0; i < exchanges; ++i) {
        const std::string answer = t720::QueryCom(port, "K1A 0, 5, 2, 3");
        const double returnedAt = clock.Now();
        if (answer != "0\r\n") {
            std::fprintf(stderr, "unexpected answer at exchange %d\n", i);
            device.join();
            return 1;
        }
        delays.push_back((returnedAt - writtenAt.load()) * 1e3);
    }
    device.join();

    // A silent device: the reader waits out its whole time-out.
    const int timeouts = 10;
    const double cpu0 = t720::sim::ThreadCpuSeconds();
    const double wall0 = clock.Now();
    for (int i = 0; i < timeouts; ++i) t720::ReadLineCom(port);
    const double cpu = t720::sim::ThreadCpuSeconds() - cpu0;
    const double wall = clock.Now() - wall0;

    std::printf("line reader, %d exchanges over a pseudo-terminal\n", exchanges);
    std::printf("  answer-to-return delay: median %.3f ms, p99 %.3f ms (goal p99 < 1 ms)\n",
                Percentile(delays, 0.5), Percentile(delays, 0.99));
    std::printf("  0.3 s time-out: %.1f ms CPU per %.0f ms waited = %.2f %% (goal < 5 %%)\n",
                cpu / timeouts * 1e3, wall / timeouts * 1e3, 100.0 * cpu / wall);
    return 0;
}
