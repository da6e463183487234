#include "linearity/ShowResults.h"

#include "linearity/Plot.h"
#include "link/NumberText.h"

#include <cmath>

namespace t720::linearity {

namespace {

// The locale's decimal separator, looked up once per showing: the shunt search
// shows every improvement, five dozen numbers each time.
struct Formatter {
    std::string separator = LocaleDecimalSeparator();
    std::string operator()(double value, std::string_view pattern) const {
        return FormatPattern(value, pattern, separator);
    }
};

void WriteRight(GridModel& grid, int row, int col, std::string text) {
    GridCell& cell = grid.Cell(row, col);
    cell.align = Align::Right;
    cell.text = std::move(text);
}

void ShowHalves(LinearityState& s, bool withShunts, const Formatter& format) {
    GridModel& grid = s.controls.Results;
    const int sumFirstRow = withShunts ? 7 : 10;
    const int sumSecondRow = withShunts ? 14 : 11;
    const int devFirstRow = withShunts ? 6 : 9;
    const int devSecondRow = withShunts ? 15 : 12;
    WriteRight(grid, sumFirstRow, 5, format(s.SumFirst, kVoltPattern));
    WriteRight(grid, sumSecondRow, 5, format(s.SumSecond, kVoltPattern));
    WriteRight(grid, devFirstRow, 5, format(s.HalfDevFirst, kHalfDevPattern));
    grid.Cell(devFirstRow, 5).backColour = kSysWindowBackground;
    WriteRight(grid, devSecondRow, 5, format(s.HalfDevSecond, kHalfDevPattern));
    grid.Cell(devSecondRow, 5).backColour = kSysWindowBackground;
    const int larger = s.HalfDevSecond > s.HalfDevFirst ? devSecondRow : devFirstRow;
    grid.Cell(larger, 5).backColour = kLightYellow;
}

Colour CurveCellColour(float value, float largest, float smallest) {
    const bool above = std::fabs(value) > 10.0f;  // exactly 10 ppm is still fine
    if (value == largest) return above ? kPink : kLightGreen;
    if (value == smallest) return above ? kPink : kGreen;
    return above ? kLightRed : kWhite;
}

void ShowCurve(LinearityState& s, bool withShunts, const Formatter& format) {
    GridModel& grid = s.controls.Results;
    const int col = withShunts ? 9 : 8;
    if (withShunts) {
        grid.Cell(0, 9).align = Align::Centre;
        grid.Cell(0, 9).text = "d% tst";
    }
    float largest = -1E+38f;
    float smallest = 1E+38f;
    for (int i = 1; i <= 10; ++i) {
        if (s.LinDevPpm[i] > largest) largest = s.LinDevPpm[i];
        if (s.LinDevPpm[i] < smallest) smallest = s.LinDevPpm[i];
    }
    // Row 1 holds 100 %, row 10 holds 10 %.
    for (int i = 1; i <= 10; ++i) {
        WriteRight(grid, 11 - i, col, format(s.LinDevPpm[i], kCurvePattern));
        grid.Cell(11 - i, col).backColour = CurveCellColour(s.LinDevPpm[i], largest, smallest);
    }
}

}  // namespace

void ShowResults(LinearityState& s, WindowHost& host, bool withShunts) {
    const Formatter format;
    GridModel& grid = s.controls.Results;
    if (withShunts) {
        grid.Cell(0, 1).text = "modMW V";
        for (int i = 1; i <= 20; ++i) grid.Cell(i, 1).text = format(s.Reading1[i], kVoltPattern);
    }
    ShowHalves(s, withShunts, format);
    for (int i = 1; i <= 20; ++i) WriteRight(grid, i, 6, format(s.RowDevPpm[i], kRowDevPattern));
    for (int i = 1; i <= 10; ++i) grid.Cell(i, 7).text = format(s.PairDevPpm[i], kPairDevPattern);
    ShowCurve(s, withShunts, format);

    PictureModel& pic = s.controls.Picture1;
    pic.visible = true;
    PlotScaled(s, pic, 10, s.RefLinDevPpm, kRed);
    host.Repaint();
    if (withShunts) PlotCurve(s, pic, 10, s.LinDevPpm, kBlue);
    if (s.earlier) OverlayEarlier(s, pic, *s.earlier, withShunts);

    s.controls.minppm.caption = format(s.CurveMin, kCurvePattern);
    s.controls.maxppm.caption = format(s.CurveMax, kCurvePattern);
    s.controls.minppm.visible = true;
    s.controls.maxppm.visible = true;
    host.Repaint();
}

}  // namespace t720::linearity
