// Helpers shared by the linearity tests: readings and a recording window host.
#pragma once

#include "linearity/LinearityState.h"
#include "linearity/ScanGrid.h"
#include "linearity/WindowHost.h"
#include "tests/support/ScopedLocale.h"

#include <QLocale>
#include <functional>
#include <initializer_list>

namespace t720::linearity::test {

// Twenty readings of 0.5 V, each off by the given ppm (rows 1..20).
inline RowValues ReadingsPpm(std::initializer_list<int> ppm) {
    RowValues r{};
    int row = 1;
    for (int d : ppm) r[row++] = static_cast<float>(0.5 * (1 + d * 1e-6));
    return r;
}

// Rows 2, 5 and 8 well above the rest: one to three shunts pay off.
inline const RowValues kSkewed =
    ReadingsPpm({5, 160, -4, 3, 65, -2, 8, 240, -6, 1, 4, -3, 6, -2, 3, -5, 2, 7, -1, 0});

inline RowValues Uniform(float volts) {
    RowValues r{};
    for (int i = 1; i <= 20; ++i) r[i] = volts;
    return r;
}

// A state after a run that measured these second readings (first readings equal).
inline LinearityState StateAfterRun(const RowValues& reading2) {
    LinearityState s;
    NullHost host;
    std::array<double, 21> r{};
    for (int i = 1; i <= 20; ++i) r[i] = reading2[i];
    ShowRecordedRun(s, host, r, r);
    return s;
}

class RecordingHost : public WindowHost {
  public:
    void Repaint() override { ++repaints; }
    void RepaintGrid() override {
        ++gridRepaints;
        if (onRepaintGrid) onRepaintGrid();
    }
    void Yield() override {
        ++yields;
        if (onYield) onYield();
    }

    int repaints = 0;
    int gridRepaints = 0;
    int yields = 0;
    std::function<void()> onRepaintGrid;
    std::function<void()> onYield;
};

using t720::test::ScopedLocale;

}  // namespace t720::linearity::test
