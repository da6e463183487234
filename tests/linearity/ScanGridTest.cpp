// The grid as a run prepares and fills it.
#include "linearity/ScanGrid.h"

#include "LinearityTestSupport.h"

#include <gtest/gtest.h>

namespace t720::linearity {
namespace {

using test::RecordingHost;
using test::ScopedLocale;

TEST(PrepareGrid, LayoutNamesAndIntervalsAndEmptiedResults) {
    ResultsControls c;
    GridModel& g = c.Results;
    g.height = 2100;
    g.width = 9000;
    g.Cell(0, 9).text = "d% tst";
    g.Cell(4, 3).text = "  750 kOhm";
    g.Cell(4, 3).backColour = kLightGrey;
    c.OptiL1[2] = "2 Rs: ...";
    c.OptiL3 = "12.5";
    c.OptiLcnt = " 1176";
    RecordingHost host;
    PrepareGrid(c, host);

    for (int row = 0; row < GridModel::kRows; ++row) EXPECT_EQ(g.rowHeight[row], 93) << row;
    EXPECT_EQ(g.height, 21 * 93 + 25);
    EXPECT_EQ(g.colWidth[0], 540);
    EXPECT_EQ(g.colWidth[4], 630);
    for (int col : {1, 2, 3, 5, 6, 7, 8, 9})
        EXPECT_EQ(g.colWidth[col], 963) << col;  // 9000/9.29 - 5
    EXPECT_EQ(c.Picture2Top, 93 * 11);
    EXPECT_EQ(g.backgroundColour, kWhite);
    EXPECT_TRUE(g.visible);
    EXPECT_EQ(host.repaints, 1);

    // The headings' texts are checked in the grid's copy (LinearityCli).
    EXPECT_EQ(g.Cell(0, 9).text, "");
    EXPECT_EQ(g.Cell(0, 3).align, Align::Centre);
    EXPECT_EQ(g.Cell(0, 9).backColour, kSysWindowBackground);
    EXPECT_EQ(g.Cell(1, 0).text, "R 116");
    EXPECT_EQ(g.Cell(20, 0).text, "R 97");
    EXPECT_EQ(g.Cell(1, 4).text, " 100 ... 90");
    EXPECT_EQ(g.Cell(10, 4).text, " 10 ... 0");
    EXPECT_EQ(g.Cell(11, 4).text, " 10 ... 0");
    EXPECT_EQ(g.Cell(20, 4).text, " 100 ... 90");
    for (int col : {0, 4}) {
        EXPECT_EQ(g.Cell(7, col).align, Align::Centre);
        EXPECT_EQ(g.Cell(7, col).backColour, kSysButtonFace);
    }
    // The shunt column is emptied; the shunt choices themselves are not the grid's.
    EXPECT_EQ(g.Cell(4, 3).text, "");
    EXPECT_EQ(g.Cell(4, 3).backColour, kSysWindowBackground);
    for (const std::string& line : c.OptiL1) EXPECT_EQ(line, "");
    EXPECT_EQ(c.OptiL3, "");
    EXPECT_EQ(c.OptiLcnt, "");
}

TEST(PrepareGrid, TooSmallAGridGetsNoNegativeSizes) {
    ResultsControls c;
    c.Results.height = 100;
    c.Results.width = 20;
    NullHost host;
    PrepareGrid(c, host);
    EXPECT_EQ(c.Results.rowHeight[5], 0);
    EXPECT_EQ(c.Results.colWidth[2], 0);
    EXPECT_EQ(c.Results.height, 25);
}

TEST(ReadingCells, SecondReadingRedWhenTheyDiffer) {
    ScopedLocale locale(QLocale::c());
    const struct {
        double first, second;
        Colour colour;
    } cases[] = {{0.000002, 0, kBlack},  // exactly the limit
                 {0, 0.000003, kRed},
                 {0.000003, 0, kRed},
                 {0.5, 0.5, kBlack},
                 {-0.1000021, -0.1, kRed}};
    for (const auto& c : cases) {
        LinearityState s;
        WriteFirstReading(s, 4, c.first);
        WriteSecondReading(s, 4, c.second);
        EXPECT_EQ(s.controls.Results.Cell(4, 2).foreColour, c.colour)
            << c.first << ", " << c.second;
        EXPECT_EQ(s.ReadingDiff[4], float(c.first) - float(c.second));
        EXPECT_EQ(s.controls.Results.Cell(4, 1).align, Align::Right);
        EXPECT_EQ(s.controls.Results.Cell(4, 2).align, Align::Right);
        EXPECT_EQ(s.controls.Results.currentCol, 2);
    }
}

TEST(ReadingCells, TextShowsTheReadingAsReadTheFieldKeepsAFloat) {
    ScopedLocale locale(QLocale::c());
    LinearityState s;
    WriteFirstReading(s, 1, 1.00000005);
    WriteSecondReading(s, 1, -0.0123456789);
    EXPECT_EQ(s.Reading1[1], 1.0f);
    EXPECT_EQ(s.controls.Results.Cell(1, 1).text, "1.0000001");
    EXPECT_EQ(s.Reading2[1], -0.0123456789f);
    EXPECT_EQ(s.controls.Results.Cell(1, 2).text, "-0.0123457");
    WriteFirstReading(s, 21, 1.0);  // no such grid row: ignored
    EXPECT_EQ(s.Reading1[21], 0.0f);
}

}  // namespace
}  // namespace t720::linearity
