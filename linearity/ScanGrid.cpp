#include "linearity/ScanGrid.h"

#include "linearity/ShowResults.h"
#include "link/NumberText.h"

#include <cmath>

namespace t720::linearity {

namespace {

// Whole twips of a length; a window too small for the grid gets empty rows and
// columns rather than negative sizes.
int32_t WholeTwips(double x) {
    return x > 0 ? static_cast<int32_t>(std::floor(x)) : 0;
}

void SetHeading(GridModel& grid, int col, const char* text) {
    grid.Cell(0, col).align = Align::Centre;
    grid.Cell(0, col).text = text;
}

void SetLabelCell(GridModel& grid, int row, int col, std::string text) {
    GridCell& cell = grid.Cell(row, col);
    cell.align = Align::Centre;
    cell.backColour = kSysButtonFace;
    cell.text = std::move(text);
}

// " 100 ... 90": the upper and lower end of a 10 % interval.
std::string IntervalText(int upper) {
    return SignPos(upper) + " ..." + SignPos(upper - 10);
}

bool IsGridRow(int row) {
    return row >= 1 && row <= 20;
}

}  // namespace

void ShowRunStart(ResultsControls& controls) {
    controls.statusPanel1 = kStopPrompt;
    controls.Picture1.visible = false;
    controls.maxppm.visible = true;
    controls.minppm.visible = true;
}

void PrepareGrid(ResultsControls& controls, WindowHost& host) {
    GridModel& grid = controls.Results;
    grid.backgroundColour = kWhite;

    int32_t heightSum = 0;
    for (int row = 0; row < GridModel::kRows; ++row) {
        for (int col = 1; col < GridModel::kCols; ++col) {
            grid.Cell(row, col).backColour = kSysWindowBackground;
            grid.Cell(row, col).text.clear();
        }
        // 7 twips less than a 21st, so the grid lines fit.
        grid.rowHeight[row] = WholeTwips(grid.height / 21.0 - 7.0);
        heightSum += grid.rowHeight[row];
    }
    grid.height = heightSum + 25;

    const double w = grid.width;
    for (int col = 0; col < GridModel::kCols; ++col)
        grid.colWidth[col] = WholeTwips(w / (10 - 0.71) - 5);
    grid.colWidth[0] = WholeTwips(w / 10 * 0.6);
    grid.colWidth[4] = WholeTwips(w / 10 * 0.7);

    controls.Picture2Top = heightSum / 21.0 * 11;

    for (int row = 1; row <= 20; ++row) SetLabelCell(grid, row, 0, "R" + SignPos(117 - row));
    for (int row = 1; row <= 10; ++row) SetLabelCell(grid, row, 4, IntervalText(110 - 10 * row));
    for (int row = 11; row <= 20; ++row) SetLabelCell(grid, row, 4, IntervalText(10 * (row - 10)));

    grid.visible = true;
    SetHeading(grid, 0, "copy");
    SetHeading(grid, 1, "1.MW in V");
    SetHeading(grid, 2, "2.MW in V");
    SetHeading(grid, 3, "R Shunt");
    SetHeading(grid, 6, "dR ppm");
    SetHeading(grid, 7, "dRS ppm");
    SetHeading(grid, 8, "d% ppm");

    for (std::string& line : controls.OptiL1) line.clear();
    controls.OptiL3.clear();
    controls.OptiLcnt.clear();
    host.Repaint();
}

void WriteFirstReading(LinearityState& state, int row, double value) {
    if (!IsGridRow(row)) return;
    state.DmmReading1[row] = value;
    state.Reading1[row] = static_cast<float>(value);
    GridModel& grid = state.controls.Results;
    grid.Select(row, 1);
    grid.Cell(row, 1).align = Align::Right;
    grid.Cell(row, 1).text = FormatLocal(value, kVoltPattern);
}

void WriteSecondReading(LinearityState& state, int row, double value) {
    if (!IsGridRow(row)) return;
    GridModel& grid = state.controls.Results;
    grid.Select(row, 2);
    state.DmmReading2[row] = value;
    state.Reading2[row] = static_cast<float>(value);
    state.ReadingDiff[row] = state.Reading1[row] - state.Reading2[row];
    GridCell& cell = grid.Cell(row, 2);
    cell.foreColour = std::fabs(state.ReadingDiff[row]) > kReadingSpread ? kRed : kBlack;
    cell.align = Align::Right;
    cell.text = FormatLocal(value, kVoltPattern);
}

std::string FinishRun(LinearityState& state, WindowHost& host) {
    if (std::string why = Evaluate(state, false); !why.empty()) {
        state.controls.maxppm.visible = false;
        state.controls.minppm.visible = false;
        state.controls.CmdOpt.visible = false;  // an earlier run's offer is no longer good
        host.Repaint();
        return why;
    }
    ShowResults(state, host, false);
    state.controls.CmdOpt.visible = true;
    return {};
}

std::string ShowRecordedRun(LinearityState& state, WindowHost& host,
                            const std::array<double, 21>& reading1,
                            const std::array<double, 21>& reading2) {
    ShowRunStart(state.controls);
    PrepareGrid(state.controls, host);
    ComputeShuntTables(state.ShuntFactor, state.ShuntRoot);
    for (int row = 1; row <= 20; ++row) {
        WriteFirstReading(state, row, reading1[row]);
        WriteSecondReading(state, row, reading2[row]);
    }
    return FinishRun(state, host);
}

}  // namespace t720::linearity
