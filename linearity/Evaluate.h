// The evaluation of a linearity run: from the twenty second readings (and, to try
// shunts out, the shunt chosen per row) to the deviations in ppm of the total, the
// linearity curve at 0, 10 .. 100 % and its figure of merit.
//
// The single/double precision of every step is part of the result, so each step
// keeps its own, float or double, operation by operation, never contracted into
// FMAs: the shunt search compares scores strictly, so one rounding more or less can
// change which shunt set wins, and a run's figures (the window's, the record's, the
// report's, an as found comparison's) must match bit for bit whenever and wherever
// its readings are evaluated again.
// ShuntScorer repeats the steps that lead to Score for the search; a change here
// belongs there too (the search's test compares it with plain evaluations).
#pragma once

#include "linearity/Shunts.h"

#include <array>
#include <cstdint>
#include <string>

namespace t720::linearity {

// Per grid row 1..20 (index 0 and 21 unused), volts or ppm.
using RowValues = std::array<float, 22>;
// Per curve point 0..10 (i × 10 %).
using PointValues = std::array<float, 11>;
// Shunt choice 0..5 per grid row 1..20.
using RowShunts = std::array<int16_t, 22>;

struct EvalResult {
    std::array<float, 21> StepValue{};  // the value of each row used, volts
    RowValues Reading1{};               // with shunts: the readings as if the shunts were fitted
    RowValues RowFactor{};              // with shunts: the ShuntFactor of each row's choice
    float SumFirst = 0.0f;              // rows 1..10
    float SumSecond = 0.0f;             // rows 11..20
    double HalfDevFirst = 0.0;          // ppm from half the total
    double HalfDevSecond = 0.0;
    RowValues RowDevPpm{};     // ppm from a twentieth of the total
    PointValues PairDevPpm{};  // rows i and 21 - i together, ppm from a tenth
    PointValues LinDevPpm{};   // linearity deviation at i × 10 %, ppm of the total
    double Score = 0.0;        // sum of the squared LinDevPpm(1..10)
};

// Without shunts the readings are taken as measured; with shunts each row is
// scaled by its own shunt factor and every row by the geometric mean of the twenty
// factors. Reading1 and RowFactor are filled only with shunts. A rowShunt entry
// outside 0..5 counts as no shunt.
EvalResult Evaluate(const RowValues& reading2, const ShuntTable& shuntFactor,
                    const ShuntTable& shuntRoot, const RowShunts& rowShunt, bool withShunts);

// Why a result holds no deviations to show, or "" when it does. Every deviation is
// referred to the total of the twenty second readings: a total of 0 V (no voltage across
// the divider, say) or one so small that the ppm overflow leaves values that are
// no numbers at all.
std::string NotEvaluable(const EvalResult& result);

}  // namespace t720::linearity
