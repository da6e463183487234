// The shunt search against the evaluation it is made of: the whole optimisation
// (0 to 4 shunts, 164 830 evaluations with every improvement shown) next to the
// same number of straightforward evaluations of one fixed shunt set.
//
//   build/bin/bench_search [RUNFILE]     (without a file: readings of the bench's DMM)
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>

#include "app/Clock.h"
#include "app/SharedState.h"
#include "linearity/LinearityState.h"
#include "linearity/RunRecord.h"
#include "linearity/ScanGrid.h"
#include "linearity/ShuntSearch.h"
#include "linearity/TapSequence.h"
#include "linearity/WindowHost.h"
#include "sim/CalibratorModel.h"
#include "sim/DmmModel.h"

namespace {

using namespace t720::linearity;

// Twenty readings as the simulated DMM measures the simulated divider.
void SimulatedReadings(std::array<double, 21>& r1, std::array<double, 21>& r2) {
    t720::sim::CalibratorModel calibrator;
    t720::sim::DmmModel dmm;
    TapSetting tap;
    for (int row = 1; row <= 20; ++row) {
        calibrator.Handle(K1YText(tap));
        AdvanceTap(tap);
        const auto taps = calibrator.state().taps;
        r1[row] = std::stod(dmm.Handle("MEAS:VOLT:DC? 1,1E-6", taps).value_or("0"));
        r2[row] = std::stod(dmm.Handle("MEAS:VOLT:DC? 1,1E-6", taps).value_or("0"));
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::array<double, 21> r1{}, r2{};
    if (argc > 1) {
        const RecordParse parsed = ReadRunRecord(QString::fromLocal8Bit(argv[1]));
        if (!parsed.record) {
            std::fprintf(stderr, "%s\n", parsed.error.c_str());
            return 2;
        }
        r1 = parsed.record->reading1;
        r2 = parsed.record->reading2;
    } else {
        SimulatedReadings(r1, r2);
    }

    NullHost host;
    t720::SharedState shared;
    LinearityState state;
    ShowRecordedRun(state, host, r1, r2);

    t720::Clock& clock = t720::RealClock();
    double start = clock.Now();
    OptimiseShunts(state, shared, host);
    const double search = clock.Now() - start;

    const int evaluations = 1 + 51 + 1176 + 16176 + 147426;
    state.RowShunt = {};
    state.RowShunt[3] = 2;
    state.RowShunt[7] = 4;
    double sink = 0.0;
    start = clock.Now();
    for (int i = 0; i < evaluations; ++i) {
        const EvalResult r =
            Evaluate(state.Reading2, state.ShuntFactor, state.ShuntRoot, state.RowShunt, true);
        sink += r.Score;
    }
    const double plain = clock.Now() - start;

    std::printf("shunt search on %s\n", argc > 1 ? argv[1] : "the simulated divider");
    std::printf("  optimisation, 0..4 shunts: %.1f ms for %d evaluations\n", search * 1e3,
                evaluations);
    std::printf("  straightforward evaluations: %.1f ms for %d (%.2f us each)\n", plain * 1e3,
                evaluations, plain / evaluations * 1e6);
    for (const auto& line : state.controls.OptiL1) std::printf("  %s\n", line.c_str());
    return sink == -1.0 ? 1 : 0;  // keeps the evaluations from being optimised away
}
