// The Score of a shunt set on rows 1..10 for the shunt search: bit for bit the
// Score that Evaluate with shunts gives (same single/double steps in the same
// order), without the results the search does not compare.
//
// What depends only on the common factor C is kept between sets. C is the running
// quotient 1 ÷ root ÷ root ... over the twenty rows; a division by a root of
// exactly 1 (no shunt) leaves C unchanged to the bit, so C, and with it every
// row's value before its own factor, depends only on the sequence of rows 1..10
// that carry a shunt whose root is not 1, and on rows 11..20. With at most four
// shunts there are 781 such sequences, against 147 426 sets.
#pragma once

#include "linearity/LinearityState.h"

#include <array>
#include <cstdint>
#include <vector>

namespace t720::linearity {

// Shunt choice of rows 1..10 (index 0 unused).
using ShuntSet = std::array<int16_t, 11>;

class ShuntScorer {
  public:
    ShuntScorer();

    // Takes the readings, the shunt tables and the choices of rows 11..20 as the
    // state holds them now; what was kept for other values is dropped. Cheap when
    // nothing changed: call it whenever the window may have had a say.
    void Refresh(const LinearityState& state);

    // The Score of Evaluate with shunts for rows 1..10 as in `set` (each 0..5) and
    // rows 11..20 as at the last Refresh.
    double Score(const ShuntSet& set);

  private:
    // Per sequence of rows with a shunt: rows 1..10 before their own factor, and
    // the running sums of rows 11..20 (the last is their whole sum).
    struct Common {
        uint32_t generation = 0;
        std::array<float, 11> before{};
        std::array<float, 11> upSum{};
    };

    const Common& CommonOf(const ShuntSet& set);
    void Fill(Common& common, const ShuntSet& set) const;

    RowValues reading2_{};
    ShuntTable factor_{};
    ShuntTable root_{};
    std::array<int16_t, 10> upperRows_{};  // choices of rows 11..20
    uint32_t generation_ = 1;
    std::vector<Common> kept_;  // by sequence, see CommonOf
    Common scratch_;            // a sequence too long to keep
};

}  // namespace t720::linearity
