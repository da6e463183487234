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

// Colours of the earlier run: lighter than those of the run shown.
inline constexpr Colour kEarlierRed = 0x008080FFu;

// Draws the earlier run's curve under what the picture shows, widens the
// picture's scale (not the state's) so that both curves fit, and names both in
// the key (and the blue trial curve, `withShunts`).
// An overlay drawn before is replaced.
void OverlayEarlier(const LinearityState& state, PictureModel& pic, const EarlierCurve& earlier,
                    bool withShunts);

// Takes the earlier run's curve and the key out of the picture again and gives it
// back the scale of the state.
void RemoveEarlier(const LinearityState& state, PictureModel& pic);

}  // namespace t720::linearity
