#include "linearity/ShuntScorer.h"

#include <algorithm>
#include <cstring>

namespace t720::linearity {

namespace {

constexpr double kPpm = 1000000.0;

constexpr int kKeptSequences = 6 * 6 * 6 * 6;  // SequenceKey of up to four shunts

// Sets scored at once. The vector types are the compiler's: wider than the
// machine's registers they are split, without vector registers done lane by lane.
constexpr int kLanes = 8;
using Floats = float __attribute__((vector_size(kLanes * sizeof(float))));
using Doubles = double __attribute__((vector_size(kLanes * sizeof(double))));

bool AllAtLeast(const Doubles& values, double bound) {
    const auto atLeast = values >= bound;  // per lane all ones or zero
    auto all = atLeast[0];
    for (int lane = 1; lane < kLanes; ++lane) all &= atLeast[lane];
    return all != 0;
}

template <typename Array>
bool SameBits(const Array& a, const Array& b) {
    return std::memcmp(a.data(), b.data(), sizeof(a)) == 0;
}

}  // namespace

ShuntScorer::ShuntScorer()
    : keptGeneration_(kKeptSequences, 0),
      kept_(std::make_unique_for_overwrite<Common[]>(kKeptSequences + kBatch)) {}

bool ShuntScorer::Refresh(const LinearityState& state) {
    std::array<int16_t, 10> upper{};
    for (int i = 0; i < 10; ++i)
        upper[i] = static_cast<int16_t>(ValidShuntChoice(state.RowShunt[11 + i]));
    if (SameBits(reading2_, state.Reading2) && SameBits(factor_, state.ShuntFactor) &&
        SameBits(root_, state.ShuntRoot) && SameBits(upperRows_, upper))
        return false;
    reading2_ = state.Reading2;
    factor_ = state.ShuntFactor;
    root_ = state.ShuntRoot;
    upperRows_ = upper;
    ++generation_;
    return true;
}

inline const ShuntScorer::Common& ShuntScorer::CommonOf(int i) {
    const ShuntSet set = sets_[i];
    const int key = keys_[i];
    if (keptGeneration_[key] == generation_) return kept_[key];
    // Without a root of exactly 1 for "no shunt" C depends on more than the key:
    // each set of the batch gets its own.
    if (root_[0] != 1.0f) {
        Fill(kept_[kKeptSequences + i], set);
        return kept_[kKeptSequences + i];
    }
    Fill(kept_[key], set);
    keptGeneration_[key] = generation_;
    return kept_[key];
}

// The first half of Evaluate with shunts, for what does not depend on the
// choices of rows 1..10 beyond C.
void ShuntScorer::Fill(Common& common, ShuntSet set) const {
    double c = 1.0;
    for (int row = 1; row <= 10; ++row) c = c / static_cast<double>(root_[ChoiceOf(set, row)]);
    for (int16_t choice : upperRows_) c = c / static_cast<double>(root_[choice]);
    for (int row = 1; row <= 10; ++row) {
        const float before = static_cast<float>(static_cast<double>(reading2_[row]) / c);
        for (int choice = 0; choice < kShuntChoices; ++choice)
            common.step[row][choice] = factor_[choice] * before;
    }
    float up = 0.0f;
    for (int i = 1; i <= 10; ++i) {
        const float before = static_cast<float>(static_cast<double>(reading2_[10 + i]) / c);
        up += factor_[upperRows_[i - 1]] * before;
        common.upSum[i] = up;
    }
}

void ShuntScorer::ScoreFrom(int first, double bound) {
    first -= first % kLanes;
    // The rows' values by row and group of lanes, all first and only then the
    // arithmetic: a vector read right after the single writes that make it up
    // would wait for them.
    constexpr int kGroups = kBatch / kLanes;
    Floats step[11][kGroups];
    const Common* commons[kBatch];
    const int end = (size_ + kLanes - 1) / kLanes * kLanes;
    for (int i = first; i < end; ++i) {
        const int j = std::min(i, size_ - 1);  // lanes past the end repeat the last set
        const Common& common = CommonOf(j);
        commons[i] = &common;
        for (int row = 1; row <= 10; ++row)
            step[row][i / kLanes][i % kLanes] = common.step[row][ChoiceOf(sets_[j], row)];
    }

    for (int g = first / kLanes; g < end / kLanes; ++g) {
        Floats sumFirst = {};
        for (int row = 1; row <= 10; ++row) sumFirst += step[row][g];
        const Common* const* c = &commons[g * kLanes];
        static_assert(kLanes == 8);
        const auto upSum = [c](int i, Floats& lanes) {
            lanes = Floats{c[0]->upSum[i], c[1]->upSum[i], c[2]->upSum[i], c[3]->upSum[i],
                           c[4]->upSum[i], c[5]->upSum[i], c[6]->upSum[i], c[7]->upSum[i]};
        };
        Floats up;
        upSum(10, up);
        const Floats s = sumFirst + up;

        Floats down = {};
        Doubles score = {};
        for (int i = 1; i <= 10; ++i) {
            down += step[11 - i][g];
            upSum(i, up);
            const Floats share = (down + up) / s;
            const Doubles off =
                __builtin_convertvector(share, Doubles) - 0.1 * static_cast<double>(i);
            const Doubles stored =
                __builtin_convertvector(__builtin_convertvector(kPpm * off, Floats), Doubles);
            score = score + stored * stored;
            if (AllAtLeast(score, bound)) break;
        }
        for (int lane = 0; lane < kLanes && g * kLanes + lane < size_; ++lane)
            scores_[g * kLanes + lane] = score[lane];
    }
}

}  // namespace t720::linearity
