// The calibrator's divider taps for the twenty rows of a linearity run, and the
// "K1Y " command that selects them.
#pragma once

#include <array>
#include <string>

namespace t720::linearity {

// Fields of "K1Y ": t is 1 when the first tap lies above the second, a and b are
// the taps 0..10, d is 0 while the taps walk down (rows 1..10), 1 while they walk
// up (rows 11..20).
struct TapSetting {
    int t = 1;
    int a = 10;
    int b = 9;
    int d = 0;
    bool operator==(const TapSetting&) const = default;
};

// "K1Y " and the four fields, each with its sign position: "K1Y  1, 10, 9, 0".
std::string K1YText(const TapSetting& tap);

// From one row's setting to the next.
void AdvanceTap(TapSetting& tap);

// The settings of rows 1..20 (index 0 unused), in the order the run sends them.
std::array<TapSetting, 21> TapSequence();

}  // namespace t720::linearity
