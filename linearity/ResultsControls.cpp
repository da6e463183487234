#include "linearity/ResultsControls.h"

#include "linearity/Shunts.h"

namespace t720::linearity {

GridModel::GridModel() {
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c)
            if (r == 0 || c == 0) cells[r][c].backColour = kSysButtonFace;
    rowHeight.fill(240);
    colWidth.fill(960);
}

Align ResolveAlignment(const GridCell& cell, std::string_view decimalSeparator) {
    if (cell.align != Align::General) return cell.align;
    std::string_view t = cell.text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
    size_t digits = 0;
    auto skipDigits = [&] {
        while (!t.empty() && t.front() >= '0' && t.front() <= '9') {
            t.remove_prefix(1);
            ++digits;
        }
    };
    skipDigits();
    if (!decimalSeparator.empty() && t.starts_with(decimalSeparator)) {
        t.remove_prefix(decimalSeparator.size());
        skipDigits();
    }
    return digits > 0 && t.empty() ? Align::Right : Align::Left;
}

ResultsControls::ResultsControls() {
    CmdOpt.caption = "Optimierung";
    statusPanel1 = "Click to stop";
    for (int i = 0; i < kShuntChoices; ++i) mnu_r[i].caption = std::string(ShuntCaption(i));
}

}  // namespace t720::linearity
