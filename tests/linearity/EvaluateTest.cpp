// Evaluation: shunt tables and the deviations with their exact
// single/double roundings. Bit patterns marked "reference" come from an
// independent re-computation that rounds every single-precision step by hand.
#include "linearity/Evaluate.h"
#include "linearity/LinearityState.h"
#include "linearity/Shunts.h"

#include "LinearityTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace t720::linearity {
namespace {

using test::DoubleFromBits;
using test::ReadingsPpm;
using test::Uniform;

// Small deviations everywhere.
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

TEST(ShuntTables, FactorsAndRootsAsStoredFloats) {
    const Tables t;
    const std::array<float, 6> factor = {1.0f,        0.99993998f, 0.99988002f,
                                         0.99984002f, 0.99975955f, 0.99960148f};
    const std::array<uint32_t, 6> rootBits = {0x3f800000, 0x3f7fffce, 0x3f7fff9b,
                                              0x3f7fff7a, 0x3f7fff36, 0x3f7ffeb2};  // reference
    for (int i = 0; i < kShuntChoices; ++i) {
        EXPECT_EQ(std::bit_cast<uint32_t>(t.factor[i]), std::bit_cast<uint32_t>(factor[i])) << i;
        EXPECT_EQ(std::bit_cast<uint32_t>(t.root[i]), rootBits[i]) << i;
    }
}

TEST(ShuntTables, CaptionsKeepTheirBlanks) {
    const char* captions[] = {"    offen",  "2.0 MOhm",   "1,0 MOhm", "  750 kOhm",
                              "  499 kOhm", "  301 KOhm", ""};
    for (int i = 0; i <= 6; ++i) EXPECT_EQ(ShuntCaption(i), captions[i]) << i;
}

TEST(Evaluate, EqualReadingsLeaveOnlyTheTenthsRounding) {
    const EvalResult r = Eval(Uniform(0.5f), {}, false);
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(r.RowDevPpm[i], 0.0f) << i;
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(r.PairDevPpm[i], 0.0f) << i;
    EXPECT_EQ(r.HalfDevFirst, 0.0);
    EXPECT_EQ(r.HalfDevSecond, 0.0);
    EXPECT_EQ(r.SumFirst, 5.0f);
    EXPECT_EQ(r.SumSecond, 5.0f);
    // i/10 in single precision against 0.1 × i in double.
    const std::array<double, 11> approx = {0,      0.0015,  0.0030, 0.0119,  0.0060, 0,
                                           0.0238, -0.0119, 0.0119, -0.0238, 0};
    for (int i = 0; i <= 10; ++i) EXPECT_NEAR(r.LinDevPpm[i], approx[i], 0.00005) << i;
    EXPECT_EQ(r.LinDevPpm[5], 0.0f);
    EXPECT_EQ(r.LinDevPpm[10], 0.0f);
}

TEST(Evaluate, WithoutShuntsMatchesReference) {
    const EvalResult r = Eval(kNoisy, {}, false);
    const std::array<uint32_t, 10> lin = {0xbefb01d0, 0xbef29d60, 0x3e61d480, 0xbec35000,
                                          0xbd742400, 0xbf127c00, 0xbe9eb100, 0xbecf8500,
                                          0xbe864700, 0x00000000};
    const std::array<uint32_t, 10> pair = {0x4027d8c0, 0x3df42400, 0xbeb71b00, 0x40095440,
                                           0xc0aba950, 0x40465d40, 0xc0baeb90, 0x40d59f80,
                                           0x3df42400, 0xc09c6710};
    const std::array<uint32_t, 20> row = {
        0x4112dda8, 0xc11d5b34, 0x3df42400, 0x41b16228, 0xc1876bf8, 0x40a40830, 0xc0371b00,
        0xc0baeb90, 0x4162f978, 0xc13cd3d8, 0x40095440, 0xc15f28e8, 0x41998aa4, 0xc10d24d0,
        0x3f989680, 0x40c28cb0, 0xc18f0d18, 0xbf559f80, 0x41221fe8, 0xc077f490};
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(std::bit_cast<uint32_t>(r.LinDevPpm[i]), lin[i - 1]) << i;
        EXPECT_EQ(std::bit_cast<uint32_t>(r.PairDevPpm[i]), pair[i - 1]) << i;
    }
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(std::bit_cast<uint32_t>(r.RowDevPpm[i]), row[i - 1]);
    EXPECT_EQ(r.HalfDevFirst, DoubleFromBits(0x3fde847a47280000));
    EXPECT_EQ(r.HalfDevSecond, DoubleFromBits(0xbfe24f7c97328000));
    EXPECT_EQ(r.Score, DoubleFromBits(0x3ff51b2bede9f400));
}

TEST(Evaluate, WithShuntsMatchesReference) {
    RowShunts shunts{};
    shunts[3] = 2;
    shunts[7] = 5;
    shunts[14] = 1;
    shunts[18] = 4;
    const EvalResult r = Eval(kNoisy, shunts, true);
    const std::array<uint32_t, 10> lin = {0x4067d696, 0x40f792e8, 0x4148765c, 0xc0dc1ba8,
                                          0xc01e4f58, 0x3f8c6180, 0x40ad2ff0, 0xc1082f48,
                                          0xc08bffd8, 0x00000000};
    const std::array<uint32_t, 20> reading1 = {
        0x3efffe1b, 0x3efffcdc, 0x3efff5a6, 0x3efffef5, 0x3efffc66, 0x3efffdd7, 0x3effe333,
        0x3efffd1f, 0x3efffe6f, 0x3efffcba, 0x3efffda5, 0x3efffc98, 0x3efffec3, 0x3efff8fd,
        0x3efffd95, 0x3efffde7, 0x3efffc55, 0x3effedb1, 0x3efffe2b, 0x3efffd40};
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(std::bit_cast<uint32_t>(r.LinDevPpm[i]), lin[i - 1]);
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(std::bit_cast<uint32_t>(r.Reading1[i]), reading1[i - 1]) << i;
        EXPECT_EQ(r.StepValue[i], r.Reading1[i]);
    }
    EXPECT_EQ(r.HalfDevFirst, DoubleFromBits(0xc024caafd6338000));
    EXPECT_EQ(r.HalfDevSecond, DoubleFromBits(0x4024caafd6338000));
    EXPECT_EQ(r.Score, DoubleFromBits(0x407957687aabd224));
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
