// Evaluation: the shunt tables and the deviations with their single/double
// roundings. Expected values that depend on rounding were re-computed from the
// readings by a separate script that rounds to single precision after every
// single-precision operation (IEEE binary32, to nearest) and keeps the rest in
// double; the rounding shows as described at each check.
#include "linearity/Evaluate.h"
#include "linearity/LinearityState.h"
#include "linearity/Shunts.h"

#include "LinearityTestSupport.h"

#include <gtest/gtest.h>

namespace t720::linearity {
namespace {

using test::ReadingsPpm;
using test::Uniform;

// 0.5 V off by a few ppm; the ppm add up to 54, 2.7 per row on average.
const RowValues kNoisy =
    ReadingsPpm({12, -7, 3, 25, -14, 8, 0, -3, 17, -9, 5, -11, 22, -6, 4, 9, -15, 2, 13, -1});

struct Tables {
    Tables() { ComputeShuntTables(factor, root); }
    ShuntTable factor{};
    ShuntTable root{};
};

EvalResult Eval(const RowValues& r2, const RowShunts& shunts, bool withShunts) {
    static const Tables t;
    return Evaluate(r2, t.factor, t.root, shunts, withShunts);
}

TEST(ShuntTables, FactorsRootsAndCaptions) {
    const Tables t;
    // R/(R + 120) and its 20th root, each the nearest float (8 digits pick one
    // float this close to 1).
    const std::array<float, 6> factor = {1.0f,        0.99993998f, 0.99988002f,
                                         0.99984002f, 0.99975955f, 0.99960148f};
    const std::array<float, 6> root = {1.0f,        0.99999702f, 0.99999398f,
                                       0.99999201f, 0.99998796f, 0.99998009f};
    const char* captions[] = {"    offen",  "2.0 MOhm",   "1,0 MOhm", "  750 kOhm",
                              "  499 kOhm", "  301 KOhm", ""};
    for (int i = 0; i < kShuntChoices; ++i) {
        EXPECT_EQ(t.factor[i], factor[i]) << i;
        EXPECT_EQ(t.root[i], root[i]) << i;
    }
    for (int i = 0; i <= 6; ++i) EXPECT_EQ(ShuntCaption(i), captions[i]) << i;
}

TEST(Evaluate, EqualReadingsLeaveOnlyTheTenthsRounding) {
    const EvalResult r = Eval(Uniform(0.5f), {}, false);
    // 0.5 ÷ 10 × 20 rounds back to exactly 1 in single precision.
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(r.RowDevPpm[i], 0.0f) << i;
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(r.PairDevPpm[i], 0.0f) << i;
    EXPECT_EQ(r.HalfDevFirst, 0.0);
    EXPECT_EQ(r.HalfDevSecond, 0.0);
    EXPECT_EQ(r.SumFirst, 5.0f);
    EXPECT_EQ(r.SumSecond, 5.0f);
    // The single-precision quotient i/10 against the double 0.1 × i: float(0.1) is
    // 0.1 + 1.5E-9, which is 0.0015 ppm.
    const std::array<double, 11> curve = {0,      0.0015,  0.0030, 0.0119,  0.0060, 0,
                                          0.0238, -0.0119, 0.0119, -0.0238, 0};
    double score = 0;
    for (int i = 0; i <= 10; ++i) {
        EXPECT_NEAR(r.LinDevPpm[i], curve[i], 0.00005) << i;
        score += static_cast<double>(r.LinDevPpm[i]) * r.LinDevPpm[i];
    }
    EXPECT_EQ(r.LinDevPpm[5], 0.0f);
    EXPECT_EQ(r.LinDevPpm[10], 0.0f);
    EXPECT_EQ(r.Score, score);  // the squares of the stored floats, summed in double
    EXPECT_NEAR(r.Score, 0.00161, 0.00001);
}

TEST(Evaluate, DeviationsInSinglePrecision) {
    const EvalResult r = Eval(kNoisy, {}, false);
    // Near 1 a single-precision bracket moves in steps of 2^-24, so each row and
    // pair deviation is a whole number of 1E6 × 2^-24 ppm: about (ppm − 2.7) ÷
    // 0.0596 for a row.
    constexpr double kStep = 1e6 / 16777216.0;
    const std::array<int, 20> row = {154, -165, 2,   372,  -284, 86,  -48,  -98, 238, -198,
                                     36,  -234, 322, -148, 20,   102, -300, -14, 170, -65};
    const std::array<int, 10> pair = {44, 2, -6, 36, -90, 52, -98, 112, 2, -82};
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(r.RowDevPpm[i], row[i - 1] * kStep) << i;
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(r.PairDevPpm[i], pair[i - 1] * kStep) << i;
    const std::array<float, 10> curve = {-0.4902482f,   -0.47385693f, 0.22053719f,  -0.38146973f,
                                         -0.059604645f, -0.57220459f, -0.30994415f, -0.40531158f,
                                         -0.26226044f,  0.0f};
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(r.LinDevPpm[i], curve[i - 1]) << i;
    EXPECT_EQ(r.HalfDevFirst, 0.47683579396107234);
    EXPECT_EQ(r.HalfDevSecond, -0.5722029641219706);
    EXPECT_EQ(r.Score, 1.3191336911688722);
}

TEST(Evaluate, NoShuntChosenGivesTheMeasuredDeviations) {
    const EvalResult plain = Eval(kNoisy, {}, false);
    const EvalResult shunted = Eval(kNoisy, {}, true);
    EXPECT_EQ(shunted.LinDevPpm, plain.LinDevPpm);
    EXPECT_EQ(shunted.RowDevPpm, plain.RowDevPpm);
    EXPECT_EQ(shunted.PairDevPpm, plain.PairDevPpm);
    EXPECT_EQ(shunted.Score, plain.Score);
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(shunted.Reading1[i], kNoisy[i]) << i;
}

TEST(Evaluate, ShuntChoiceOutsideTheMenuCountsAsNone) {
    RowShunts odd{};
    odd[3] = 9;
    odd[4] = -1;
    odd[5] = 3;
    RowShunts plain{};
    plain[5] = 3;
    EXPECT_EQ(Eval(kNoisy, odd, true).LinDevPpm, Eval(kNoisy, plain, true).LinDevPpm);
}

}  // namespace
}  // namespace t720::linearity
