#include "linearity/Plot.h"

#include <algorithm>
#include <cmath>

namespace t720::linearity {

namespace {

int LastIndex(int n, std::span<const float> values) {
    return std::min(n, static_cast<int>(values.size()) - 1);
}

bool Finite(double a, double b) {
    return std::isfinite(a) && std::isfinite(b);
}

}  // namespace

void PlotScaled(LinearityState& state, PictureModel& pic, int n, std::span<const float> values,
                Colour colour) {
    pic.Clear();
    const int last = LastIndex(n, values);
    state.PlotMin = 0.0;
    state.PlotMax = 0.001;
    for (int i = 0; i <= last; ++i) {
        const double v = values[i];
        if (v < state.PlotMin) state.PlotMin = v;
        if (v > state.PlotMax) state.PlotMax = v;
    }
    state.CurveMin = state.PlotMin;
    state.CurveMax = state.PlotMax;

    // 2 ppm and 10 % of room, so a flat curve is not drawn on the edge.
    state.PlotMin = (state.PlotMin - 2.0) * 1.1;
    state.PlotMax = (state.PlotMax + 2.0) * 1.1;
    state.PlotZero = 0.0;

    const double span = state.PlotMax - state.PlotMin;
    pic.scaleLeft = state.PlotMin - 0.05 * span;
    pic.scaleWidth = 1.1 * span;
    pic.scaleTop = -0.5;
    pic.scaleHeight = n + 1;

    PlotCurve(state, pic, n, values, colour);
}

void PlotCurve(const LinearityState& state, PictureModel& pic, int n, std::span<const float> values,
               Colour colour) {
    const double radius = 0.01 * (state.PlotMax - state.PlotMin);
    pic.primitives.push_back(PlotLine{state.PlotZero, -0.5, state.PlotZero, n + 1.5, kBlack});

    const int last = LastIndex(n, values);
    double prevX = last >= 0 ? values[0] : 0.0;
    double prevY = n;
    for (int k = 0; k <= last; ++k) {
        const double x = values[k];
        const double y = n - k;
        if (Finite(x, prevX)) pic.primitives.push_back(PlotLine{prevX, prevY, x, y, colour});
        if (Finite(x, radius)) pic.primitives.push_back(PlotCircle{x, y, radius, colour});
        prevX = x;
        prevY = y;
    }
}

void OverlayEarlier(const LinearityState& state, PictureModel& pic, const EarlierCurve& earlier,
                    bool withShunts) {
    RemoveEarlier(state, pic);
    // The earlier curve's own scale, widened as PlotScaled widens, and the two
    // scales joined.
    LinearityState scale;
    PictureModel under;
    PlotScaled(scale, under, 10, earlier.curve, kEarlierRed);
    scale.PlotMin = std::min(scale.PlotMin, state.PlotMin);
    scale.PlotMax = std::max(scale.PlotMax, state.PlotMax);
    under.Clear();
    PlotCurve(scale, under, 10, earlier.curve, kEarlierRed);

    const double span = scale.PlotMax - scale.PlotMin;
    pic.scaleLeft = scale.PlotMin - 0.05 * span;
    pic.scaleWidth = 1.1 * span;
    pic.primitives.insert(pic.primitives.begin(), under.primitives.begin(),
                          under.primitives.end());
    pic.legend = {{earlier.label, kEarlierRed}, {earlier.shownLabel, kRed}};
    if (withShunts) pic.legend.push_back({"with shunts", kBlue});
}

void RemoveEarlier(const LinearityState& state, PictureModel& pic) {
    std::erase_if(pic.primitives, [](const PlotPrimitive& p) {
        return std::visit([](const auto& shape) { return shape.colour == kEarlierRed; }, p);
    });
    pic.legend.clear();
    const double span = state.PlotMax - state.PlotMin;
    pic.scaleLeft = state.PlotMin - 0.05 * span;
    pic.scaleWidth = 1.1 * span;
}

}  // namespace t720::linearity
