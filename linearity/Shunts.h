// The five shunt resistors that can be put in parallel with a 120 Ohm resistor of
// the calibrator's divider, and "no shunt": choices 0..5.
#pragma once

#include <array>
#include <string_view>

namespace t720::linearity {

inline constexpr int kShuntChoices = 6;

// Per choice, index 0..5; index 6 is spare.
using ShuntTable = std::array<float, 7>;

// Ohms; choice 0 is "open", taken as 1E+38 Ohm so that its factor comes out as 1.
double ShuntResistance(int choice);

// The menu caption of a choice, which the grid also shows ("  750 kOhm").
// An out-of-range choice has the empty caption.
std::string_view ShuntCaption(int choice);

// A choice outside 0..5 has no meaning; it is taken as "no shunt".
inline int ValidShuntChoice(int choice) {
    return choice >= 0 && choice < kShuntChoices ? choice : 0;
}

// ShuntFactor: how much a 120 Ohm resistor shrinks with the shunt in parallel,
// R/(R + 120). ShuntRoot: its twentieth root, the share one row of the twenty has
// in the divider's overall change. Both computed in double, kept as float.
void ComputeShuntTables(ShuntTable& shuntFactor, ShuntTable& shuntRoot);

}  // namespace t720::linearity
