// Colours as the windows' controls take them.
//
// A plain colour is 0x00BBGGRR: red in the low byte, blue in the third (255 is pure
// red). A value with the top bit set is not a colour: it names a colour of the
// desktop palette by its system index in the low byte, which the window resolves
// when it paints, so controls follow the operator's theme.
#pragma once

#include <cstdint>

namespace t720 {

using Colour = uint32_t;

inline constexpr Colour kSystemColourFlag = 0x80000000u;
inline constexpr Colour kSysWindowBackground = 0x80000005u;
inline constexpr Colour kSysWindowText = 0x80000008u;
inline constexpr Colour kSysAppWorkspace = 0x8000000Cu;
inline constexpr Colour kSysButtonFace = 0x8000000Fu;
inline constexpr Colour kSys3DLight =
    0x80000016u;  // light edge of 3-D elements; buttons' normal colour

inline constexpr Colour kBlack = 0x00000000u;
inline constexpr Colour kRed = 0x000000FFu;
inline constexpr Colour kGreenPure = 0x0000FF00u;
inline constexpr Colour kYellow = 0x0000FFFFu;

constexpr bool IsSystemColour(Colour c) {
    return (c & kSystemColourFlag) != 0;
}
constexpr int RedOf(Colour c) {
    return static_cast<int>(c & 0xFFu);
}
constexpr int GreenOf(Colour c) {
    return static_cast<int>((c >> 8) & 0xFFu);
}
constexpr int BlueOf(Colour c) {
    return static_cast<int>((c >> 16) & 0xFFu);
}
// A plain colour as Qt takes it (QRgb, 0xAARRGGBB), opaque: QColor::fromRgb(ArgbOf(c)).
constexpr uint32_t ArgbOf(Colour c) {
    return 0xFF000000u | static_cast<uint32_t>(RedOf(c)) << 16 |
           static_cast<uint32_t>(GreenOf(c)) << 8 | static_cast<uint32_t>(BlueOf(c));
}

}  // namespace t720
