// The linearity plot: a curve of points 0..n, point k at (value k, n − k), so 0 %
// stands at the bottom and 100 % at the top, around a vertical zero axis.
#pragma once

#include "linearity/Colours.h"
#include "linearity/LinearityState.h"
#include "linearity/ResultsControls.h"

#include <span>

namespace t720::linearity {

// Clears the picture, scales it to values(0..n) with room around them (the scale
// is kept in state.PlotMin/PlotMax, the extremes in CurveMin/CurveMax), and draws
// them with PlotCurve.
void PlotScaled(LinearityState& state, PictureModel& pic, int n, std::span<const float> values,
                Colour colour);

// Draws the zero axis and values(0..n) on the picture's current scale: lines from
// point to point and a circle around each point. A point that is not a finite
// number is left out, and so are the lines to and from it.
void PlotCurve(const LinearityState& state, PictureModel& pic, int n, std::span<const float> values,
               Colour colour);

}  // namespace t720::linearity
