// The colours of the linearity window beyond the program-wide ones (app/Colour.h,
// which also tells how system colours are represented).
#pragma once

#include "app/Colour.h"

namespace t720::linearity {

inline constexpr Colour kBlue = 0x00FF0000u;
inline constexpr Colour kWhite = 0x00FFFFFFu;
inline constexpr Colour kLightGrey = 0x00E0E0E0u;    // cell that shows a shunt
inline constexpr Colour kLightYellow = 0x00C0FFFFu;  // the larger half deviation
inline constexpr Colour kLightRed = 0x00C0C0FFu;     // curve value above 10 ppm
inline constexpr Colour kLightGreen = 0x00C0FFC0u;   // largest curve value
inline constexpr Colour kGreen = 0x0080FF80u;        // smallest curve value
inline constexpr Colour kPink = 0x00F0C0FFu;         // largest/smallest and above 10 ppm
// kYellow (app/Colour.h) marks the cell whose shunt is being chosen.

}  // namespace t720::linearity
