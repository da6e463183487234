#include "linearity/Evaluate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace t720::linearity {

namespace {

constexpr double kPpm = 1000000.0;

// 1E6 × (x ÷ s × factor − 1): the bracket in single precision, the scaling to ppm
// in double, kept as float.
float DeviationPpm(float x, float s, float factor) {
    float ratio = x / s;
    ratio = ratio * factor;
    ratio = ratio - 1.0f;
    return static_cast<float>(kPpm * static_cast<double>(ratio));
}

// 1E6 × ((part − S ÷ 2) ÷ (S ÷ 2)), the ratio in single precision.
double HalfDeviationPpm(float part, float s) {
    const float half = s / 2.0f;
    const float ratio = (part - half) / half;
    return kPpm * static_cast<double>(ratio);
}

}  // namespace

EvalResult Evaluate(const RowValues& reading2, const ShuntTable& shuntFactor,
                    const ShuntTable& shuntRoot, const RowShunts& rowShunt, bool withShunts) {
    EvalResult r;
    if (!withShunts) {
        for (int i = 1; i <= 20; ++i) r.StepValue[i] = reading2[i];
    } else {
        // C ends as 1 ÷ (product of the twenty roots); kept in double throughout.
        double c = 1.0;
        for (int i = 1; i <= 20; ++i) {
            const int choice = ValidShuntChoice(rowShunt[i]);
            r.RowFactor[i] = shuntFactor[choice];
            c = c / static_cast<double>(shuntRoot[choice]);
        }
        for (int i = 1; i <= 20; ++i) {
            r.StepValue[i] = static_cast<float>(static_cast<double>(reading2[i]) / c);
            r.Reading1[i] = r.RowFactor[i] * r.StepValue[i];
            r.StepValue[i] = r.Reading1[i];
        }
    }

    for (int i = 1; i <= 10; ++i) r.SumFirst += r.StepValue[i];
    for (int i = 11; i <= 20; ++i) r.SumSecond += r.StepValue[i];
    const float s = r.SumFirst + r.SumSecond;

    r.HalfDevFirst = HalfDeviationPpm(r.SumFirst, s);
    r.HalfDevSecond = HalfDeviationPpm(r.SumSecond, s);

    for (int i = 1; i <= 20; ++i) r.RowDevPpm[i] = DeviationPpm(r.StepValue[i], s, 20.0f);

    for (int i = 1; i <= 10; ++i) {
        const float pair = r.StepValue[21 - i] + r.StepValue[i];
        r.PairDevPpm[i] = DeviationPpm(pair, s, 10.0f);
    }

    // The curve point at i × 10 % holds the i intervals at the bottom, each measured
    // once downwards (rows 10, 9 ..) and once upwards (rows 11, 12 ..).
    float down = 0.0f;
    float up = 0.0f;
    for (int i = 1; i <= 10; ++i) {
        down += r.StepValue[11 - i];
        up += r.StepValue[10 + i];
        const float share = (down + up) / s;
        r.LinDevPpm[i] =
            static_cast<float>(kPpm * (static_cast<double>(share) - 0.1 * static_cast<double>(i)));
        const double stored = r.LinDevPpm[i];
        r.Score = r.Score + stored * stored;
    }
    r.LinDevPpm[0] = 0.0f;
    return r;
}

std::string NotEvaluable(const EvalResult& r) {
    const float total = r.SumFirst + r.SumSecond;
    auto finite = [](const auto& values, int first, int last) {
        return std::all_of(values.begin() + first, values.begin() + last + 1,
                           [](float v) { return std::isfinite(v); });
    };
    if (total != 0.0f && std::isfinite(r.HalfDevFirst) && std::isfinite(r.HalfDevSecond) &&
        std::isfinite(r.Score) && finite(r.RowDevPpm, 1, 20) && finite(r.PairDevPpm, 1, 10) &&
        finite(r.LinDevPpm, 1, 10))
        return {};
    if (total == 0.0f)
        return "the second readings add up to 0 V, so there is no total to refer the deviations to";
    char text[128];
    std::snprintf(text, sizeof text,
                  "the second readings add up to %g V, too little to refer the deviations to",
                  static_cast<double>(total));
    return text;
}

}  // namespace t720::linearity
