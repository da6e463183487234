// The shunt search against the evaluation it is made of: the whole optimisation
// (0 to 4 shunts, 164 830 evaluations with every improvement shown) next to the
// same number of straightforward evaluations of one fixed shunt set, on the
// readings of the bench's simulated divider and on a run record.
//
//   build/bin/bench_search [RUNFILE]
//
// Without RUNFILE the record is one written for the occasion from generated
// readings. Times are the thread's CPU time, the best of several repetitions, so
// that other work on the machine does not count.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "app/SharedState.h"
#include "linearity/LinearityState.h"
#include "linearity/RunRecord.h"
#include "linearity/ScanGrid.h"
#include "linearity/ShowResults.h"
#include "linearity/ShuntSearch.h"
#include "linearity/TapSequence.h"
#include "linearity/WindowHost.h"
#include "sim/CalibratorModel.h"
#include "sim/DmmModel.h"
#include "sim/ProcessFigures.h"

namespace {

using namespace t720::linearity;
using Readings = std::array<double, 21>;

constexpr int kRepetitions = 7;
constexpr int kEvaluations = 1 + 51 + 1176 + 16176 + 147426;

// Twenty readings as the simulated DMM measures the simulated divider.
void SimulatedReadings(Readings& r1, Readings& r2) {
    t720::sim::CalibratorModel calibrator;
    t720::sim::DmmModel dmm;
    TapSetting tap;
    for (int row = 1; row <= 20; ++row) {
        calibrator.Handle(K1YText(tap));
        AdvanceTap(tap);
        const auto taps = calibrator.state().taps;
        r1[row] = std::stof(dmm.Handle("MEAS:VOLT:DC? 1,1E-6", taps).value_or("0"));
        r2[row] = std::stof(dmm.Handle("MEAS:VOLT:DC? 1,1E-6", taps).value_or("0"));
    }
}

// A divider of 0.1 V steps, each off by up to ±300 ppm (a fixed pseudo-random
// sequence), written as a run record the way the program keeps its runs.
std::string GeneratedRecord(const QString& directory) {
    std::array<double, 22> r{};
    uint32_t x = 20240503u;
    for (int row = 1; row <= 20; ++row) {
        x = x * 1664525u + 1013904223u;
        const double ppm = static_cast<double>(x >> 8) / (1u << 24) * 600.0 - 300.0;
        r[row] = static_cast<float>(0.1 * (1.0 + ppm * 1e-6));
    }
    const RecordSave saved =
        SaveRunRecord(directory, RecordNow(r, r, "BENCH", "generated readings", "none"));
    return saved.ok() ? saved.path.toStdString() : std::string();
}

// The smallest thread CPU time of `work` over the repetitions, seconds.
double BestTime(const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < kRepetitions; ++i) {
        const double start = t720::sim::ThreadCpuSeconds();
        work();
        best = std::min(best, t720::sim::ThreadCpuSeconds() - start);
    }
    return best;
}

// Counts the improvements the search shows.
class CountingHost final : public WindowHost {
  public:
    void Repaint() override {}
    void RepaintGrid() override { ++improvements; }
    void Yield() override {}
    int improvements = 0;
};

void Measure(const std::string& name, const Readings& r1, const Readings& r2) {
    CountingHost host;
    t720::SharedState shared;
    LinearityState state;
    ShowRecordedRun(state, host, r1, r2);

    const double search = BestTime([&] { OptimiseShunts(state, shared, host); });
    const int shown = host.improvements / kRepetitions;
    // Every improvement is shown in the grid and the plot, at a fixed cost.
    const double showing = BestTime([&] {
        for (int i = 0; i < shown; ++i) ShowResults(state, host, true);
    });

    RowShunts set{};
    set[3] = 2;
    set[7] = 4;
    double sink = 0.0;
    const double plain = BestTime([&] {
        for (int i = 0; i < kEvaluations; ++i)
            sink += Evaluate(state.Reading2, state.ShuntFactor, state.ShuntRoot, set, true).Score;
    });

    std::printf("shunt search on %s\n", name.c_str());
    std::printf("  optimisation, 0..4 shunts: %.2f ms for %d evaluations\n", search * 1e3,
                kEvaluations);
    std::printf("  straightforward evaluations: %.2f ms for %d (%.3f us each)%s\n", plain * 1e3,
                kEvaluations, plain / kEvaluations * 1e6, sink == -1.0 ? " " : "");
    std::printf("  ratio optimisation / straightforward: %.3f (goal <= 0.2)\n", search / plain);
    std::printf("  of the optimisation, showing its %d improvements: %.2f ms\n", shown,
                showing * 1e3);
    for (const auto& line : state.controls.OptiL1) std::printf("  %s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Readings r1{}, r2{};
    SimulatedReadings(r1, r2);
    Measure("the simulated divider", r1, r2);

    QTemporaryDir directory;
    const std::string path = argc > 1 ? std::string(argv[1]) : GeneratedRecord(directory.path());
    const RecordParse parsed = ReadRunRecord(QString::fromLocal8Bit(path.c_str()));
    if (!parsed.record) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), parsed.error.c_str());
        return 2;
    }
    Measure(argc > 1 ? path : "a record of generated readings", parsed.record->reading1,
            parsed.record->reading2);
    return 0;
}
