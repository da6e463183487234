#include "linearity/WindowActions.h"

#include "linearity/ScanGrid.h"
#include "linearity/ShowResults.h"
#include "linearity/Shunts.h"

#include <cmath>

namespace t720::linearity {

namespace {

bool IsGridRow(int row) {
    return row >= 1 && row <= 20;
}

void ClearShuntCell(GridCell& cell) {
    cell.backColour = kSysWindowBackground;
    cell.align = Align::Centre;
    cell.text.clear();
}

// Readings that cannot be evaluated keep the window as it is, saying why.
void EvaluateAndShow(LinearityState& state, WindowHost& host) {
    if (const std::string why = Evaluate(state, true); !why.empty()) {
        state.controls.statusPanel1 = kNotEvaluated + why;
        host.Repaint();
        return;
    }
    ShowResults(state, host, true);
}

// The shunt column shows every row's choice; then the readings are evaluated
// with them.
void ShowShuntsAndEvaluate(LinearityState& state, WindowHost& host) {
    for (int row = 1; row <= 20; ++row) {
        GridCell& cell = state.controls.Results.Cell(row, 3);
        ClearShuntCell(cell);
        const int choice = state.RowShunt[row];
        if (choice > 0 && choice < kShuntChoices) {
            cell.backColour = kLightGrey;
            cell.text = state.controls.mnu_r[choice].caption;
        }
    }
    EvaluateAndShow(state, host);
}

}  // namespace

GridHit HitTestGrid(const GridModel& grid, int button, double x, double y) {
    const double cellWidth = grid.colWidth[2];
    const double cellHeight = grid.rowHeight[2];
    if (cellWidth <= 0 || cellHeight <= 0) return {};
    const double c = (x - grid.colWidth[0]) / cellWidth;
    const double r = y / cellHeight;

    if (button == kRightButton && c > 2.05 && c < 2.95 && r > 1.05 && r < 20.95)
        return {GridHit::Zone::ShuntPick, static_cast<int>(std::floor(r))};
    if (button == kLeftButton && c > -0.95 && c < -0.05 && r > 0.05 && r < 0.95)
        return {GridHit::Zone::Copy, 0};
    return {};
}

void BeginShuntPick(LinearityState& state, int row) {
    if (!IsGridRow(row)) return;
    GridModel& grid = state.controls.Results;
    grid.Select(row, 3);
    grid.Cell(row, 3).backColour = kYellow;
    for (MenuItemModel& item : state.controls.mnu_r) item.checked = false;
    const int choice = state.RowShunt[row];
    if (choice >= 0 && choice < kShuntChoices) state.controls.mnu_r[choice].checked = true;
}

void MenuItemClicked(LinearityState& state, int item) {
    if (item < 0 || item >= kShuntChoices) return;
    for (MenuItemModel& m : state.controls.mnu_r) m.checked = false;
    state.controls.mnu_r[item].checked = true;
}

void FinishShuntPick(LinearityState& state, WindowHost& host, int row) {
    if (!IsGridRow(row)) return;
    GridCell& cell = state.controls.Results.Cell(row, 3);
    cell.backColour = kLightGrey;
    std::string text;
    for (int i = 0; i < kShuntChoices; ++i) {
        if (!state.controls.mnu_r[i].checked) continue;
        text = i == 0 ? std::string() : state.controls.mnu_r[i].caption;
        state.RowShunt[row] = static_cast<int16_t>(i);
    }
    cell.align = Align::Centre;
    cell.text = text;
    EvaluateAndShow(state, host);
}

void PlaceShunts(LinearityState& state, int n, int sides) {
    for (int row = 1; row <= 20; ++row) state.RowShunt[row] = 0;
    for (int k = 0; k < 4; ++k) {
        const int row = state.ShuntRows[k];
        if (row < 0 || row > 10) continue;
        // An unused entry is row 0: it writes 0 into RowShunt(0) or (21), which no
        // grid row uses.
        const int target = (sides & (1 << k)) == 0 ? row : 21 - row;
        state.RowShunt[target] = state.BestShunt[n][row];
    }
}

void OptiLineClicked(LinearityState& state, WindowHost& host, int n) {
    ResultsControls& c = state.controls;
    if (n < 0 || n > 4 || !c.Opti.enabled) return;
    if (c.OptiL1[n].empty() || !c.CmdOpt.visible) return;
    GridModel& grid = c.Results;
    for (int row = 11; row <= 20; ++row) ClearShuntCell(grid.Cell(row, 3));

    if (n == 0) {
        for (int row = 1; row <= 20; ++row) state.RowShunt[row] = 0;
    } else {
        state.ShuntRows.fill(0);
        size_t count = 0;
        for (int row = 1; row <= 10 && count < state.ShuntRows.size(); ++row)
            if (state.BestShunt[n][row] != 0) state.ShuntRows[count++] = static_cast<int16_t>(row);

        // Rows i and 21 - i measure the same interval; of the placements, the one
        // whose halves agree best wins, the first among equals.
        double best = 1E+38;
        int bestSides = 0;
        for (int sides = 0; sides < (1 << n); ++sides) {
            PlaceShunts(state, n, sides);
            Evaluate(state, true);
            const double d = std::fabs(state.HalfDevFirst);
            if (d < best) {
                best = d;
                bestSides = sides;
            }
        }
        PlaceShunts(state, n, bestSides);
    }

    ShowShuntsAndEvaluate(state, host);
}

void ApplyShunts(LinearityState& state, WindowHost& host, const RowShunts& shunts) {
    for (int row = 1; row <= 20; ++row)
        state.RowShunt[row] = static_cast<int16_t>(ValidShuntChoice(shunts[row]));
    ShowShuntsAndEvaluate(state, host);
}

std::string CopyGridText(LinearityState& state) {
    GridModel& grid = state.controls.Results;
    std::string text;
    for (int row = 0; row < GridModel::kRows; ++row) {
        for (int col = 0; col < GridModel::kCols; ++col) {
            grid.Select(row, col);
            if (col > 0) text += '\t';
            text += grid.Cell(row, col).text;
        }
        text += "\r\n";
    }
    state.controls.statusPanel1 = "Copied";
    return text;
}

}  // namespace t720::linearity
