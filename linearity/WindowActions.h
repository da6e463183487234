// The operator's actions in the linearity window once a run has filled it: the
// shunt of a grid row from the pop-up menu, taking over an optimisation result,
// and the grid copy. The menu and the clipboard themselves are the window's.
#pragma once

#include "linearity/LinearityState.h"
#include "linearity/WindowHost.h"

#include <string>

namespace t720::linearity {

inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;

struct GridHit {
    enum class Zone { None, ShuntPick, Copy };
    Zone zone = Zone::None;
    int row = 0;  // the grid row of a shunt pick, 1..20
};

// Where a mouse button event over the grid lands (x, y in twips from the grid's
// top left corner). Rows are all taken as high as row 2 and the columns after
// column 0 as wide as column 2; each zone keeps 5 % of a cell clear of its edges.
// Right button on column 3, rows 1..20: shunt pick. Left button on the heading
// cell "copy": grid copy. Anything else, and a grid without size: nothing.
GridHit HitTestGrid(const GridModel& grid, int button, double x, double y);

// Before the pop-up menu of a shunt pick on `row`: the cell turns yellow and the
// menu shows the row's current choice checked.
void BeginShuntPick(LinearityState& state, int row);

// A menu item clicked: it becomes the only checked one.
void MenuItemClicked(LinearityState& state, int item);

// After the menu has closed (with or without a choice): the checked choice becomes
// the row's shunt, the cell shows its caption, and the readings are evaluated with
// the shunts of all rows.
void FinishShuntPick(LinearityState& state, WindowHost& host, int row);

// Fills RowShunt from BestShunt(n) for the rows in ShuntRows, each shunt in the
// downward (bit clear) or upward (bit set) measurement of its interval.
void PlaceShunts(LinearityState& state, int n, int sides);

// Summary line n clicked: takes over the best set for n shunts, each shunt placed
// in whichever measurement of its interval brings the halves closest together.
// Does nothing while the frame is disabled, the line is empty or the optimisation
// runs.
void OptiLineClicked(LinearityState& state, WindowHost& host, int n);

// The shunts of rows 1..20 set at once, as a take-over of a summary line shows
// them: the shunt column, then the evaluation with shunts.
void ApplyShunts(LinearityState& state, WindowHost& host, const RowShunts& shunts);

// The grid as text: 21 lines of 10 cells separated by TAB, each line ended by
// CR LF. The status bar then reads "Copied".
std::string CopyGridText(LinearityState& state);

}  // namespace t720::linearity
