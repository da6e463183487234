// Scores of shunt sets on rows 1..10 for the shunt search: bit for bit the Score
// that Evaluate with shunts gives (same single/double steps in the same order),
// without the results the search does not compare.
//
// What depends only on the common factor C is kept between sets. C is the running
// quotient 1 ÷ root ÷ root ... over the twenty rows; a division by a root of
// exactly 1 (no shunt) leaves C unchanged to the bit, so C, and with it every
// row's value before its own factor, depends only on the sequence of rows 1..10
// that carry a shunt, and on rows 11..20 (with the tables of every run, where
// "no shunt" has the root 1). With at most four shunts there are 781 such
// sequences, against 147 426 sets.
//
// Sets are scored in batches, several at once in the lanes of vector registers;
// each lane does exactly the scalar operations, so the lanes' results are those
// of one set at a time. Where the machine has no vector unit the compiler
// carries the same operations out lane by lane.
#pragma once

#include "linearity/LinearityState.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace t720::linearity {

// Shunt choice 0..5 of rows 1..10, packed: row r in bits 3(r - 1) up.
using ShuntSet = uint32_t;

inline int ChoiceOf(ShuntSet set, int row) {
    return static_cast<int>(set >> (3 * (row - 1))) & 7;
}
inline ShuntSet WithChoice(ShuntSet set, int row, int choice) {
    return set | static_cast<ShuntSet>(choice) << (3 * (row - 1));
}

// The sequence of shunts of a set, the choices 1..5 of its rows with a shunt in
// row order as the digits of a number to base 6: start from 0 and take each row.
inline int SequenceKey(int key, int choice) {
    return choice != 0 ? key * 6 + choice : key;
}

class ShuntScorer {
  public:
    static constexpr int kBatch = 64;

    ShuntScorer();

    // Takes the readings, the shunt tables and the choices of rows 11..20 as the
    // state holds them now. Returns whether any of them changed (what was kept
    // for the old values is then dropped). Cheap when nothing changed: call it
    // whenever the window may have had a say.
    bool Refresh(const LinearityState& state);

    // Adds a set with at most four shunts and its SequenceKey to the batch; true
    // once the batch is full.
    bool Add(ShuntSet set, int key) {
        sets_[size_] = set;
        keys_[size_] = key;
        return ++size_ == kBatch;
    }
    // Scores the batch's sets from `first` on with rows 11..20 as at the last
    // Refresh. A set whose Score is not below `bound` may get any score not below
    // it: the squares are added up in order and none is negative, so once the
    // running sum reaches the bound the rest is not needed.
    void ScoreFrom(int first, double bound);
    void Clear() { size_ = 0; }

    int size() const { return size_; }
    ShuntSet set(int i) const { return sets_[i]; }
    double score(int i) const { return scores_[i]; }

  private:
    // Per sequence of rows with a shunt: the value of rows 1..10 for each choice
    // (Reading1 of Evaluate), and the running sums of rows 11..20 (the last is
    // their whole sum).
    struct Common {
        std::array<std::array<float, kShuntChoices>, 11> step;
        std::array<float, 11> upSum;
    };

    const Common& CommonOf(int i);  // of the batch's set i
    void Fill(Common& common, ShuntSet set) const;

    RowValues reading2_{};
    ShuntTable factor_{};
    ShuntTable root_{};
    std::array<int16_t, 10> upperRows_{};  // choices of rows 11..20
    // What is kept, by SequenceKey (then one per set of the batch, for tables
    // where the key does not tell C); valid while its generation is current.
    uint32_t generation_ = 1;
    std::vector<uint32_t> keptGeneration_;
    std::unique_ptr<Common[]> kept_;

    std::array<ShuntSet, kBatch> sets_{};
    std::array<int, kBatch> keys_{};
    std::array<double, kBatch> scores_{};
    int size_ = 0;
};

}  // namespace t720::linearity
