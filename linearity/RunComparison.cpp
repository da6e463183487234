#include "linearity/RunComparison.h"

#include "link/NumberText.h"

#include <algorithm>

namespace t720::linearity {

namespace {

constexpr const char* kPpmPattern = "#0.0";

std::string RightAligned(std::string text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

}  // namespace

namespace {

EvalResult Measured(const RunRecord& record) {
    // As the window keeps the run: each second reading as a float.
    RowValues reading2{};
    for (int row = 1; row <= 20; ++row) reading2[row] = static_cast<float>(record.reading2[row]);
    return Evaluate(reading2, ShuntTable{}, ShuntTable{}, RowShunts{}, false);
}

}  // namespace

PointValues MeasuredCurve(const RunRecord& record) {
    return Measured(record).LinDevPpm;
}

std::string RecordNotEvaluable(const RunRecord& record) {
    return NotEvaluable(Measured(record));
}

CurveExtremes Extremes(const PointValues& curve) {
    CurveExtremes e;
    for (float v : curve) {
        e.max = std::max(e.max, v);
        e.min = std::min(e.min, v);
    }
    return e;
}

Comparison CompareRuns(const PointValues& asFound, const PointValues& asLeft) {
    Comparison c;
    for (int i = 0; i <= 10; ++i)
        c[i] = {10 * i, asFound[i], asLeft[i],
                static_cast<double>(asLeft[i]) - static_cast<double>(asFound[i])};
    return c;
}

std::array<std::string, 12> ComparisonLines(const Comparison& comparison) {
    std::array<std::string, 12> lines;
    lines[0] = "  Tap   as found   as left   difference (ppm)";
    for (int i = 10; i >= 0; --i) {
        const TapComparison& t = comparison[i];
        lines[11 - i] = RightAligned(std::to_string(t.percent) + " %", 6) +
                        RightAligned(FormatLocal(t.asFound, kPpmPattern), 11) +
                        RightAligned(FormatLocal(t.asLeft, kPpmPattern), 10) +
                        RightAligned(FormatLocal(t.difference, kPpmPattern), 13);
    }
    return lines;
}

}  // namespace t720::linearity
