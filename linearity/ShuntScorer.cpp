#include "linearity/ShuntScorer.h"

#include <cstring>

namespace t720::linearity {

namespace {

constexpr double kPpm = 1000000.0;

// Sequences of up to four rows with a shunt are kept, each choice one digit
// 1..6 of a number to base 7.
constexpr int kDigitBase = 7;
constexpr int kKeptSequences = kDigitBase * kDigitBase * kDigitBase * kDigitBase;

template <typename Array>
bool SameBits(const Array& a, const Array& b) {
    return std::memcmp(a.data(), b.data(), sizeof(a)) == 0;
}

}  // namespace

ShuntScorer::ShuntScorer() : kept_(kKeptSequences) {}

void ShuntScorer::Refresh(const LinearityState& state) {
    std::array<int16_t, 10> upper{};
    for (int i = 0; i < 10; ++i)
        upper[i] = static_cast<int16_t>(ValidShuntChoice(state.RowShunt[11 + i]));
    if (SameBits(reading2_, state.Reading2) && SameBits(factor_, state.ShuntFactor) &&
        SameBits(root_, state.ShuntRoot) && SameBits(upperRows_, upper))
        return;
    reading2_ = state.Reading2;
    factor_ = state.ShuntFactor;
    root_ = state.ShuntRoot;
    upperRows_ = upper;
    ++generation_;
}

const ShuntScorer::Common& ShuntScorer::CommonOf(const ShuntSet& set) {
    int key = 0;
    int digits = 0;
    for (int row = 1; row <= 10; ++row) {
        if (root_[set[row]] != 1.0f) {
            key = key * kDigitBase + set[row] + 1;
            ++digits;
        }
    }
    Common& common = digits <= 4 ? kept_[key] : scratch_;
    if (common.generation != generation_ || &common == &scratch_) {
        Fill(common, set);
        common.generation = generation_;
    }
    return common;
}

// The first half of Evaluate with shunts, for what does not depend on the
// choices of rows 1..10 beyond C.
void ShuntScorer::Fill(Common& common, const ShuntSet& set) const {
    double c = 1.0;
    for (int row = 1; row <= 10; ++row) c = c / static_cast<double>(root_[set[row]]);
    for (int16_t choice : upperRows_) c = c / static_cast<double>(root_[choice]);
    for (int row = 1; row <= 10; ++row)
        common.before[row] = static_cast<float>(static_cast<double>(reading2_[row]) / c);
    float up = 0.0f;
    for (int i = 1; i <= 10; ++i) {
        const float before = static_cast<float>(static_cast<double>(reading2_[10 + i]) / c);
        up += factor_[upperRows_[i - 1]] * before;
        common.upSum[i] = up;
    }
}

double ShuntScorer::Score(const ShuntSet& set) {
    const Common& common = CommonOf(set);
    std::array<float, 11> step{};
    float sumFirst = 0.0f;
    for (int row = 1; row <= 10; ++row) {
        step[row] = factor_[set[row]] * common.before[row];
        sumFirst += step[row];
    }
    const float s = sumFirst + common.upSum[10];

    float down = 0.0f;
    double score = 0.0;
    for (int i = 1; i <= 10; ++i) {
        down += step[11 - i];
        const float share = (down + common.upSum[i]) / s;
        const double stored =
            static_cast<float>(kPpm * (static_cast<double>(share) - 0.1 * static_cast<double>(i)));
        score = score + stored * stored;
    }
    return score;
}

}  // namespace t720::linearity
