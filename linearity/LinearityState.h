// Everything the linearity window keeps: the readings of the last run, the results
// of the last evaluation, the best shunt sets of the last optimisation, the plot
// scale, and the model of the window's controls. The window owns one of these; the
// logic works on it through the free functions of this folder.
#pragma once

#include "linearity/Evaluate.h"
#include "linearity/ResultsControls.h"
#include "linearity/Shunts.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace t720::linearity {

// An earlier run of the same divider ("as found") drawn under the run shown ("as
// left"): its measured curve and how the plot's key names both runs.
struct EarlierCurve {
    PointValues curve{};
    std::string label;       // "as found 2024-05-03 16:07"
    std::string shownLabel;  // "as left 2024-05-10 09:12"
};

struct LinearityState {
    // --- the run's readings, volts, per grid row 1..20 ---
    RowValues Reading1{};     // first reading; overwritten by evaluations with shunts
    RowValues Reading2{};     // second reading; what the evaluation starts from
    RowValues ReadingDiff{};  // Reading1 - Reading2 as measured
    // The two readings as the DMM gave them (the grid shows these; the run record
    // keeps them).
    std::array<double, 22> DmmReading1{};
    std::array<double, 22> DmmReading2{};

    // --- shunt choices 0..5 ---
    ShuntTable ShuntFactor{};
    ShuntTable ShuntRoot{};
    RowShunts RowShunt{};  // choice per grid row 1..20

    // --- results of the last Evaluate ---
    RowValues RowFactor{};
    std::array<float, 21> StepValue{};
    float SumFirst = 0.0f;
    float SumSecond = 0.0f;
    double HalfDevFirst = 0.0;
    double HalfDevSecond = 0.0;
    RowValues RowDevPpm{};
    PointValues PairDevPpm{};
    PointValues LinDevPpm{};
    PointValues RefLinDevPpm{};  // LinDevPpm of the last evaluation without shunts
    double Score = 0.0;

    // --- plot scale of the last PlotScaled, ppm ---
    double PlotMin = 0.0;
    double PlotMax = 0.0;
    double CurveMin = 0.0;
    double CurveMax = 0.0;
    double PlotZero = 0.0;

    // --- shunt optimisation ---
    std::array<std::array<int16_t, 11>, 6> BestShunt{};  // [shunt count][row 1..10]
    double BestMin = 0.0;  // extremes of LinDevPpm(0..10) of the best set
    double BestMax = 0.0;
    int32_t EvalCount = 0;               // sets evaluated by the last (or running) search
    std::array<int16_t, 6> ShuntRows{};  // rows carrying a shunt in a set taken over

    // Drawn with every showing of the results while set.
    std::optional<EarlierCurve> earlier;

    ResultsControls controls;
};

// Evaluate the stored readings and keep the results in the state (see Evaluate.h).
// With shunts Reading1 and RowFactor are overwritten; without, the curve becomes
// the reference curve of the plot. Returns why the results are no numbers to show
// (NotEvaluable), "" when they are.
std::string Evaluate(LinearityState& state, bool withShunts);

}  // namespace t720::linearity
