// Results in the grid, the curve colours, the plot and the locale of the texts.
#include "linearity/Plot.h"
#include "linearity/ShowResults.h"

#include "LinearityTestSupport.h"

#include <gtest/gtest.h>


namespace t720::linearity {
namespace {

using test::RecordingHost;
using test::ScopedLocale;

class ShowResultsTest : public testing::Test {
  protected:
    ScopedLocale locale_{QLocale::c()};
    RecordingHost host_;
};

const PlotLine& LineAt(const PictureModel& pic, size_t i) {
    return std::get<PlotLine>(pic.primitives.at(i));
}
const PlotCircle& CircleAt(const PictureModel& pic, size_t i) {
    return std::get<PlotCircle>(pic.primitives.at(i));
}

TEST_F(ShowResultsTest, MeasurementOfEqualReadings) {
    LinearityState s = test::StateAfterRun(test::Uniform(0.5f));
    const GridModel& g = s.controls.Results;

    EXPECT_EQ(g.Cell(10, 5).text, "5.0000000");
    EXPECT_EQ(g.Cell(11, 5).text, "5.0000000");
    EXPECT_EQ(g.Cell(9, 5).text, "0.0 ppm");
    EXPECT_EQ(g.Cell(12, 5).text, "0.0 ppm");
    EXPECT_EQ(g.Cell(10, 5).align, Align::Right);
    // Equal half deviations: the first half is marked.
    EXPECT_EQ(g.Cell(9, 5).backColour, kLightYellow);
    EXPECT_EQ(g.Cell(12, 5).backColour, kSysWindowBackground);
    for (int row = 1; row <= 20; ++row) EXPECT_EQ(g.Cell(row, 6).text, "0") << row;
    for (int row = 1; row <= 10; ++row) EXPECT_EQ(g.Cell(row, 7).text, "0.0") << row;
    for (int row = 1; row <= 10; ++row) EXPECT_EQ(g.Cell(row, 8).text, "0.0") << row;
    // +0.0238 ppm at 60 % (row 5) is the largest, -0.0238 at 90 % (row 2) the smallest.
    EXPECT_EQ(g.Cell(5, 8).backColour, kLightGreen);
    EXPECT_EQ(g.Cell(2, 8).backColour, kGreen);
    EXPECT_EQ(g.Cell(1, 8).backColour, kWhite);
    EXPECT_TRUE(g.Cell(1, 9).text.empty());

    EXPECT_NEAR(s.CurveMax, 0.0238, 0.00005);
    EXPECT_NEAR(s.CurveMin, -0.0238, 0.00005);
    EXPECT_EQ(s.controls.minppm.caption, "0.0");
    EXPECT_TRUE(s.controls.minppm.visible);
    EXPECT_TRUE(s.controls.CmdOpt.visible);
}

TEST_F(ShowResultsTest, PlotOfTheReferenceCurve) {
    LinearityState s;
    s.RefLinDevPpm = {0, 1, 3, -8, 2, 0, 0, 0, 0, 0, -1};
    ShowResults(s, host_, false);
    const PictureModel& pic = s.controls.Picture1;
    // -8 and 3 ppm widened to (-8 - 2) × 1.1 = -11 and (3 + 2) × 1.1 = 5.5; 5 % of
    // the 16.5 ppm on either side; one unit of height per 10 %, 0 % at the bottom.
    EXPECT_TRUE(pic.visible);
    EXPECT_NEAR(pic.scaleLeft, -11.825, 1e-9);
    EXPECT_NEAR(pic.scaleWidth, 18.15, 1e-9);
    EXPECT_EQ(pic.scaleTop, -0.5);
    EXPECT_EQ(pic.scaleHeight, 11);
    EXPECT_EQ(s.controls.minppm.caption, "-8.0");
    EXPECT_EQ(s.controls.maxppm.caption, "3.0");

    // The zero axis, then per point a line from the previous point and a circle.
    ASSERT_EQ(pic.primitives.size(), 1u + 2 * 11);
    EXPECT_EQ(LineAt(pic, 0), (PlotLine{0, -0.5, 0, 11.5, kBlack}));
    EXPECT_EQ(LineAt(pic, 1), (PlotLine{0, 10, 0, 10, kRed}));
    EXPECT_EQ(LineAt(pic, 7), (PlotLine{3, 8, -8, 7, kRed}));
    const PlotCircle circle = CircleAt(pic, 8);
    EXPECT_EQ(circle.x, -8);
    EXPECT_EQ(circle.y, 7);
    EXPECT_NEAR(circle.r, 0.165, 1e-9);
    EXPECT_EQ(CircleAt(pic, 22).y, 0);  // 100 % at the top

    // A curve nowhere above zero still scales from a largest value of 0.001.
    s.RefLinDevPpm = {0, -1, -2, -3, -4, -5, -4, -3, -2, -1, 0};
    ShowResults(s, host_, false);
    EXPECT_EQ(s.CurveMax, 0.001);
    EXPECT_NEAR(s.PlotMax, 2.2011, 1e-9);
}

TEST_F(ShowResultsTest, TrialWithShuntsKeepsTheMeasurementVisible) {
    LinearityState s = test::StateAfterRun(test::Uniform(0.5f));
    const GridModel before = s.controls.Results;
    s.RowShunt[3] = 5;
    Evaluate(s, true);
    ShowResults(s, host_, true);
    const GridModel& g = s.controls.Results;

    // Every reading times the geometric mean of the factors, 0.99960148^(1/20);
    // row 3 times its own factor as well.
    EXPECT_EQ(g.Cell(0, 1).text, "modMW V");
    EXPECT_EQ(g.Cell(1, 1).text, "0.4999900");
    EXPECT_EQ(g.Cell(3, 1).text, "0.4997908");
    for (int row : {7, 14, 6, 15}) EXPECT_FALSE(g.Cell(row, 5).text.empty()) << row;
    for (int row : {10, 11, 9, 12}) EXPECT_EQ(g.Cell(row, 5).text, before.Cell(row, 5).text);
    EXPECT_EQ(g.Cell(0, 9).text, "d% tst");
    EXPECT_EQ(g.Cell(0, 9).align, Align::Centre);
    for (int row = 1; row <= 10; ++row) {
        EXPECT_EQ(g.Cell(row, 8).text, before.Cell(row, 8).text);
        EXPECT_EQ(g.Cell(row, 9).align, Align::Right);
    }
    // The red measured curve and its scale stay; the blue trial is drawn over it.
    const PictureModel& pic = s.controls.Picture1;
    ASSERT_EQ(pic.primitives.size(), 2u * 23);
    EXPECT_EQ(LineAt(pic, 1).colour, kRed);
    EXPECT_EQ(LineAt(pic, 23), (PlotLine{0, -0.5, 0, 11.5, kBlack}));
    EXPECT_EQ(CircleAt(pic, 45).colour, kBlue);
    EXPECT_EQ(CircleAt(pic, 45).x, s.LinDevPpm[10]);
    EXPECT_NEAR(s.CurveMax, 0.0238, 0.00005);
    EXPECT_EQ(host_.repaints, 2);
}

TEST(CurveCellColour, ByValue) {
    ScopedLocale locale(QLocale::c());
    constexpr Colour W = kWhite, LR = kLightRed, LG = kLightGreen, G = kGreen, P = kPink;
    const struct {
        std::array<float, 10> ppm;      // LinDevPpm(1..10)
        std::array<Colour, 10> colour;  // of LinDevPpm(1..10), i.e. rows 10 down to 1
    } cases[] = {                       // All equal: every cell is "the largest".
                 {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {LG, LG, LG, LG, LG, LG, LG, LG, LG, LG}},
                 // Above 10 ppm light red; extremes above 10 pink; exactly 10 is not above.
                 {{3, 11, 12, -15, 10, -10, 0, -11, 1, 2}, {W, LR, P, P, W, W, W, LR, W, W}},
                 // Extremes of exactly +-10 keep the plain greens.
                 {{10, -10, 1, 2, 3, 4, 5, 6, 7, 0}, {LG, G, W, W, W, W, W, W, W, W}},
                 // Equal values at the extreme all count as the largest.
                 {{-2, 5, 5, 1, 0, 0, 0, 0, 0, 0}, {G, LG, LG, W, W, W, W, W, W, W}}};
    for (const auto& c : cases) {
        LinearityState s;
        for (int i = 1; i <= 10; ++i) s.LinDevPpm[i] = c.ppm[i - 1];
        NullHost host;
        ShowResults(s, host, false);
        for (int i = 1; i <= 10; ++i)
            EXPECT_EQ(s.controls.Results.Cell(11 - i, 8).backColour, c.colour[i - 1])
                << "LinDevPpm(" << i << ") = " << c.ppm[i - 1];
    }
}

TEST_F(ShowResultsTest, GermanDecimalComma) {
    ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
    LinearityState s = test::StateAfterRun(test::Uniform(0.5f));
    EXPECT_EQ(s.controls.Results.Cell(1, 1).text, "0,5000000");
    EXPECT_EQ(s.controls.Results.Cell(10, 5).text, "5,0000000");
    EXPECT_EQ(s.controls.Results.Cell(9, 5).text, "0,0 ppm");
}

// A cell of general alignment shows a number to the right, a text to the left.
TEST(GeneralAlignment, NumbersRightTextLeft) {
    const struct {
        const char* text;
        Align align;
        const char* separator;
        Align shown;
    } cases[] = {
        {"0.0", Align::General, ".", Align::Right},  {"0,5", Align::General, ",", Align::Right},
        {"0,5", Align::General, ".", Align::Left},   {"1.5 ppm", Align::General, ".", Align::Left},
        {"R 116", Align::General, ".", Align::Left}, {"0.0", Align::Centre, ".", Align::Centre}};
    for (const auto& c : cases)
        EXPECT_EQ(ResolveAlignment({.text = c.text, .align = c.align}, c.separator), c.shown)
            << c.text;
}

}  // namespace
}  // namespace t720::linearity
