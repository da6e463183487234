// Puts the results of the last Evaluate into the window: grid columns 5..9 (and
// column 1 with shunts), the plot and the labels minppm/maxppm.
#pragma once

#include "linearity/LinearityState.h"
#include "linearity/WindowHost.h"

namespace t720::linearity {

// Number patterns of the window.
inline constexpr const char* kVoltPattern = "##0.0000000";
inline constexpr const char* kHalfDevPattern = "#0.0 ppm";
inline constexpr const char* kRowDevPattern = "########0";
inline constexpr const char* kPairDevPattern = "######0.0";
inline constexpr const char* kCurvePattern = "#######0.0";

// Call after Evaluate with the same flag. With shunts the results go to other
// cells of column 5 and to column 9, so the measurement's own results stay
// visible beside a trial; the plot then shows the trial curve (blue) over the
// measured one (red).
void ShowResults(LinearityState& state, WindowHost& host, bool withShunts);

}  // namespace t720::linearity
