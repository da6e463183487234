// The calibrator's range table as SharedState::RangeTab holds it: the full scale of
// range indexes 1 to 6 in mV/V, whole numbers as the calibrator's variants define
// them; index 0 is no range.
#pragma once

#include <array>
#include <cstdint>

namespace t720 {

using RangeTable = std::array<int32_t, 7>;

// The entry that stands for 0.5 mV/V, the one full scale below 1 mV/V.
inline constexpr int32_t kHalfMvVEntry = 555;

// The table until the calibrator's identification names a variant of its own.
inline constexpr RangeTable kStandardRanges = {0, 2, 5, 10, 20, 100, 1000};

// A table entry in mV/V.
constexpr double FullScaleMvV(int32_t entry) {
    return entry == kHalfMvVEntry ? 0.5 : static_cast<double>(entry);
}

}  // namespace t720
