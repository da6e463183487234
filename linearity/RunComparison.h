// Two runs of one divider compared: the earlier one "as found" (before shunts
// were fitted), the later one "as left". Both curves are the measured ones, each
// evaluated without shunts exactly as the window evaluates a run.
#pragma once

#include "linearity/Evaluate.h"
#include "linearity/RunRecord.h"

#include <array>
#include <string>

namespace t720::linearity {

// The linearity curve (ppm at 0, 10 .. 100 %) of a record's readings evaluated
// without shunts: the window's reference curve for that run.
PointValues MeasuredCurve(const RunRecord& record);

// Why a record's readings cannot be evaluated (NotEvaluable), "" when they can:
// such a record has no curve to list, compare or report.
std::string RecordNotEvaluable(const RunRecord& record);

// Largest and smallest of a curve's points 0..10 (point 0 is 0, so max >= 0 >= min).
struct CurveExtremes {
    float max = 0.0f;
    float min = 0.0f;
};
CurveExtremes Extremes(const PointValues& curve);

// One tap of the divider, i × 10 %: the deviation of both runs and how far the
// later one moved, as left minus as found, ppm.
struct TapComparison {
    int percent = 0;
    float asFound = 0.0f;
    float asLeft = 0.0f;
    double difference = 0.0;
};
using Comparison = std::array<TapComparison, 11>;

Comparison CompareRuns(const PointValues& asFound, const PointValues& asLeft);

// The comparison as lines of text, numbers with the user's decimal separator:
// a heading, then one line per tap from 100 % down to 0 %, as the grid runs.
std::array<std::string, 12> ComparisonLines(const Comparison& comparison);

}  // namespace t720::linearity
