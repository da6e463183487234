// The controls of the linearity window as plain data. The logic writes them; the
// window renders them (and lets the operator act on them). Lengths are in twips
// (1/1440 inch), colours as in Colours.h, texts UTF-8.
#pragma once

#include "linearity/Colours.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace t720::linearity {

// General is the grid's own default: a number shows right-aligned, other text
// left-aligned (see ResolveAlignment). Centre centres both ways.
enum class Align : uint8_t { General, Left, Right, Centre };

struct GridCell {
    std::string text;
    Colour foreColour = kSysWindowText;
    Colour backColour = kSysWindowBackground;
    Align align = Align::General;
    bool operator==(const GridCell&) const = default;
};

// The grid `Results`: 21 rows by 10 columns, row 0 and column 0 being headings.
struct GridModel {
    static constexpr int kRows = 21;
    static constexpr int kCols = 10;

    GridModel();

    GridCell& Cell(int row, int col) { return cells.at(row).at(col); }
    const GridCell& Cell(int row, int col) const { return cells.at(row).at(col); }
    // Select the current cell, as the grid's row/column properties do.
    void Select(int row, int col) {
        currentRow = row;
        currentCol = col;
    }

    std::array<std::array<GridCell, kCols>, kRows> cells;
    Colour backgroundColour = kSysAppWorkspace;  // the area beyond the last cells
    std::array<int32_t, kRows> rowHeight{};
    std::array<int32_t, kCols> colWidth{};
    // Outer size; the window writes its real size here before a run prepares the grid.
    int32_t width = 9600;
    int32_t height = 4800;
    int currentRow = 1;
    int currentCol = 1;
    bool visible = true;
    bool redraw = true;  // painting on; the shunt search switches it off
    bool operator==(const GridModel&) const = default;
};

// How a General cell shows its text: right when it reads as a number in the
// locale's notation ("-0.5", "12,3"), else left. Other alignments stay as they are.
Align ResolveAlignment(const GridCell& cell, std::string_view decimalSeparator);

struct PlotLine {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Colour colour = kBlack;
    bool operator==(const PlotLine&) const = default;
};

struct PlotCircle {
    double x = 0, y = 0, r = 0;
    Colour colour = kBlack;
    bool operator==(const PlotCircle&) const = default;
};

using PlotPrimitive = std::variant<PlotLine, PlotCircle>;

// A line of the plot's key: which curve is which, in the curve's colour.
struct PlotLegend {
    std::string text;
    Colour colour = kBlack;
    bool operator==(const PlotLegend&) const = default;
};

// A picture box with a user scale: x runs from scaleLeft to scaleLeft + scaleWidth
// across the box, y from scaleTop downwards to scaleTop + scaleHeight. The
// primitives are those drawn since the last Clear, in drawing order.
struct PictureModel {
    void Clear() {
        primitives.clear();
        legend.clear();
    }

    bool visible = true;
    double scaleLeft = 0.0;
    double scaleTop = 0.0;
    double scaleWidth = 1.0;
    double scaleHeight = 1.0;
    std::vector<PlotPrimitive> primitives;
    std::vector<PlotLegend> legend;  // empty unless two runs are compared
    bool operator==(const PictureModel&) const = default;
};

struct LabelModel {
    std::string caption;
    bool visible = true;
};

struct FrameModel {
    std::string caption;
    bool enabled = false;
};

struct ButtonModel {
    std::string caption;
    bool visible = false;
};

struct MenuItemModel {
    std::string caption;
    bool checked = false;
};

struct ResultsControls {
    ResultsControls();

    GridModel Results;
    PictureModel Picture1;     // the linearity plot
    double Picture2Top = 0.0;  // top of `Picture2`, beside the lower half of the grid
    LabelModel maxppm;
    LabelModel minppm;
    FrameModel Opti;                    // disabled until the first optimisation
    std::array<std::string, 5> OptiL1;  // summary lines, shown in a fixed-pitch font
    std::string OptiL3;                 // best score of the running search
    std::string OptiLcnt;               // evaluated shunt sets
    ButtonModel CmdOpt;
    std::string statusPanel1;            // first panel of the window's status bar
    std::array<MenuItemModel, 6> mnu_r;  // the shunt choices of the pop-up menu
};

}  // namespace t720::linearity
