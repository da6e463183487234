// The operator's actions: grid zones, the open shunt choice, taking over a result.
// Picking a shunt from the menu and the copy are tested through the window.
#include "linearity/ShuntSearch.h"
#include "linearity/WindowActions.h"

#include "LinearityTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

namespace t720::linearity {
namespace {

using test::kSkewed;
using test::RecordingHost;
using test::ScopedLocale;

// Column 0 is 540 twips wide, every column after it counts as 963 and every row
// as 93. Column 3 thus spans 2466..3429 and row r 93 r..93 r + 93; a zone keeps 5 %
// of a cell clear at each edge: x 2514.15..3380.85, y from 97.65 (row 1) to
// 1948.35 (row 20); the copy cell, column 0 of row 0, x -374.85..491.85, y 4.65..88.35.
TEST(GridZones, FromMousePosition) {
    GridModel grid;
    grid.colWidth[0] = 540;
    grid.colWidth[2] = 963;
    grid.rowHeight[2] = 93;
    using Z = GridHit::Zone;
    const struct {
        int button;
        double x, y;  // twips
        Z zone;
        int row;
    } cases[] = {{kRightButton, 2515, 98, Z::ShuntPick, 1},
                 {kRightButton, 3380, 1948, Z::ShuntPick, 20},
                 {kRightButton, 2514, 520, Z::None, 0},
                 {kRightButton, 3381, 520, Z::None, 0},
                 {kRightButton, 2947, 97, Z::None, 0},
                 {kRightButton, 2947, 1949, Z::None, 0},
                 {kLeftButton, 2947, 520, Z::None, 0},
                 {kLeftButton, 491, 88, Z::Copy, 0},
                 {kLeftButton, -374, 5, Z::Copy, 0},
                 {kLeftButton, 492, 46, Z::None, 0},
                 {kLeftButton, 60, 4, Z::None, 0},
                 {kLeftButton, 60, 89, Z::None, 0},
                 {3, 60, 46, Z::None, 0}};
    for (const auto& c : cases) {
        const GridHit hit = HitTestGrid(grid, c.button, c.x, c.y);
        EXPECT_EQ(hit.zone, c.zone) << c.button << " at " << c.x << ", " << c.y;
        EXPECT_EQ(hit.row, c.row) << c.button << " at " << c.x << ", " << c.y;
    }
}

TEST(GridZones, GridWithoutSizeHasNoZones) {
    GridModel grid;
    grid.colWidth[2] = 0;
    EXPECT_EQ(HitTestGrid(grid, kRightButton, 100, 100).zone, GridHit::Zone::None);
}

class ActionsTest : public testing::Test {
  protected:
    ScopedLocale locale_{QLocale::c()};
    RecordingHost host_;
    LinearityState s_ = test::StateAfterRun(kSkewed);
    GridCell& Shunt(int row) { return s_.controls.Results.Cell(row, 3); }
};

TEST_F(ActionsTest, OpenRemovesTheShunt) {
    s_.RowShunt[5] = 3;
    BeginShuntPick(s_, 5);
    MenuItemClicked(s_, 0);
    FinishShuntPick(s_, host_, 5);
    EXPECT_EQ(s_.RowShunt[5], 0);
    EXPECT_EQ(Shunt(5).text, "");
    EXPECT_EQ(Shunt(5).backColour, kLightGrey);
}

TEST_F(ActionsTest, PlacementsOfTwoShuntsInOrder) {
    s_.ShuntRows = {3, 7, 0, 0, 0, 0};
    s_.BestShunt[2][3] = 1;
    s_.BestShunt[2][7] = 5;
    const std::array<std::pair<int, int>, 4> rows = {{{3, 7}, {18, 7}, {3, 14}, {18, 14}}};
    for (int sides = 0; sides < 4; ++sides) {
        PlaceShunts(s_, 2, sides);
        RowShunts expected{};
        expected[rows[sides].first] = 1;
        expected[rows[sides].second] = 5;
        EXPECT_EQ(s_.RowShunt, expected) << "sides " << sides;
    }
}

// A shunt of the first and of the last row a set can hold, on the side where the
// halves agree best; on a tie on its own row.
TEST_F(ActionsTest, TakeOverOfTheFirstAndTheLastRow) {
    const struct {
        int row;
        bool tie;  // the row and its mirror read 0 V: the shunt changes nothing
        int placed;
    } cases[] = {{10, true, 10}, {1, true, 1}, {10, false, 11}, {1, false, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << (c.tie ? ", tie" : ""));
        RowValues r = test::Uniform(0.5f);
        for (int row = 11; row <= 20; ++row) r[row] = 0.50005f;  // the upper half 100 ppm up
        if (c.tie) r[c.row] = r[21 - c.row] = 0.0f;
        s_ = test::StateAfterRun(r);
        s_.BestShunt[1][c.row] = 2;
        s_.controls.OptiL1[1] = "1 Rs: ...";
        s_.controls.Opti.enabled = true;
        OptiLineClicked(s_, host_, 1);
        RowShunts expected{};
        expected[c.placed] = 2;
        EXPECT_EQ(s_.RowShunt, expected);
        EXPECT_EQ(Shunt(c.placed).text, "1,0 MOhm");
    }
}

class TakeOverTest : public ActionsTest {
  protected:
    void SetUp() override {
        SharedState shared;
        NullHost host;
        OptimiseShunts(s_, shared, host);
    }
};

TEST_F(TakeOverTest, TwoShuntsPlacedWhereTheHalvesAgreeBest) {
    // The best set for two shunts: choice 3 on row 2 and 4 on row 8 (see the search
    // test). Rows 19 and 13 measure the same intervals; the placement whose halves
    // agree best wins: where the high readings are.
    RowValues mirrored{};
    for (int row = 1; row <= 20; ++row) mirrored[row] = kSkewed[21 - row];
    for (const auto& [readings, row2, row8] : {std::tuple{kSkewed, 2, 8}, {mirrored, 19, 13}}) {
        s_ = test::StateAfterRun(readings);
        SharedState shared;
        OptimiseShunts(s_, shared, host_);
        OptiLineClicked(s_, host_, 2);
        RowShunts expected{};
        expected[row2] = 3;
        expected[row8] = 4;
        EXPECT_EQ(s_.RowShunt, expected) << row2;
    }
    for (int row = 1; row <= 20; ++row) {
        const int choice = s_.RowShunt[row];
        EXPECT_EQ(Shunt(row).text, choice ? ShuntCaption(choice) : "") << row;
        EXPECT_EQ(Shunt(row).backColour, choice ? kLightGrey : kSysWindowBackground) << row;
        EXPECT_EQ(Shunt(row).align, Align::Centre);
    }
    EXPECT_EQ(s_.ShuntRows, (std::array<int16_t, 6>{2, 8, 0, 0, 0, 0}));
}

TEST_F(TakeOverTest, LineZeroRemovesEveryShunt) {
    s_.RowShunt[15] = 2;
    Shunt(15).text = "1,0 MOhm";
    OptiLineClicked(s_, host_, 0);
    EXPECT_EQ(s_.RowShunt, RowShunts{});
    for (int row = 1; row <= 20; ++row) EXPECT_EQ(Shunt(row).text, "") << row;
    EXPECT_EQ(s_.controls.Results.Cell(1, 9).text, s_.controls.Results.Cell(1, 8).text);
}

TEST_F(TakeOverTest, OnlyWhenTheLineCanBeTakenOver) {
    const RowShunts before = s_.RowShunt;
    s_.controls.CmdOpt.visible = false;  // optimisation running
    OptiLineClicked(s_, host_, 3);
    s_.controls.CmdOpt.visible = true;
    s_.controls.OptiL1[3].clear();
    OptiLineClicked(s_, host_, 3);
    s_.controls.OptiL1[3] = "3 Rs: ...";
    s_.controls.Opti.enabled = false;
    OptiLineClicked(s_, host_, 3);
    OptiLineClicked(s_, host_, 7);
    EXPECT_EQ(s_.RowShunt, before);
    EXPECT_EQ(host_.repaints, 0);
}

}  // namespace
}  // namespace t720::linearity
