// What a linearity run does to the window around its measuring: the start, the
// grid's preparation, the cells of each reading and the evaluation at the end.
// The run's devices (calibrator, DMM) and its pauses are not part of this.
#pragma once

#include "linearity/LinearityState.h"
#include "linearity/WindowHost.h"

#include <array>

namespace t720::linearity {

// The two readings of a row differ noticeably above this, volts.
inline constexpr float kReadingSpread = 2E-6f;

// What the status bar says while a click on it stops something.
inline constexpr const char* kStopPrompt = "Stopp: hier klicken ->";

// Before the reason why readings cannot be evaluated (NotEvaluable).
inline constexpr const char* kNotEvaluated = "Not evaluated: ";

// The status bar invites the stop click; the plot is hidden until evaluated.
void ShowRunStart(ResultsControls& controls);

// Empties and lays out the grid for a run: row heights from the grid's height,
// column widths from its width, headings, resistor names and intervals; empties
// the optimisation's summary. Reads Results.width/height; repaints.
void PrepareGrid(ResultsControls& controls, WindowHost& host);

// The first reading of a row as read from the DMM (the number in double): kept as
// float for the evaluation and as read for the record, shown right-aligned in
// column 1. Rows outside 1..20 are ignored.
void WriteFirstReading(LinearityState& state, int row, double value);

// The second reading: kept as float, the difference to the first kept, shown in
// column 2, in red when the two differ by more than kReadingSpread.
void WriteSecondReading(LinearityState& state, int row, double value);

// The end of a run that was not stopped: evaluation without shunts, results, and
// the optimisation button. Readings that cannot be evaluated (NotEvaluable) stay
// in the grid alone: no results, no plot, no ppm labels, no optimisation. Returns
// why they cannot, "" when they were evaluated.
std::string FinishRun(LinearityState& state, WindowHost& host);

// Shows stored readings (index 1..20) exactly as a run that measured them would:
// start, grid, shunt tables, the cells of every row, the evaluation. Returns what
// FinishRun does.
std::string ShowRecordedRun(LinearityState& state, WindowHost& host,
                            const std::array<double, 21>& reading1,
                            const std::array<double, 21>& reading2);

}  // namespace t720::linearity
