#include "linearity/TapSequence.h"

#include "link/NumberText.h"

namespace t720::linearity {

std::string K1YText(const TapSetting& tap) {
    return "K1Y " + SignPos(tap.t) + "," + SignPos(tap.a) + "," + SignPos(tap.b) + "," +
           SignPos(tap.d);
}

void AdvanceTap(TapSetting& tap) {
    tap.t = tap.t == 0 ? 1 : 0;
    if (tap.d == 0) {
        if (tap.a > tap.b) {
            tap.a -= 2;
        } else if (tap.b == 1) {
            // Bottom interval reached: it is measured again, now as the first step up.
            tap.d = 1;
            tap.t = 0;
        } else {
            tap.b -= 2;
        }
    } else if (tap.a > tap.b) {
        tap.b += 2;
    } else {
        tap.a += 2;
    }
}

std::array<TapSetting, 21> TapSequence() {
    std::array<TapSetting, 21> rows{};
    TapSetting tap;
    for (int row = 1; row <= 20; ++row) {
        rows[row] = tap;
        AdvanceTap(tap);
    }
    return rows;
}

}  // namespace t720::linearity
