// The shunt optimisation: for at most 0..4 shunts, the assignment of shunts to the
// rows 1..10 that makes the divider most linear (smallest Score), tried out on the
// stored readings without measuring again.
#pragma once

#include "app/SharedState.h"
#include "linearity/LinearityState.h"
#include "linearity/WindowHost.h"

#include <string>
#include <string_view>

namespace t720::linearity {

// The search services the window once every this many evaluations.
inline constexpr int kEvaluationsPerYield = 389;

// value formatted by pattern (locale decimal separator), right-aligned in width
// characters; a longer text keeps only its last width characters.
std::string PadFormat(double value, std::string_view pattern, int width);

// The summary line of the search for n shunts, as OptiL1(n) shows it.
std::string SummaryLine(int n, double score, double bestMax, double bestMin);

// The search for at most n shunts (0..4) over every assignment of the choices 0..5
// to rows 1..10, k1 outermost, in which at most n rows carry a shunt. Keeps the
// best in BestShunt(n, 1..10), BestMin and BestMax and writes OptiL1(n). Shows
// every improvement; yields to the window every kEvaluationsPerYield evaluations
// and ends when shared.StopRequest is set. RowShunt is as before afterwards.
void SearchShunts(LinearityState& state, SharedState& shared, WindowHost& host, int n);

// The whole optimisation: clears the shunt choices and searches for 0..4 shunts,
// until done or stopped; clears StopRequest at the end.
void OptimiseShunts(LinearityState& state, SharedState& shared, WindowHost& host);

}  // namespace t720::linearity
