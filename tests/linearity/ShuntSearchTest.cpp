// The shunt search: enumeration, strict improvement, stop handling and summary.
// The scores of the best sets were re-computed by a separate script that rounds to
// single precision after every single-precision step (see EvaluateTest).
#include "linearity/ShuntSearch.h"

#include "LinearityTestSupport.h"
#include "link/NumberText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <tuple>
#include <vector>

namespace t720::linearity {
namespace {

using test::kSkewed;
using test::ReadingsPpm;
using test::RecordingHost;
using test::ScopedLocale;

std::array<int16_t, 11> Set(std::initializer_list<std::pair<int, int16_t>> shunts) {
    std::array<int16_t, 11> set{};
    for (auto [row, choice] : shunts) set[row] = choice;
    return set;
}

// Score and extremes of a shunt set on rows 1..10, evaluated afresh.
struct Trial {
    double score;
    double min;
    double max;
};
Trial TryOut(LinearityState s, const std::array<int16_t, 11>& set) {
    s.RowShunt = {};
    for (int row = 1; row <= 10; ++row) s.RowShunt[row] = set[row];
    Evaluate(s, true);
    Trial t{s.Score, 0, 0};
    for (float v : s.LinDevPpm)
        t.min = std::min<double>(t.min, v), t.max = std::max<double>(t.max, v);
    return t;
}

class ShuntSearchTest : public testing::Test {
  protected:
    ScopedLocale locale_{QLocale::c()};
    SharedState shared_;
    RecordingHost host_;
};

struct CountCase {
    int n;
    int32_t evaluations;
};

class EvaluationCount : public ShuntSearchTest, public testing::WithParamInterface<CountCase> {};

TEST_P(EvaluationCount, EverySetWithAtMostNShuntsOnce) {
    LinearityState s = test::StateAfterRun(kSkewed);
    s.RowShunt[15] = 3;  // rows 11..20 are the operator's and come back
    s.RowShunt[4] = 2;
    const RowShunts before = s.RowShunt;
    host_.onYield = [&] { EXPECT_FALSE(s.controls.Results.redraw); };
    host_.onRepaintGrid = [&] { EXPECT_TRUE(s.controls.Results.redraw); };
    SearchShunts(s, shared_, host_, GetParam().n);
    EXPECT_EQ(s.EvalCount, GetParam().evaluations);
    // Serviced once every 389 evaluations, the first time after the 390th.
    EXPECT_EQ(host_.yields, (GetParam().evaluations - 1) / 389);
    EXPECT_EQ(s.RowShunt, before);
    EXPECT_TRUE(s.controls.Results.redraw);
}

INSTANTIATE_TEST_SUITE_P(Limits, EvaluationCount,
                         testing::Values(CountCase{0, 1}, CountCase{1, 51}, CountCase{2, 1176},
                                         CountCase{3, 16176}, CountCase{4, 147426}));

TEST_F(ShuntSearchTest, OptimisationFindsTheReferenceSets) {
    LinearityState s = test::StateAfterRun(kSkewed);
    const double measured = s.Score;
    s.RowShunt[6] = 4;
    OptimiseShunts(s, shared_, host_);

    EXPECT_EQ(s.BestShunt[0], Set({}));
    EXPECT_EQ(s.BestShunt[1], Set({{8, 1}}));
    EXPECT_EQ(s.BestShunt[2], Set({{2, 3}, {8, 4}}));
    EXPECT_EQ(s.BestShunt[3], Set({{2, 3}, {5, 1}, {8, 4}}));
    const double scores[] = {80.4320610114928, 56.239823909010056, 8.372558202296432,
                             0.33448799285906716};
    double previous = 1E+30;
    for (int n = 0; n <= 4; ++n) {
        const double score = TryOut(s, s.BestShunt[n]).score;
        if (n < 4) {
            EXPECT_EQ(score, scores[n]) << n;
        }
        EXPECT_LE(score, previous) << n;  // a search for n includes all smaller sets
        previous = score;
    }
    EXPECT_EQ(TryOut(s, s.BestShunt[0]).score, measured);

    const ResultsControls& c = s.controls;
    EXPECT_EQ(c.OptiL1[0], "0 Rs:  Bew=    80.4  Hub=   9.9  Max=   4.9  Min=  -5.0");
    EXPECT_EQ(c.OptiL1[1], "1 Rs:  Bew=    56.2  Hub=   7.2  Max=   2.8  Min=  -4.4");
    EXPECT_EQ(c.OptiL1[2], "2 Rs:  Bew=     8.4  Hub=   2.6  Max=   1.0  Min=  -1.6");
    EXPECT_EQ(c.OptiL1[3], "3 Rs:  Bew=     0.3  Hub=   0.5  Max=   0.1  Min=  -0.4");
    EXPECT_TRUE(c.OptiL1[4].starts_with("4 Rs:  Bew=     0."));

    EXPECT_EQ(s.RowShunt, RowShunts{});  // the operator's choices are cleared
    EXPECT_TRUE(c.CmdOpt.visible);
    EXPECT_EQ(c.Opti.caption, "Suche..");
    EXPECT_TRUE(c.Opti.enabled);
    EXPECT_FALSE(shared_.StopRequest);
    EXPECT_EQ(c.OptiLcnt, " 147043");  // as of the last yield: 390 + 377 × 389
}

TEST_F(ShuntSearchTest, StopDuringTheSearchForTwoShunts) {
    LinearityState s = test::StateAfterRun(kSkewed);
    s.controls.Opti.enabled = true;
    s.controls.OptiL1[3] = "old line 3";
    s.controls.OptiL1[4] = "old line 4";
    host_.onYield = [&] { shared_.StopRequest = true; };  // the first yield is in n = 2
    OptimiseShunts(s, shared_, host_);

    EXPECT_EQ(host_.yields, 1);
    EXPECT_EQ(s.EvalCount, 390);
    EXPECT_EQ(s.controls.OptiL1[0], "0 Rs:  Bew=    80.4  Hub=   9.9  Max=   4.9  Min=  -5.0");
    EXPECT_EQ(s.controls.OptiL1[1], "1 Rs:  Bew=    56.2  Hub=   7.2  Max=   2.8  Min=  -4.4");
    const Trial kept = TryOut(s, s.BestShunt[2]);
    EXPECT_EQ(s.controls.OptiL1[2], SummaryLine(2, kept.score, kept.max, kept.min));
    EXPECT_EQ(s.controls.OptiL1[3], "old line 3");
    EXPECT_EQ(s.controls.OptiL1[4], "old line 4");
    EXPECT_FALSE(shared_.StopRequest);
    EXPECT_TRUE(s.controls.CmdOpt.visible);
    EXPECT_EQ(s.RowShunt, RowShunts{});
}

TEST_F(ShuntSearchTest, AnImprovementSeenWithTheStopIsShownButNotKept) {
    // At the first improvement: nothing to keep, the line is emptied.
    LinearityState s = test::StateAfterRun(kSkewed);
    s.controls.OptiL1[1] = "Optimum für 1 Rs";
    host_.onRepaintGrid = [&] { shared_.StopRequest = true; };
    SearchShunts(s, shared_, host_, 1);
    EXPECT_EQ(s.EvalCount, 1);
    EXPECT_EQ(s.controls.OptiL1[1], "");
    EXPECT_EQ(s.controls.OptiLcnt, " 1");

    // At the third: the second is kept, and the summary describes that set, the one
    // a click on it takes over.
    shared_.StopRequest = false;
    std::array<int16_t, 11> secondBest{};
    host_.gridRepaints = 0;
    host_.onRepaintGrid = [&] {
        if (host_.gridRepaints == 2) {
            for (int row = 1; row <= 10; ++row) secondBest[row] = s.RowShunt[row];
        }
        if (host_.gridRepaints == 3) shared_.StopRequest = true;
    };
    SearchShunts(s, shared_, host_, 2);
    EXPECT_EQ(s.BestShunt[2], secondBest);
    const Trial kept = TryOut(s, s.BestShunt[2]);
    EXPECT_EQ(s.BestMin, kept.min);
    EXPECT_EQ(s.BestMax, kept.max);
    EXPECT_EQ(s.controls.OptiL1[2], SummaryLine(2, kept.score, kept.max, kept.min));
    EXPECT_EQ(s.controls.OptiL3, FormatLocal(s.Score, "#0.0"));  // the unkept one was shown
    EXPECT_LT(s.Score, kept.score);
}

// One improvement as the window shows it: the score's bits, rows 1..10, EvalCount.
using Improvement = std::tuple<uint64_t, std::array<int16_t, 11>, int32_t>;
using YieldHook = std::function<void(LinearityState&, int)>;

// The straightforward search: Evaluate for every set with at most n shunts, k1
// outermost, and atYield(state, y) after evaluation 1 + 389 y.
struct Plain {
    std::vector<Improvement> improvements;
    EvalResult best;
    EvalResult last;
};
Plain PlainSearch(LinearityState s, int n, const YieldHook& atYield) {
    Plain p;
    std::array<int16_t, 11> k{};
    int32_t count = 0;
    std::function<void(int, int)> descend = [&](int level, int shunts) {
        for (int16_t c = 0; c < kShuntChoices; ++c) {
            if (shunts + (c != 0) > n) continue;
            k[level] = c;
            if (level < 10) {
                descend(level + 1, shunts + (c != 0));
                continue;
            }
            std::copy(k.begin() + 1, k.end(), s.RowShunt.begin() + 1);
            p.last = Evaluate(s.Reading2, s.ShuntFactor, s.ShuntRoot, s.RowShunt, true);
            if (p.last.Score < (p.improvements.empty() ? 1E+30 : p.best.Score)) {
                p.best = p.last;
                p.improvements.push_back({std::bit_cast<uint64_t>(p.last.Score), k, count + 1});
            }
            if (++count % 389 == 1 && count > 1) atYield(s, count / 389);
        }
    };
    descend(1, 0);
    return p;
}

// Readings of 0.5 V off by up to ±spread ppm, a fixed pseudo-random sequence.
RowValues Generated(uint32_t seed, double spread) {
    RowValues r{};
    for (int row = 1; row <= 20; ++row) {
        seed = seed * 1664525u + 1013904223u;
        r[row] = static_cast<float>(0.5 * (1 + (seed / 4294967296.0 * 2 - 1) * spread * 1e-6));
    }
    return r;
}

TEST_F(ShuntSearchTest, SameImprovementsAsTheStraightforwardSearch) {
    // On rows at 0 V a shunt changes only the common factor: the same shunts on
    // other zero rows score the same.
    RowValues ties = Generated(7, 200);
    std::fill(ties.begin() + 1, ties.begin() + 10, 0.0f);
    RowValues late = Generated(11, 40);  // the strongest shunt belongs on row 1
    late[1] *= 1.0012f;
    // At yields the operator picks shunts for rows 11..20, and in vain for 1..10.
    const YieldHook operatorAtYields = [](LinearityState& s, int y) {
        s.RowShunt[11 + y % 10] = static_cast<int16_t>(y * 7 % 6);
        s.RowShunt[1 + y % 10] = 5;
    };
    enum Variant { kPlain, kOperator, kOddTables };
    const std::vector<std::pair<RowValues, Variant>> cases = {
        {kSkewed, kPlain}, {Generated(3, 300), kPlain},     {ties, kPlain},
        {late, kPlain},    {Generated(13, 250), kOperator}, {Generated(17, 200), kOddTables}};
    for (size_t i = 0; i < cases.size(); ++i) {
        for (int n = 0; n <= 4; ++n) {
            SCOPED_TRACE(testing::Message() << "case " << i << ", n = " << n);
            LinearityState s = test::StateAfterRun(cases[i].first);
            YieldHook atYield = [](LinearityState&, int) {};
            if (cases[i].second == kOperator) {
                s.RowShunt[12] = 3;
                s.RowShunt[17] = 5;
                atYield = operatorAtYields;
            } else if (cases[i].second == kOddTables) {  // "no shunt" changes the divider too
                s.ShuntFactor[0] = 0.99997f;
                s.ShuntRoot[0] = 0.9999985f;
            }
            const Plain plain = PlainSearch(s, n, atYield);

            std::vector<Improvement> shown;
            host_.onRepaintGrid = [&] {
                std::array<int16_t, 11> set{};
                std::copy(s.RowShunt.begin() + 1, s.RowShunt.begin() + 11, set.begin() + 1);
                shown.push_back({std::bit_cast<uint64_t>(s.Score), set, s.EvalCount});
            };
            int yields = 0;
            host_.onYield = [&] { atYield(s, ++yields); };
            SearchShunts(s, shared_, host_, n);

            EXPECT_EQ(shown, plain.improvements);
            EXPECT_EQ(s.BestShunt[n], std::get<1>(plain.improvements.back()));
            const auto [lo, hi] =
                std::minmax_element(plain.best.LinDevPpm.begin(), plain.best.LinDevPpm.end());
            EXPECT_EQ(s.controls.OptiL1[n], SummaryLine(n, plain.best.Score, *hi, *lo));
            // The results fields hold the last set tried.
            EXPECT_EQ(std::bit_cast<uint64_t>(s.Score), std::bit_cast<uint64_t>(plain.last.Score));
            EXPECT_EQ(s.Reading1, plain.last.Reading1);
        }
    }
}

TEST_F(ShuntSearchTest, SummaryLineAndPadFormat) {
    EXPECT_EQ(SummaryLine(2, 123.45, 5.67, -3.21),
              "2 Rs:  Bew=   123.5  Hub=   8.9  Max=   5.7  Min=  -3.2");
    // Right-aligned, or cut from the left.
    EXPECT_EQ(PadFormat(3.14159, "0.0", 6), "   3.1");
    EXPECT_EQ(PadFormat(123456789, "0", 6), "456789");
    EXPECT_EQ(PadFormat(1.0, "0.0", 20), "             1.0");  // 13 blanks at most
    {
        ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(PadFormat(3.14159, "0.0", 6), "   3,1");
    }
    // Characters, not bytes, where the decimal separator takes more than one.
    ScopedLocale arabic(QLocale(QLocale::Arabic, QLocale::Egypt));
    const std::string separator = LocaleDecimalSeparator();
    if (separator.size() < 2) GTEST_SKIP() << "no multi-byte decimal separator here";
    EXPECT_EQ(PadFormat(3.14159, "0.0", 6), "   3" + separator + "1");
    EXPECT_EQ(PadFormat(12345.67, "0.0", 3), "5" + separator + "7");
}

}  // namespace
}  // namespace t720::linearity
